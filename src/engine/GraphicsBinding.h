#pragma once
// The engine's link to the window system: a window's drawing surface, the
// OpenGL library and the rendering context. Called a few times per engine
// life and once per frame (SwapBuffers), never per vertex.
#include "base/Handles.h"
#include "engine/GlApi.h"

namespace velora {

enum class ContextOption : unsigned { SingleBuffered = 0, DoubleBuffered = 1 };

// What a rendering context is asked for: the buffering and the pixel
// format's depths in bits. Only WGL reads the depths; GLX and EGL choose
// their formats themselves.
struct ContextRequest {
    ContextOption Options = ContextOption::SingleBuffered;
    int ColorBits = 0;
    int DepthBits = 0;
    int StencilBits = 0;
    int AccumBits = 0;
    int AuxBuffers = 0;
    int Layer = 0;  // the main plane
};

class GraphicsBinding {
public:
    virtual ~GraphicsBinding() = default;

    // The window's drawing surface; 0 when it cannot be had.
    virtual DeviceContext GetDC(WindowHandle wnd) = 0;
    virtual void ReleaseDC(WindowHandle wnd, DeviceContext dc) = 0;

    // Loads the OpenGL library (and, optionally, the GLU library beside it)
    // and fills `gl`. True exactly when the OpenGL library was loaded.
    virtual bool InitOpenGL(const char* library, const char* gluLibrary, GlApi& gl) = 0;

    // A rendering context for the surface, from the fixed request. A failing
    // platform step raises EOSError; 0 means no context without an error.
    virtual RenderingContext CreateRenderingContext(DeviceContext dc, const ContextRequest& request) = 0;
    // Makes rc current on dc; (0, 0) deactivates. The result is not reported.
    virtual void MakeCurrent(DeviceContext dc, RenderingContext rc) = 0;
    virtual void DeleteContext(RenderingContext rc) = 0;
    virtual void SwapBuffers(DeviceContext dc) = 0;

    // The window's outer rectangle, frame included. False leaves `rect` as is.
    virtual bool GetWindowRect(WindowHandle wnd, Rect& rect) = 0;
};

}  // namespace velora
