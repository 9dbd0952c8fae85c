#pragma once
// The calling thread's DPI awareness, switched for a while: windows made
// meanwhile take it, and sizes measured meanwhile are in its units. The
// process itself is per-monitor aware (the manifest), so the full-screen
// window covers the screen's real pixels. Per-thread awareness came with
// Windows 10 1607; where user32 lacks it, nothing is switched.
#include <windows.h>

namespace velora::platform::win32 {

// The awareness `window` was made in; nothing where it cannot be known.
DPI_AWARENESS_CONTEXT WindowDpiAwareness(HWND window);

class ThreadDpiAwareness {
public:
    // Switches to `awareness`; nothing (a null one) leaves the thread as it is.
    explicit ThreadDpiAwareness(DPI_AWARENESS_CONTEXT awareness);
    // Puts the thread's previous awareness back.
    ~ThreadDpiAwareness();
    ThreadDpiAwareness(const ThreadDpiAwareness&) = delete;
    ThreadDpiAwareness& operator=(const ThreadDpiAwareness&) = delete;

private:
    DPI_AWARENESS_CONTEXT FPrevious = nullptr;
};

}  // namespace velora::platform::win32
