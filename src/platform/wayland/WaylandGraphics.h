#pragma once
// The engine's GraphicsBinding on EGL with desktop OpenGL, over the surfaces
// of WaylandOutputSurfaces. A window is a surface (its wl_egl_window belongs
// to the surface), a device context the EGL window surface made on it, a
// rendering context an EGL compatibility-profile context, so that the
// engine's immediate mode works. The GL entry points are still looked up by
// name.
#include "engine/GraphicsBinding.h"

#include <EGL/egl.h>

#include <functional>
#include <map>
#include <memory>
#include <set>

struct wl_callback;
struct wl_display;
struct wl_egl_window;
struct wl_surface;

namespace velora::platform::wayland {

// What the binding needs of a surface: its Wayland objects, its size in
// pixels and the frame pacing.
struct SurfaceState {
    wl_surface* Surface = nullptr;
    wl_egl_window* EglWindow = nullptr;
    int PixelWidth = 0;
    int PixelHeight = 0;
    bool FrameDue = true;
    wl_callback* Frame = nullptr;  // asked for with the last frame
};

class WaylandGraphics : public GraphicsBinding {
public:
    using SurfaceLookup = std::function<SurfaceState*(WindowHandle)>;

    WaylandGraphics(wl_display* display, SurfaceLookup lookup);
    ~WaylandGraphics() override;
    WaylandGraphics(const WaylandGraphics&) = delete;
    WaylandGraphics& operator=(const WaylandGraphics&) = delete;

    DeviceContext GetDC(WindowHandle wnd) override;
    void ReleaseDC(WindowHandle wnd, DeviceContext dc) override;
    bool InitOpenGL(const char* library, const char* gluLibrary, GlApi& gl) override;
    RenderingContext CreateRenderingContext(DeviceContext dc, const ContextRequest& request) override;
    void MakeCurrent(DeviceContext dc, RenderingContext rc) override;
    void DeleteContext(RenderingContext rc) override;
    void SwapBuffers(DeviceContext dc) override;
    bool GetWindowRect(WindowHandle wnd, Rect& rect) override;

private:
    struct Drawable {
        WindowHandle Window;
        EGLSurface Surface;
    };

    void Initialize();
    EGLConfig ChooseConfig();
    Drawable* FindDrawable(DeviceContext dc);

    wl_display* FDisplay;
    SurfaceLookup FLookup;
    EGLDisplay FEgl = EGL_NO_DISPLAY;
    EGLConfig FConfig = nullptr;
    std::map<DeviceContext, std::unique_ptr<Drawable>> FDrawables;
    std::set<RenderingContext> FContexts;
    DeviceContext FCurrentDc = 0;
    RenderingContext FCurrentRc = 0;
};

}  // namespace velora::platform::wayland
