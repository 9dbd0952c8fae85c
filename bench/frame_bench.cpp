// Frames of the real engine in a real full-screen window: the time from the
// start of the process to the first finished frame, then the frame rate once
// the pool has reached its steady state. Run it on an X display of the size
// to measure (frame-bench.sh starts an Xvfb of its own).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

}  // namespace

int main(int argc, char** argv) {
    const auto start = WallClock::now();
    const double warmup = argc > 1 ? std::atof(argv[1]) : 10;
    const double measure = argc > 2 ? std::atof(argv[2]) : 10;
    try {
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
        engine.RenderFrame();
        app->ProcessMessages();
        const double firstFrame = SecondsSince(start);

        const auto warm = WallClock::now();
        while (SecondsSince(warm) < warmup) {
            engine.RenderFrame();
            app->ProcessMessages();
        }
        long frames = 0;
        long liveSum = 0;
        const auto timed = WallClock::now();
        while (SecondsSince(timed) < measure) {
            engine.RenderFrame();
            app->ProcessMessages();
            ++frames;
            liveSum += engine.LiveCount();
        }
        const double elapsed = SecondsSince(timed);
        std::printf("screen %.0fx%.0f\n", engine.Width(), engine.Height());
        std::printf("first frame after %.0f ms from process start\n", firstFrame * 1000);
        std::printf("%.1f frames/s over %.1f s after %.0f s of warm-up, %.0f live sparks on average\n",
                    frames / elapsed, elapsed, warmup, frames ? static_cast<double>(liveSum) / frames : 0.0);
        std::printf("resident memory %ld KiB\n", ResidentKiB());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velora-frame-bench: %s\n", e.what());
        return 1;
    }
}
