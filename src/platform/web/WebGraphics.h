#pragma once
// The engine's GraphicsBinding in a web page. A window is a canvas, named by
// a CSS selector; a device context is the binding of a window and its
// canvas; a rendering context is a WebGL 2 context on that canvas, drawn by
// WebGlLines, whose sixteen entry points stand in for OpenGL 1.1's. The
// browser presents the canvas when the frame's callback returns, so
// SwapBuffers only submits what was drawn.
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "engine/GraphicsBinding.h"

namespace velora::platform::web {

class WebGlLines;

class WebGraphics final : public GraphicsBinding {
public:
    // The CSS selector of the canvas a window draws on ("#stars"), empty for
    // none.
    using CanvasSelector = std::function<std::string(WindowHandle)>;
    // The canvas's drawing buffer in device pixels, as (0, 0, width,
    // height); false when the window has no canvas.
    using PixelRect = std::function<bool(WindowHandle, Rect&)>;

    WebGraphics(CanvasSelector canvasSelector, PixelRect pixelRect);
    ~WebGraphics() override;
    WebGraphics(const WebGraphics&) = delete;
    WebGraphics& operator=(const WebGraphics&) = delete;

    DeviceContext GetDC(WindowHandle wnd) override;
    void ReleaseDC(WindowHandle wnd, DeviceContext dc) override;
    // Fills `gl` with WebGlLines' entry points; the library names mean
    // nothing in a browser. Always true.
    bool InitOpenGL(const char* library, const char* gluLibrary, GlApi& gl) override;
    // A WebGL 2 context on the canvas: opaque, without multisampling, its
    // drawing buffer preserved when single buffering is asked for. Raises
    // EOSError when the browser gives no WebGL 2 context.
    RenderingContext CreateRenderingContext(DeviceContext dc, const ContextRequest& request) override;
    void MakeCurrent(DeviceContext dc, RenderingContext rc) override;
    void DeleteContext(RenderingContext rc) override;
    void SwapBuffers(DeviceContext dc) override;
    // The canvas's drawing buffer: a canvas has no frame.
    bool GetWindowRect(WindowHandle wnd, Rect& rect) override;

    // Submits what the current context has collected and, when anything was
    // pending, waits until the GPU has drawn it. The page's clock calls this
    // before each tick it reads: the engine's quality probe reads the tick
    // around a thousand outlines with no flush between, and the time it
    // measures must include their drawing. After a frame's swap nothing is
    // pending, so an ordinary frame never waits.
    static void FinishPendingDrawing();

private:
    struct Surface {
        WindowHandle Window;
        std::string Selector;
    };
    struct Context {
        std::unique_ptr<WebGlLines> Lines;
        std::string Selector;  // of its canvas
    };

    CanvasSelector FCanvasSelector;
    PixelRect FPixelRect;
    std::map<DeviceContext, std::unique_ptr<Surface>> FSurfaces;
    std::map<RenderingContext, Context> FContexts;
};

}  // namespace velora::platform::web
