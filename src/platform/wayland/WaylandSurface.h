#pragma once
// One surface of ours covering one output: its life as a layer-shell overlay
// or, where the compositor has no layer shell, a fullscreen xdg toplevel
// (configured, closed by the compositor, destroyed), and its scaling, through
// the buffer scale or, where the compositor names a fractional scale, the
// viewport.
#include <string>

#include "base/Handles.h"
#include "platform/wayland/WaylandGraphics.h"

struct wl_compositor;
struct wl_output;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct wp_viewport;
struct wp_viewporter;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace velora::platform::wayland {

// What an output tells of itself: wl_output's scale and current mode, and
// its size in the compositor's space from xdg-output (0 until it is told).
struct OutputInfo {
    int Scale = 1;
    int ModeWidth = 0;  // pixels
    int ModeHeight = 0;
    int LogicalWidth = 0;
    int LogicalHeight = 0;
};

// The compositor's globals a surface is made with; null where it lacks them.
// A surface needs the compositor and one of the two shells.
struct SurfaceGlobals {
    wl_compositor* Compositor = nullptr;
    zwlr_layer_shell_v1* LayerShell = nullptr;
    xdg_wm_base* WmBase = nullptr;
    wp_viewporter* Viewporter = nullptr;
    wp_fractional_scale_manager_v1* FractionalScale = nullptr;
};

class WaylandSurface {
public:
    // Asks for a surface on `output` and commits it; it can be drawn once
    // the compositor has configured it. `info` must outlive it.
    WaylandSurface(const SurfaceGlobals& globals, wl_output* output, const OutputInfo& info, const std::string& title);
    ~WaylandSurface();
    WaylandSurface(const WaylandSurface&) = delete;
    WaylandSurface& operator=(const WaylandSurface&) = delete;

    // Ours from the wl_surface a seat's event names; null for a foreign one.
    static WaylandSurface* Of(wl_surface* surface);

    WindowHandle Handle() const { return reinterpret_cast<WindowHandle>(this); }
    SurfaceState& State() { return FState; }
    const SurfaceState& State() const { return FState; }
    // The scale in force, in 120ths.
    int Scale() const { return FScale; }
    bool Configured() const { return FConfigured; }
    bool Closed() const { return FClosed; }
    // Whether the listener has been told of it.
    bool Reported() const { return FReported; }
    void SetReported() { FReported = true; }

    // Sizes its EGL window to the output's pixels: at the compositor's
    // fractional scale through the viewport where it names one, else at the
    // output's integer scale through the buffer scale. Applied with the next
    // frame's commit. False when its size and scale are what they were.
    bool FitToOutput();

private:
    friend struct SurfaceListeners;

    void Configure(int width, int height);

    const OutputInfo& FOutput;
    SurfaceState FState;
    zwlr_layer_surface_v1* FLayer = nullptr;
    xdg_surface* FXdg = nullptr;
    xdg_toplevel* FToplevel = nullptr;
    wp_viewport* FViewport = nullptr;  // with FFraction, where the compositor offers both
    wp_fractional_scale_v1* FFraction = nullptr;
    int FPreferredScale = 0;  // the compositor's fractional scale in 120ths; 0 until it names one
    int FWidth = 0;           // surface-local size, as the compositor configured it
    int FHeight = 0;
    int FPendingWidth = 0;  // an xdg_toplevel's, until its xdg_surface configure
    int FPendingHeight = 0;
    int FScale;
    bool FConfigured = false;
    bool FReported = false;
    bool FClosed = false;
};

}  // namespace velora::platform::wayland
