// A stand-in for the screensaver host's preview monitor: a window of its own
// whose handle it prints (decimal, one line), kept until it is closed.
#include <windows.h>

#include <cstdio>

namespace {
LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
}  // namespace

int main() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = "VeloraTestHost";
    RegisterClassA(&windowClass);
    // The size of the little monitor in the system's screensaver settings.
    RECT outer{0, 0, 152, 112};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    const HWND host = CreateWindowA("VeloraTestHost", "Preview host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                    outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
    if (host == nullptr) return 1;
    std::printf("%lld\n", static_cast<long long>(reinterpret_cast<INT_PTR>(host)));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
