#include "platform/win32/Win32Application.h"

#include "platform/win32/Win32DpiAwareness.h"
#include "platform/win32/Win32Errors.h"

namespace velora::platform::win32 {

namespace {

struct Style {
    DWORD Style;
    DWORD ExStyle;
};

Style StyleOf(WindowKind kind) {
    // Clipping keeps the frames drawn into one window out of the others.
    constexpr DWORD kClip = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    switch (kind) {
        case WindowKind::FullScreen:
        case WindowKind::Popup:
            return {WS_POPUP | kClip, WS_EX_TOPMOST};
        case WindowKind::Sizeable:
            return {WS_OVERLAPPEDWINDOW | kClip, 0};
        case WindowKind::Dialog:
            return {WS_POPUP | WS_CAPTION | WS_SYSMENU | kClip, WS_EX_DLGMODALFRAME};
        case WindowKind::Child:
            break;
    }
    return {WS_CHILD | kClip, 0};
}

COLORREF ColorOf(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// The awareness a window is made in. The dialog is an unaware program's, so
// that the system scales it and its picture as before instead of showing
// 400 of the screen's pixels; a child takes its parent's, whose client area
// it was measured in. The others take the program's own: real pixels.
DPI_AWARENESS_CONTEXT AwarenessFor(WindowKind kind, HWND parent) {
    if (kind == WindowKind::Dialog) return DPI_AWARENESS_CONTEXT_UNAWARE;
    if (kind == WindowKind::Child) return WindowDpiAwareness(parent);
    return nullptr;
}

// The request is in the program's real pixels, while a window made unaware
// was placed and sized in the system's scaled units: it is moved so that its
// client area's centre is the requested one's.
void KeepCentre(HWND wnd, const Rect& requested) {
    RECT client{};
    ::GetClientRect(wnd, &client);
    POINT origin{0, 0};
    ClientToScreen(wnd, &origin);
    const int dx = requested.Left + (requested.Right - requested.Left) / 2 - (origin.x + client.right / 2);
    const int dy = requested.Top + (requested.Bottom - requested.Top) / 2 - (origin.y + client.bottom / 2);
    if (dx == 0 && dy == 0) return;
    RECT outer{};
    GetWindowRect(wnd, &outer);
    SetWindowPos(wnd, nullptr, outer.left + dx, outer.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

Win32Window::Win32Window(const WindowSpec& request, WindowProc proc)
    : FKind(request.Kind),
      FProc(std::move(proc)),
      FMinWidth(request.MinWidth),
      FMinHeight(request.MinHeight),
      FCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW))) {
    const Style style = StyleOf(FKind);
    if (request.HasBackground) FBackground = CreateSolidBrush(ColorOf(request.BackgroundRgb));
    const HWND parent = FKind == WindowKind::Child ? reinterpret_cast<HWND>(request.Parent) : nullptr;
    {
        const ThreadDpiAwareness awareness(AwarenessFor(FKind, parent));
        // The request gives the client area; the frame lies around it.
        RECT outer{request.Bounds.Left, request.Bounds.Top, request.Bounds.Right, request.Bounds.Bottom};
        AdjustWindowRectEx(&outer, style.Style, FALSE, style.ExStyle);
        FWnd = CreateWindowExA(style.ExStyle, kWindowClass, request.Caption.c_str(), style.Style, outer.left, outer.top,
                               outer.right - outer.left, outer.bottom - outer.top, parent, nullptr,
                               GetModuleHandleA(nullptr), this);
        if (FWnd == nullptr) {
            if (FBackground != nullptr) DeleteObject(FBackground);
            RaiseLastOSError();
        }
        // A frame other than the one foreseen (Wine 10 draws an unaware
        // window's caption at the screen's DPI) would change the client area:
        // the window is sized again by the difference.
        RECT client{};
        ::GetClientRect(FWnd, &client);
        const int dx = (request.Bounds.Right - request.Bounds.Left) - client.right;
        const int dy = (request.Bounds.Bottom - request.Bounds.Top) - client.bottom;
        if (dx != 0 || dy != 0)
            SetWindowPos(FWnd, nullptr, 0, 0, outer.right - outer.left + dx, outer.bottom - outer.top + dy,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (FKind == WindowKind::Dialog) KeepCentre(FWnd, request.Bounds);
    FCreated = true;
}

Win32Window::~Win32Window() {
    Destroy();
    if (FBackground != nullptr) DeleteObject(FBackground);
}

LRESULT Win32Window::Receive(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) {
        // From here on the handle names no window of ours.
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        FDestroyed = true;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (FWnd == nullptr) FWnd = hwnd;
    if (FCreated && FProc && FProc(Message{Handle(), message, wParam, lParam})) return 0;
    return DefaultHandling(message, wParam, lParam);
}

LRESULT Win32Window::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            // Answered either way: the system's own erasing never runs.
            if (FBackground != nullptr) {
                RECT client{};
                ::GetClientRect(FWnd, &client);
                FillRect(reinterpret_cast<HDC>(wParam), &client, FBackground);
            }
            return 1;
        case WM_PAINT:
            if (FPictureBits.empty()) break;
            PaintPicture();
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) != HTCLIENT) break;
            ::SetCursor(FCursor);
            return TRUE;
        case WM_GETMINMAXINFO:
            if (FMinWidth <= 0 && FMinHeight <= 0) break;
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{FMinWidth, FMinHeight};
            return 0;
        default:
            break;
    }
    return DefWindowProcA(FWnd, message, wParam, lParam);
}

