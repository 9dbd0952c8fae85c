#include "platform/web/WebGraphics.h"

#include <emscripten/em_js.h>
#include <emscripten/html5.h>

#include "base/Errors.h"
#include "platform/web/WebGlLines.h"

// clang-format off
EM_JS(int, velora_web_is_canvas, (const char* selector), {
    try {
        return document.querySelector(UTF8ToString(selector)) instanceof HTMLCanvasElement ? 1 : 0;
    } catch (e) {
        return 0;
    }
});
// clang-format on

namespace velora::platform::web {

WebGraphics::WebGraphics(CanvasSelector canvasSelector, PixelRect pixelRect)
    : FCanvasSelector(std::move(canvasSelector)), FPixelRect(std::move(pixelRect)) {}

WebGraphics::~WebGraphics() {
    for (const auto& [rc, context] : FContexts)
        if (WebGlLines::Current() == context.Lines.get()) WebGlLines::MakeCurrent(nullptr);
}

DeviceContext WebGraphics::GetDC(WindowHandle wnd) {
    std::string selector = FCanvasSelector ? FCanvasSelector(wnd) : std::string();
    if (selector.empty() || velora_web_is_canvas(selector.c_str()) == 0) return 0;
    auto surface = std::make_unique<Surface>(Surface{wnd, std::move(selector)});
    const auto dc = reinterpret_cast<DeviceContext>(surface.get());
    FSurfaces.emplace(dc, std::move(surface));
    return dc;
}

void WebGraphics::ReleaseDC(WindowHandle, DeviceContext dc) { FSurfaces.erase(dc); }

bool WebGraphics::InitOpenGL(const char*, const char*, GlApi& gl) {
    gl = WebGlLines::EntryPoints();
    return true;
}

RenderingContext WebGraphics::CreateRenderingContext(DeviceContext dc, const ContextRequest& request) {
    const auto surface = FSurfaces.find(dc);
    if (surface == FSurfaces.end()) throw EOSError(EMSCRIPTEN_RESULT_UNKNOWN_TARGET, msg::kNoWebGl2);
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    // The engine draws no depth, and its lines bring their own smoothing.
    attributes.depth = EM_FALSE;
    attributes.antialias = EM_FALSE;
    // A single-buffered window keeps what was drawn until it is drawn over.
    attributes.preserveDrawingBuffer = request.Options == ContextOption::SingleBuffered ? EM_TRUE : EM_FALSE;
    // A software renderer is slow, not wrong: the engine's probe finds out.
    attributes.failIfMajorPerformanceCaveat = EM_FALSE;
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handle =
        emscripten_webgl_create_context(surface->second->Selector.c_str(), &attributes);
    // The handle is 0 when the browser refuses WebGL 2, a result code when the
    // request itself was wrong.
    if (handle <= 0) throw EOSError(handle < 0 ? handle : EMSCRIPTEN_RESULT_FAILED, msg::kNoWebGl2);
    auto lines = std::make_unique<WebGlLines>(handle);
    const auto rc = reinterpret_cast<RenderingContext>(lines.get());
    FContexts.emplace(rc, Context{std::move(lines), surface->second->Selector});
    return rc;
}

void WebGraphics::MakeCurrent(DeviceContext dc, RenderingContext rc) {
    if (dc == 0 && rc == 0) {
        WebGlLines::MakeCurrent(nullptr);
        return;
    }
    const auto surface = FSurfaces.find(dc);
    const auto context = FContexts.find(rc);
    // A WebGL context draws on its own canvas only.
    if (surface != FSurfaces.end() && context != FContexts.end() &&
        surface->second->Selector == context->second.Selector)
        WebGlLines::MakeCurrent(context->second.Lines.get());
}

void WebGraphics::DeleteContext(RenderingContext rc) {
    const auto context = FContexts.find(rc);
    if (context == FContexts.end()) return;
    if (WebGlLines::Current() == context->second.Lines.get()) WebGlLines::MakeCurrent(nullptr);
    FContexts.erase(context);
}

void WebGraphics::SwapBuffers(DeviceContext dc) {
    // The browser shows the canvas once the frame's callback has returned;
    // what is left is to draw what the frame collected.
    const auto surface = FSurfaces.find(dc);
    WebGlLines* current = WebGlLines::Current();
    if (surface == FSurfaces.end() || current == nullptr) return;
    for (const auto& [rc, context] : FContexts)
        if (context.Lines.get() == current && context.Selector == surface->second->Selector) current->Flush();
}

bool WebGraphics::GetWindowRect(WindowHandle wnd, Rect& rect) { return FPixelRect && FPixelRect(wnd, rect); }

void WebGraphics::FinishPendingDrawing() {
    if (WebGlLines* current = WebGlLines::Current(); current != nullptr) current->FinishDrawing();
}

}  // namespace velora::platform::web
