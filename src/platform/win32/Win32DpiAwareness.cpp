#include "platform/win32/Win32DpiAwareness.h"

namespace velora::platform::win32 {

namespace {

using SetThreadAwareness = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using GetWindowAwareness = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);

template <typename Function>
Function User32Function(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

SetThreadAwareness SetThreadDpiAwarenessContextFunction() {
    static const auto function = User32Function<SetThreadAwareness>("SetThreadDpiAwarenessContext");
    return function;
}

}  // namespace

DPI_AWARENESS_CONTEXT WindowDpiAwareness(HWND window) {
    static const auto function = User32Function<GetWindowAwareness>("GetWindowDpiAwarenessContext");
    return function != nullptr ? function(window) : nullptr;
}

ThreadDpiAwareness::ThreadDpiAwareness(DPI_AWARENESS_CONTEXT awareness) {
    const SetThreadAwareness set = SetThreadDpiAwarenessContextFunction();
    if (awareness != nullptr && set != nullptr) FPrevious = set(awareness);
}

ThreadDpiAwareness::~ThreadDpiAwareness() {
    if (FPrevious != nullptr) SetThreadDpiAwarenessContextFunction()(FPrevious);
}

}  // namespace velora::platform::win32
