#include <emscripten.h>

#include "base/Errors.h"
#include "platform/web/WebApplication.h"

namespace velora::platform::web {

namespace {

EM_JS(int, PageOpen, (double handle, int kind, const char* caption, int left, int top, int width, int height, int rgb),
      { return VeloraPage.open(handle, kind, UTF8ToString(caption), left, top, width, height, rgb) ? 1 : 0; });
EM_JS(void, PageShow, (double handle), { VeloraPage.show(handle); });
EM_JS(void, PageDestroy, (double handle), { VeloraPage.destroy(handle); });
EM_JS(void, PageCursor, (double handle, int shape), { VeloraPage.cursor(handle, shape); });
EM_JS(void, PagePicture, (double handle, int width, int height, const unsigned char* rgb),
      { VeloraPage.picture(handle, width, height, HEAPU8.subarray(rgb, rgb + width * height * 3)); });
EM_JS(int, PageSize, (double handle, int height), {
    var size = VeloraPage.size(handle);
    return size ? size[height] : 0;
});

int KindNumber(WindowKind kind) {
    switch (kind) {
        case WindowKind::FullScreen:
            return 0;
        case WindowKind::Popup:
            return 1;
        case WindowKind::Sizeable:
            return 2;
        case WindowKind::Dialog:
            return 3;
        case WindowKind::Child:
            break;
    }
    return 4;
}

int ShapeNumber(PointerShape shape) {
    switch (shape) {
        case PointerShape::Hidden:
            return 1;
        case PointerShape::Hand:
            return 2;
        case PointerShape::Arrow:
            break;
    }
    return 0;
}

}  // namespace

WebWindow::WebWindow(WebApplication& app, WindowHandle handle, const WindowSpec& request, WindowProc proc)
    : FApp(app), FHandle(handle), FKind(request.Kind), FProc(std::move(proc)) {
    if (FKind == WindowKind::Child) throw Exception(msg::kPageHasNoForeignWindows);
    const Rect& bounds = request.Bounds;
    if (PageOpen(static_cast<double>(FHandle), KindNumber(FKind), request.Caption.c_str(), bounds.Left, bounds.Top,
                 bounds.Right - bounds.Left, bounds.Bottom - bounds.Top,
                 static_cast<int>(request.BackgroundRgb & 0xFFFFFF)) == 0)
        throw Exception(msg::kPageCanvasInUse);
    FApp.Register(FHandle, this);
}

WebWindow::~WebWindow() {
    FApp.Unregister(FHandle);
    Destroy();
}

void WebWindow::Show() {
    if (!FDestroyed) PageShow(static_cast<double>(FHandle));
}

void WebWindow::Destroy() {
    if (FDestroyed) return;
    FDestroyed = true;
    PageDestroy(static_cast<double>(FHandle));
}

void WebWindow::SetCursor(PointerShape shape) {
    if (!FDestroyed) PageCursor(static_cast<double>(FHandle), ShapeNumber(shape));
}

void WebWindow::SetPicture(const Picture& picture) {
    if (FDestroyed || picture.Width <= 0 || picture.Height <= 0) return;
    if (picture.Rgb.size() < static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height) * 3)
        throw Exception(msg::kPictureIncomplete);
    PagePicture(static_cast<double>(FHandle), picture.Width, picture.Height, picture.Rgb.data());
}

Rect WebWindow::ClientRect() const {
    if (FDestroyed) return Rect{};
    const auto handle = static_cast<double>(FHandle);
    return Rect{0, 0, PageSize(handle, 0), PageSize(handle, 1)};
}

void WebWindow::DefaultHandling(const Message& msg) {
    if (msg.message != kWmClose) return;
    Destroy();
    FApp.Post(Message{FHandle, kWmDestroy, 0, 0});
}

}  // namespace velora::platform::web
