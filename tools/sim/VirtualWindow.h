#pragma once
// A window that exists only in memory, with a scripted clock: what the
// engine needs from a platform, for the simulator, the tests and the
// benchmarks. Every call is counted and each step can be made to fail.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "engine/GraphicsBinding.h"

namespace velora::sim {

class VirtualWindow : public GraphicsBinding {
public:
    VirtualWindow(int width, int height) : OuterRect(Rect{0, 0, width, height}) {}

    // Where the OpenGL calls go: nowhere (null) or to a trace file.
    std::FILE* Trace = nullptr;

    // The outer rectangle the window reports; unset leaves the caller's preset.
    std::optional<Rect> OuterRect;

    // Failure switches.
    bool FailGetDC = false;
    bool FailInitOpenGL = false;
    bool NullContext = false;             // CreateRenderingContext yields 0
    std::optional<int> ContextErrorCode;  // CreateRenderingContext raises EOSError

    // What was asked of the window, in order.
    std::vector<std::string> Calls;
    int Swaps = 0;

    DeviceContext GetDC(WindowHandle wnd) override;
    void ReleaseDC(WindowHandle wnd, DeviceContext dc) override;
    bool InitOpenGL(const char* library, const char* gluLibrary, GlApi& gl) override;
    RenderingContext CreateRenderingContext(DeviceContext dc, const ContextRequest& request) override;
    void MakeCurrent(DeviceContext dc, RenderingContext rc) override;
    void DeleteContext(RenderingContext rc) override;
    void SwapBuffers(DeviceContext dc) override;
    bool GetWindowRect(WindowHandle wnd, Rect& rect) override;
};

// A clock that reads what the script says. During construction every second
// reading (the end of a speed probe) comes back advanced by the next entry of
// ProbeTimes, and the tick stays advanced.
class ScriptedClock : public Clock {
public:
    explicit ScriptedClock(Tick tick) : Now(tick) {}

    Tick Now;
    std::optional<std::uint64_t> Counter;
    std::vector<std::uint32_t> ProbeTimes;
    bool Constructing = true;
    int Readings = 0;

    Tick GetTickCount() override;
    bool QueryPerformanceCounter(std::uint64_t& counter) override;
};

}  // namespace velora::sim
