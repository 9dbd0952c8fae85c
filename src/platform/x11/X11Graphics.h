#pragma once
// The engine's GraphicsBinding on Xlib and GLX. A device context is the
// binding of the display, a window and that window's visual; a rendering
// context is a GLX context. The OpenGL library is loaded with dlopen and
// stays loaded.
// Before Xlib, whose None and Status macros would garble it.
#include "engine/GraphicsBinding.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <map>
#include <memory>
#include <optional>
#include <set>

namespace velora::platform::x11 {

class X11Graphics : public GraphicsBinding {
public:
    explicit X11Graphics(Display* display);
    ~X11Graphics() override;
    X11Graphics(const X11Graphics&) = delete;
    X11Graphics& operator=(const X11Graphics&) = delete;

    DeviceContext GetDC(WindowHandle wnd) override;
    void ReleaseDC(WindowHandle wnd, DeviceContext dc) override;
    bool InitOpenGL(const char* library, const char* gluLibrary, GlApi& gl) override;
    RenderingContext CreateRenderingContext(DeviceContext dc, const ContextRequest& request) override;
    void MakeCurrent(DeviceContext dc, RenderingContext rc) override;
    void DeleteContext(RenderingContext rc) override;
    void SwapBuffers(DeviceContext dc) override;
    bool GetWindowRect(WindowHandle wnd, Rect& rect) override;

    // The visual for a window that an engine will draw into with `options`:
    // TrueColor RGBA with 24 depth bits, double-buffered exactly when asked,
    // from GLX (the default visual where it is among the best); failing that
    // any TrueColor RGBA visual GLX can draw into a window with. Empty when
    // OpenGL cannot be loaded or GLX has no such visual.
    std::optional<XVisualInfo> ChooseVisual(ContextOption options);

private:
    struct Surface {
        ::Window Window;
        VisualID Visual;
    };
    // The GLX entry points; GLX's header stays out of this one, because the
    // OpenGL header it pulls in defines the GL_ names as macros.
    struct Glx;

    static std::unique_ptr<Glx> LoadGlx(void* library);
    const Surface* FindSurface(DeviceContext dc) const;
    bool VisualSupportsRgbaGl(XVisualInfo& visual) const;
    std::optional<XVisualInfo> FindVisual(bool doubleBuffered);
    ::Window FrameOf(::Window window) const;

    Display* FDisplay;
    std::unique_ptr<Glx> FGlx;
    std::map<DeviceContext, std::unique_ptr<Surface>> FSurfaces;
    std::set<RenderingContext> FContexts;
    std::map<bool, std::optional<XVisualInfo>> FVisuals;  // by double buffering
};

}  // namespace velora::platform::x11