void Win32Window::PaintPicture() {
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(FWnd, &paint);
    const int width = FPictureInfo.bmiHeader.biWidth;
    const int height = -FPictureInfo.bmiHeader.biHeight;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), FPictureBits.data(), &FPictureInfo, DIB_RGB_COLORS);
    EndPaint(FWnd, &paint);
}

void Win32Window::Show() {
    if (FDestroyed) return;
    if (FKind == WindowKind::Child) {
        ShowWindow(FWnd, SW_SHOWNA);
    } else {
        ShowWindow(FWnd, SW_SHOW);
        // Windows may refuse the foreground to a program started from the
        // background; a full-screen window then has no keyboard.
        if (!SetForegroundWindow(FWnd) && GetForegroundWindow() != FWnd && FKind == WindowKind::FullScreen)
            PostMessageA(FWnd, WM_ACTIVATEAPP, FALSE, 0);
    }
    UpdateWindow(FWnd);
}

void Win32Window::Destroy() {
    if (FDestroyed || FWnd == nullptr) return;
    DestroyWindow(FWnd);
    FDestroyed = true;
}

void Win32Window::SetCursor(PointerShape shape) {
    switch (shape) {
        case PointerShape::Hidden:
            // One call for the form's whole life: the display count would
            // otherwise sink further with every call.
            if (!FCursorHidden) ShowCursor(FALSE);
            FCursorHidden = true;
            FCursor = nullptr;
            break;
        case PointerShape::Hand:
            FCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND));
            break;
        case PointerShape::Arrow:
            FCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
            break;
    }
}

void Win32Window::SetPicture(const Picture& picture) {
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Rgb.size() < static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height) * 3)
        throw Exception(msg::kPictureIncomplete);
    // A top-down 24-bit DIB: blue, green, red, rows padded to four bytes.
    const std::size_t stride = (static_cast<std::size_t>(picture.Width) * 3 + 3) & ~std::size_t{3};
    std::vector<unsigned char> bits(stride * static_cast<std::size_t>(picture.Height));
    const unsigned char* rgb = picture.Rgb.data();
    for (int y = 0; y < picture.Height; ++y) {
        unsigned char* row = bits.data() + stride * static_cast<std::size_t>(y);
        for (int x = 0; x < picture.Width; ++x, rgb += 3, row += 3) {
            row[0] = rgb[2];
            row[1] = rgb[1];
            row[2] = rgb[0];
        }
    }
    FPictureBits = std::move(bits);
    FPictureInfo = BITMAPINFO{};
    FPictureInfo.bmiHeader.biSize = sizeof FPictureInfo.bmiHeader;
    FPictureInfo.bmiHeader.biWidth = picture.Width;
    FPictureInfo.bmiHeader.biHeight = -picture.Height;
    FPictureInfo.bmiHeader.biPlanes = 1;
    FPictureInfo.bmiHeader.biBitCount = 24;
    FPictureInfo.bmiHeader.biCompression = BI_RGB;
    if (!FDestroyed) InvalidateRect(FWnd, nullptr, TRUE);
}

Rect Win32Window::ClientRect() const {
    RECT client{};
    if (FDestroyed || !::GetClientRect(FWnd, &client)) return Rect{};
    return Rect{client.left, client.top, client.right, client.bottom};
}

}  // namespace velora::platform::win32
