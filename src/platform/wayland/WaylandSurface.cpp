#include "platform/wayland/WaylandSurface.h"

#include <wayland-client.h>
#include <wayland-egl.h>

#include "platform/wayland/WaylandEvents.h"
// The generated header names a parameter "namespace", a C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace velora::platform::wayland {

namespace {
constexpr const char* kNamespace = "velora-skyshow";
}  // namespace

// Every event of the versions bound has a handler.
struct SurfaceListeners {
    static void PreferredScale(void* data, wp_fractional_scale_v1*, std::uint32_t scale) {
        static_cast<WaylandSurface*>(data)->FPreferredScale = wayland::PreferredScale(scale);
    }
    static constexpr wp_fractional_scale_v1_listener kFraction = {PreferredScale};

    static void LayerConfigure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t width,
                               std::uint32_t height) {
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        static_cast<WaylandSurface*>(data)->Configure(static_cast<int>(width), static_cast<int>(height));
    }
    static void LayerClosed(void* data, zwlr_layer_surface_v1*) { static_cast<WaylandSurface*>(data)->FClosed = true; }
    static constexpr zwlr_layer_surface_v1_listener kLayer = {LayerConfigure, LayerClosed};

    static void XdgConfigure(void* data, xdg_surface* xdg, std::uint32_t serial) {
        auto* surface = static_cast<WaylandSurface*>(data);
        xdg_surface_ack_configure(xdg, serial);
        surface->Configure(surface->FPendingWidth, surface->FPendingHeight);
    }
    static constexpr xdg_surface_listener kXdgSurface = {XdgConfigure};

    static void ToplevelConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
        auto* surface = static_cast<WaylandSurface*>(data);
        surface->FPendingWidth = width;
        surface->FPendingHeight = height;
    }
    static void ToplevelClose(void* data, xdg_toplevel*) { static_cast<WaylandSurface*>(data)->FClosed = true; }
    // Filled by name: the system's headers may add members for events the
    // version bound never sends; those stay null.
    static constexpr xdg_toplevel_listener kToplevel = [] {
        xdg_toplevel_listener listener{};
        listener.configure = ToplevelConfigure;
        listener.close = ToplevelClose;
        return listener;
    }();
};

WaylandSurface::WaylandSurface(const SurfaceGlobals& globals, wl_output* output, const OutputInfo& info,
                               const std::string& title)
    : FOutput(info), FScale(kScaleDenominator) {
    FState.Surface = wl_compositor_create_surface(globals.Compositor);
    wl_surface_set_user_data(FState.Surface, this);
    if (globals.Viewporter != nullptr && globals.FractionalScale != nullptr) {
        FViewport = wp_viewporter_get_viewport(globals.Viewporter, FState.Surface);
        FFraction = wp_fractional_scale_manager_v1_get_fractional_scale(globals.FractionalScale, FState.Surface);
        wp_fractional_scale_v1_add_listener(FFraction, &SurfaceListeners::kFraction, this);
    }
    if (globals.LayerShell != nullptr) {
        FLayer = zwlr_layer_shell_v1_get_layer_surface(globals.LayerShell, FState.Surface, output,
                                                       ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, kNamespace);
        zwlr_layer_surface_v1_add_listener(FLayer, &SurfaceListeners::kLayer, this);
        zwlr_layer_surface_v1_set_anchor(FLayer,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_exclusive_zone(FLayer, -1);
        // On the overlay layer this is the exclusive keyboard focus.
        zwlr_layer_surface_v1_set_keyboard_interactivity(FLayer, 1);
        zwlr_layer_surface_v1_set_size(FLayer, 0, 0);
    } else {
        FXdg = xdg_wm_base_get_xdg_surface(globals.WmBase, FState.Surface);
        xdg_surface_add_listener(FXdg, &SurfaceListeners::kXdgSurface, this);
        FToplevel = xdg_surface_get_toplevel(FXdg);
        xdg_toplevel_add_listener(FToplevel, &SurfaceListeners::kToplevel, this);
        xdg_toplevel_set_title(FToplevel, title.c_str());
        xdg_toplevel_set_app_id(FToplevel, kNamespace);
        xdg_toplevel_set_fullscreen(FToplevel, output);
    }
    wl_surface_commit(FState.Surface);
}

WaylandSurface::~WaylandSurface() {
    if (FState.Frame != nullptr) wl_callback_destroy(FState.Frame);
    if (FState.EglWindow != nullptr) wl_egl_window_destroy(FState.EglWindow);
    if (FFraction != nullptr) wp_fractional_scale_v1_destroy(FFraction);
    if (FViewport != nullptr) wp_viewport_destroy(FViewport);
    if (FLayer != nullptr) zwlr_layer_surface_v1_destroy(FLayer);
    if (FToplevel != nullptr) xdg_toplevel_destroy(FToplevel);
    if (FXdg != nullptr) xdg_surface_destroy(FXdg);
    wl_surface_destroy(FState.Surface);
}

WaylandSurface* WaylandSurface::Of(wl_surface* surface) {
    return surface == nullptr ? nullptr : static_cast<WaylandSurface*>(wl_surface_get_user_data(surface));
}

void WaylandSurface::Configure(int width, int height) {
    FWidth = CoverSize(width, FOutput.LogicalWidth, FOutput.ModeWidth, FOutput.Scale);
    FHeight = CoverSize(height, FOutput.LogicalHeight, FOutput.ModeHeight, FOutput.Scale);
    FConfigured = true;
}

bool WaylandSurface::FitToOutput() {
    const bool fractional = FPreferredScale > 0;
    const int scale = fractional ? FPreferredScale : FOutput.Scale * kScaleDenominator;
    const int width = ScaledSize(FWidth, scale);
    const int height = ScaledSize(FHeight, scale);
    if (FState.EglWindow == nullptr) {
        FState.EglWindow = wl_egl_window_create(FState.Surface, width, height);
    } else if (width == FState.PixelWidth && height == FState.PixelHeight && scale == FScale) {
        return false;
    } else {
        wl_egl_window_resize(FState.EglWindow, width, height, 0, 0);
    }
    if (fractional) {
        wl_surface_set_buffer_scale(FState.Surface, 1);
        wp_viewport_set_destination(FViewport, FWidth, FHeight);
    } else {
        wl_surface_set_buffer_scale(FState.Surface, FOutput.Scale);
    }
    FScale = scale;
    FState.PixelWidth = width;
    FState.PixelHeight = height;
    return true;
}

}  // namespace velora::platform::wayland
