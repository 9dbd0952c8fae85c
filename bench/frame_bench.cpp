// Frames of the real engine in a real full-screen window: the time from the
// start of the process to the first finished frame, then the frame rate once
// the pool has reached its steady state. Run it on an X display of the size
// to measure (frame-bench.sh starts an Xvfb of its own), or with --wayland on
// the first output of a Wayland compositor, frames paced by its frame
// callbacks as velora-skyshow's are (wayland-bench.sh).
//   velora-frame-bench [--wayland] [WARMUP_S [MEASURE_S]]
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "engine/VeloraCore.h"
#include "platform/Platform.h"

namespace {

using WallClock = std::chrono::steady_clock;

double SecondsSince(WallClock::time_point start) {
    return std::chrono::duration<double>(WallClock::now() - start).count();
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// What the engine's speed probe left on, read from the current context: the
// frame time depends on it more than on anything else.
std::string ProbeOutcome() {
    constexpr unsigned kLineSmooth = 0x0B20;  // GL_LINE_SMOOTH
    constexpr unsigned kBlend = 0x0BE2;       // GL_BLEND
    using IsEnabledProc = unsigned char (*)(unsigned);
    void* gl = dlopen("libGL.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (gl == nullptr) gl = dlopen("libOpenGL.so.0", RTLD_LAZY | RTLD_NOLOAD);
    const auto isEnabled = gl != nullptr ? reinterpret_cast<IsEnabledProc>(dlsym(gl, "glIsEnabled")) : nullptr;
    if (isEnabled == nullptr) return "unknown";
    return std::string("line smoothing ") + (isEnabled(kLineSmooth) ? "on" : "off") + ", blending " +
           (isEnabled(kBlend) ? "on" : "off");
}

// Draws the first frame, warms up, then measures; prints the figures.
void Measure(velora::TVeloraEngine& engine, const std::function<void()>& frame, WallClock::time_point start,
             double warmup, double measure) {
    frame();
    const double firstFrame = SecondsSince(start);
    const auto warm = WallClock::now();
    while (SecondsSince(warm) < warmup) frame();
    long frames = 0;
    long liveSum = 0;
    const auto timed = WallClock::now();
    while (SecondsSince(timed) < measure) {
        frame();
        ++frames;
        liveSum += engine.LiveCount();
    }
    const double elapsed = SecondsSince(timed);
    std::printf("screen %.0fx%.0f\n", engine.Width(), engine.Height());
    std::printf("first frame after %.0f ms from process start\n", firstFrame * 1000);
    std::printf("speed probe: %s\n", ProbeOutcome().c_str());
    std::printf("%.1f frames/s (%.1f ms a frame) over %.1f s after %.0f s of warm-up, %.0f live sparks on average\n",
                frames / elapsed, elapsed * 1000 / static_cast<double>(frames ? frames : 1), elapsed, warmup,
                frames ? static_cast<double>(liveSum) / frames : 0.0);
    std::printf("resident memory %ld KiB\n", ResidentKiB());
}

void MeasureX11(WallClock::time_point start, double warmup, double measure) {
    using namespace velora;
    auto app = platform::CreateApplication();
    platform::WindowSpec request;
    request.Kind = platform::WindowKind::FullScreen;
    request.Caption = "Velora Skyshow";
    request.Bounds = app->VirtualScreen();
    auto window = app->OpenWindow(request, [](const platform::Message&) { return false; });
    window->Show();
    app->ProcessMessages();
    TVeloraEngine engine(app->Graphics(), app->SystemClock(), window->Handle(), true, false);
    Measure(
        engine,
        [&] {
            engine.RenderFrame();
            app->ProcessMessages();
        },
        start, warmup, measure);
}

#ifdef VELORA_HAVE_WAYLAND
// One engine on the compositor's first surface; the others stay empty.
class FirstSurface : public velora::platform::OutputSurfaces::Listener {
public:
    explicit FirstSurface(velora::platform::OutputSurfaces& outputs) : FOutputs(outputs) {}

    void SurfaceAdded(velora::WindowHandle surface) override {
        if (FEngine) return;
        FSurface = surface;
        FEngine =
            std::make_unique<velora::TVeloraEngine>(FOutputs.Graphics(), FOutputs.SystemClock(), surface, true, false);
    }
    void SurfaceResized(velora::WindowHandle surface) override {
        if (surface == FSurface) FEngine->SetupViewport();
    }
    void SurfaceRemoved(velora::WindowHandle surface) override { FGone = FGone || surface == FSurface; }
    void Input(const velora::platform::Message&) override {}

    // Waits for the compositor to want the next frame, then draws it.
    velora::TVeloraEngine& Engine() {
        while (!FEngine) Wait();
        return *FEngine;
    }
    void Frame() {
        while (!FOutputs.FrameDue(FSurface)) Wait();
        FEngine->RenderFrame();
    }

private:
    void Wait() {
        FOutputs.Dispatch(100, *this);
        if (FGone || FOutputs.AllClosed()) throw velora::Exception("the surface went away");
    }

    velora::platform::OutputSurfaces& FOutputs;
    velora::WindowHandle FSurface = 0;
    std::unique_ptr<velora::TVeloraEngine> FEngine;
    bool FGone = false;
};

void MeasureWayland(WallClock::time_point start, double warmup, double measure) {
    auto outputs = velora::platform::CreateOutputSurfaces("Velora Skyshow");
    FirstSurface surface(*outputs);
    const auto frame = [&] { surface.Frame(); };
    Measure(surface.Engine(), frame, start, warmup, measure);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    const auto start = WallClock::now();
    const bool wayland = argc > 1 && std::string(argv[1]) == "--wayland";
    const int first = wayland ? 2 : 1;
    const double warmup = argc > first ? std::atof(argv[first]) : 10;
    const double measure = argc > first + 1 ? std::atof(argv[first + 1]) : 10;
    try {
        if (!wayland) {
            MeasureX11(start, warmup, measure);
            return 0;
        }
#ifdef VELORA_HAVE_WAYLAND
        MeasureWayland(start, warmup, measure);
        return 0;
#else
        std::fprintf(stderr, "velora-frame-bench: built without the Wayland backend\n");
        return 2;
#endif
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velora-frame-bench: %s\n", e.what());
        return 1;
    }
}
