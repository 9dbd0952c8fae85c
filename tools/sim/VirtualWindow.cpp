#include "VirtualWindow.h"

#include "SimGl.h"
#include "base/Errors.h"

namespace velora::sim {

namespace {
constexpr DeviceContext kDeviceContext = 0xDC;
constexpr RenderingContext kRenderingContext = 0x6C;
}  // namespace

DeviceContext VirtualWindow::GetDC(WindowHandle) {
    Calls.push_back("GetDC");
    return FailGetDC ? 0 : kDeviceContext;
}

void VirtualWindow::ReleaseDC(WindowHandle, DeviceContext dc) {
    Calls.push_back(dc == kDeviceContext ? "ReleaseDC" : "ReleaseDC(foreign)");
}

bool VirtualWindow::InitOpenGL(const char* library, const char*, GlApi& gl) {
    Calls.push_back(std::string("InitOpenGL ") + library);
    if (FailInitOpenGL) return false;
    gl = Trace != nullptr ? TracingGl(Trace) : NullGl();
    return true;
}

RenderingContext VirtualWindow::CreateRenderingContext(DeviceContext, const ContextRequest& request) {
    Calls.push_back("CreateRenderingContext " +
                    std::string(request.Options == ContextOption::DoubleBuffered ? "double" : "single") + " " +
                    std::to_string(request.ColorBits) + " " + std::to_string(request.DepthBits));
    if (ContextErrorCode) throw EOSError(*ContextErrorCode, "The pixel format is invalid.");
    return NullContext ? 0 : kRenderingContext;
}

void VirtualWindow::MakeCurrent(DeviceContext dc, RenderingContext rc) {
    Calls.push_back(dc == 0 && rc == 0 ? "MakeCurrent(none)" : "MakeCurrent");
}

void VirtualWindow::DeleteContext(RenderingContext) { Calls.push_back("DeleteContext"); }

void VirtualWindow::SwapBuffers(DeviceContext) { ++Swaps; }

bool VirtualWindow::GetWindowRect(WindowHandle, Rect& rect) {
    if (!OuterRect) return false;
    rect = *OuterRect;
    return true;
}

Tick ScriptedClock::GetTickCount() {
    ++Readings;
    if (Constructing && Readings % 2 == 0) {
        const std::size_t probe = static_cast<std::size_t>(Readings / 2 - 1);
        if (probe < ProbeTimes.size()) Now += ProbeTimes[probe];
    }
    return Now;
}

bool ScriptedClock::QueryPerformanceCounter(std::uint64_t& counter) {
    if (!Counter) return false;
    counter = *Counter;
    return true;
}

}  // namespace velora::sim
