#include "platform/win32/Win32Application.h"

#include <objbase.h>
#include <shellapi.h>

#include "platform/win32/Win32DpiAwareness.h"
#include "platform/win32/Win32Errors.h"

namespace velora::platform {

std::unique_ptr<Application> CreateApplication(const std::string&) {
    return std::make_unique<win32::Win32Application>();
}

}  // namespace velora::platform

namespace velora::platform::win32 {

namespace {

constexpr LCID kRussianLocale = 1049;

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (window == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
    return window->Receive(hwnd, message, wParam, lParam);
}

void RegisterWindowClass() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    // Each window keeps its device context, and with it the pixel format.
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, "MAINICON");
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = kWindowClass;
    // A second application object in one process finds the class registered.
    if (RegisterClassExA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastOSError();
}

struct DisabledWindows {
    HWND Dialog;
    std::vector<HWND> Windows;
};

BOOL CALLBACK DisableOther(HWND hwnd, LPARAM param) {
    auto* disabled = reinterpret_cast<DisabledWindows*>(param);
    if (hwnd != disabled->Dialog && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        disabled->Windows.push_back(hwnd);
    }
    return TRUE;
}

}  // namespace

Tick Win32Application::TickClock::GetTickCount() { return ::GetTickCount(); }

bool Win32Application::TickClock::QueryPerformanceCounter(std::uint64_t& counter) {
    LARGE_INTEGER value{};
    if (!::QueryPerformanceCounter(&value)) return false;
    counter = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

Win32Application::Win32Application() {
    RegisterWindowClass();
    // The shell may hand a document to a COM extension.
    FComInitialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

Win32Application::~Win32Application() {
    if (FComInitialized) CoUninitialize();
}

bool Win32Application::Ended(const ModalRun* modal) const {
    if (FTerminated) return true;
    return modal != nullptr && (modal->Ended || !::IsWindow(modal->Dialog));
}

void Win32Application::Loop(const ModalRun* modal) {
    while (!Ended(modal)) {
        MSG native{};
        if (PeekMessageA(&native, nullptr, 0, 0, PM_REMOVE)) {
            HandleMessage(native);
            continue;
        }
        bool done = true;
        if (FIdle) FIdle(done);
        if (!done || Ended(modal)) continue;
        WaitMessage();
    }
}

void Win32Application::HandleMessage(MSG& native) {
    if (native.message == WM_QUIT) {
        FTerminated = true;
        return;
    }
    Message msg{reinterpret_cast<WindowHandle>(native.hwnd), native.message, native.wParam, native.lParam};
    bool handled = false;
    if (FHook) FHook(msg, handled);
    if (handled) return;
    TranslateMessage(&native);
    DispatchMessageA(&native);
}

void Win32Application::Run() { Loop(nullptr); }

void Win32Application::ProcessMessages() {
    MSG native{};
    while (PeekMessageA(&native, nullptr, 0, 0, PM_REMOVE)) HandleMessage(native);
}

void Win32Application::RunModal(Window& dialog) {
    ModalRun run{reinterpret_cast<HWND>(dialog.Handle()), false};
    // The program's other windows take no input while the dialog is up, as
    // with the system's own modal dialogs.
    DisabledWindows disabled{run.Dialog, {}};
    EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(&disabled));
    FModalRuns.push_back(&run);
    struct Restore {
        Win32Application& App;
        DisabledWindows& Disabled;
        ~Restore() {
            App.FModalRuns.pop_back();
            // Enabled again before the dialog goes, so that activation
            // returns to them.
            for (HWND hwnd : Disabled.Windows)
                if (::IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
        }
    } restore{*this, disabled};
    dialog.Show();
    Loop(&run);
}

void Win32Application::EndModal() {
    if (!FModalRuns.empty()) FModalRuns.back()->Ended = true;
}

void Win32Application::ShowMessage(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), FTitle.c_str(), MB_OK | MB_ICONERROR);
}

std::unique_ptr<Window> Win32Application::OpenWindow(const WindowSpec& request, WindowProc proc) {
    // A child hears nothing of a foreign parent's resizing here; only the
    // XScreenSaver host asks for it. The pixel format (request.OpenGl) is
    // set on the device context later, as Windows allows.
    if (request.FollowParent) throw Exception(msg::kFollowParentUnsupported);
    return std::make_unique<Win32Window>(request, std::move(proc));
}

bool Win32Application::IsWindow(WindowHandle wnd) { return ::IsWindow(reinterpret_cast<HWND>(wnd)) != FALSE; }

bool Win32Application::GetClientRect(WindowHandle wnd, Rect& rect) {
    const HWND hwnd = reinterpret_cast<HWND>(wnd);
    // In the units of the window's own program (a preview host's): a child
    // made in its awareness, as Win32Window makes one, then covers it.
    const ThreadDpiAwareness awareness(WindowDpiAwareness(hwnd));
    RECT client{};
    if (!::GetClientRect(hwnd, &client)) return false;
    rect = Rect{client.left, client.top, client.right, client.bottom};
    return true;
}

WindowHandle Win32Application::DesktopWindow() { return reinterpret_cast<WindowHandle>(GetDesktopWindow()); }

Rect Win32Application::VirtualScreen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return Rect{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

Rect Win32Application::WorkArea() {
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return Rect{area.left, area.top, area.right, area.bottom};
}

bool Win32Application::IsRussianLocaleInstalled() { return IsValidLocale(kRussianLocale, LCID_INSTALLED) != FALSE; }

bool Win32Application::OpenDocument(const std::string& fileName, const std::string& parameters) {
    const HINSTANCE result = ShellExecuteA(nullptr, nullptr, fileName.c_str(), parameters.c_str(), nullptr, SW_SHOW);
    // Values above 32 mean success.
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace velora::platform::win32
