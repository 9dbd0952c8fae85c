// Per-frame costs of the engine on a null OpenGL: drawing and stepping a
// full pool of the most expensive sparks, and a whole steady-state frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "EngineBackdoor.h"
#include "VirtualWindow.h"
#include "base/FloatingPoint.h"
#include "engine/VeloraCore.h"

namespace velora {
namespace {

struct FullPool {
    FullPool() : window(1920, 1080), clock(1000) {
        clock.Counter = 1;
        engine = std::make_unique<TVeloraEngine>(window, clock, WindowHandle{1}, true, false);
        clock.Constructing = false;
        while (engine->LiveCount() < 9600) engine->LaunchSalvo();
        EngineBackdoor::FillTo(*engine, kPoolSize);
        Spark* pool = EngineBackdoor::Pool(*engine);
        for (int i = 0; i < kPoolSize; ++i) {
            Spark& s = pool[i];
            s.Points = 11;
            s.Copies = 2;
            s.X = 960 + (i % 100);
            s.Y = 540 + (i / 100);
            s.Radius = 7 + (i % 13);
            s.InnerRatio = 0.5f;
            s.Alpha = 1;
            s.Speed = 0.5f;
            s.Heading = static_cast<float>(i) * 0.000628f;
            s.Angle = static_cast<float>(i) * 0.001f;
            s.Spin = 0.01f;
        }
        snapshot.assign(pool, pool + kPoolSize);
    }
    void Restore() {
        std::copy(snapshot.begin(), snapshot.end(), EngineBackdoor::Pool(*engine));
        EngineBackdoor::SetCounts(*engine, kPoolSize, kPoolSize);
    }

    sim::VirtualWindow window;
    sim::ScriptedClock clock;
    std::unique_ptr<TVeloraEngine> engine;
    std::vector<Spark> snapshot;
};

// 10000 sparks x 2 outlines x 23 vertices.
void BM_DrawSparksFullPool(benchmark::State& state) {
    FullPool pool;
    for (auto _ : state) pool.engine->DrawSparks();
    state.counters["vertices/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kPoolSize * 2 * 23, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawSparksFullPool)->Unit(benchmark::kMillisecond);

// The same outlines through DrawStar, extended precision throughout.
void BM_DrawStarFullPoolExtended(benchmark::State& state) {
    FullPool pool;
    for (auto _ : state) {
        for (int i = 0; i < kPoolSize; ++i) {
            const Spark& s = pool.engine->SparkAt(i);
            for (const float r : {s.Radius, s.Radius - 0.007f})
                pool.engine->DrawStar(s.X, s.Y, s.Z, s.Points, r, s.InnerRatio, s.Angle, s.LineWidth, s.Red, s.Green,
                                      s.Blue, s.Alpha);
        }
    }
}
BENCHMARK(BM_DrawStarFullPoolExtended)->Unit(benchmark::kMillisecond);

void BM_StepSparksFullPool(benchmark::State& state) {
    FullPool pool;
    for (auto _ : state) {
        state.PauseTiming();
        pool.Restore();
        state.ResumeTiming();
        pool.engine->StepSparks(16);
    }
}
BENCHMARK(BM_StepSparksFullPool)->Unit(benchmark::kMillisecond);

// Whole frames of a 1920x1080 engine that has run long enough to fill its
// pool to its steady state.
void BM_RenderFrameSteadyState(benchmark::State& state) {
    sim::VirtualWindow window(1920, 1080);
    sim::ScriptedClock clock(1000);
    clock.Counter = 1;
    TVeloraEngine engine(window, clock, WindowHandle{1}, true, false);
    clock.Constructing = false;
    for (int i = 0; i < 600; ++i) {
        clock.Now += 16;
        engine.RenderFrame();
    }
    for (auto _ : state) {
        clock.Now += 16;
        engine.RenderFrame();
    }
    state.counters["live"] = engine.LiveCount();
}
BENCHMARK(BM_RenderFrameSteadyState)->Unit(benchmark::kMillisecond);

// The check every frame begins with, when nothing has changed the state.
void BM_KeepFloatingPointState(benchmark::State& state) {
    SetFloatingPointState();
    for (auto _ : state) KeepFloatingPointState();
}
BENCHMARK(BM_KeepFloatingPointState);

}  // namespace
}  // namespace velora
