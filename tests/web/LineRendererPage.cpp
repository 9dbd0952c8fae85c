// The page half of the line renderer's test: replays the OpenGL calls of
// one frame, given by the page as `veloraFrame.calls`, through WebGraphics
// on the page's canvas, and says on the page's title how it went.
#include <emscripten/em_js.h>
#include <emscripten/html5.h>

#include <string>

#include "GlCallReplay.h"
#include "base/Errors.h"
#include "platform/web/WebGraphics.h"

// clang-format off
EM_JS(int, velora_frame_calls_size, (), {
    return lengthBytesUTF8(veloraFrame.calls) + 1;
});
EM_JS(void, velora_frame_calls, (char* text, int size), {
    stringToUTF8(veloraFrame.calls, text, size);
});
EM_JS(void, velora_report, (const char* text), {
    document.title = UTF8ToString(text);
    console.log("line renderer: " + document.title);
});
// clang-format on

int main() {
    using namespace velora;
    constexpr WindowHandle kCanvas = 1;
    // Never destroyed: the context must outlive main for the browser to
    // show its picture.
    static platform::web::WebGraphics graphics([](WindowHandle) { return std::string("#canvas"); },
                                               [](WindowHandle, Rect& rect) {
                                                   int width = 0;
                                                   int height = 0;
                                                   emscripten_get_canvas_element_size("#canvas", &width, &height);
                                                   rect = Rect{0, 0, width, height};
                                                   return true;
                                               });
    try {
        GlApi gl;
        const DeviceContext dc = graphics.GetDC(kCanvas);
        if (dc == 0 || !graphics.InitOpenGL("libGL.so.1", nullptr, gl)) throw Exception(msg::kGetDcFailed);
        ContextRequest request;
        request.Options = ContextOption::DoubleBuffered;
        const RenderingContext rc = graphics.CreateRenderingContext(dc, request);
        graphics.MakeCurrent(dc, rc);
        std::string calls(static_cast<std::size_t>(velora_frame_calls_size()), '\0');
        velora_frame_calls(calls.data(), static_cast<int>(calls.size()));
        const bool replayed = testing::ReplayGlCalls(calls.c_str(), gl);
        graphics.SwapBuffers(dc);
        velora_report(replayed ? "drawn" : "unreadable calls");
    } catch (const Exception& e) {
        velora_report(e.what());
    }
    return 0;
}
