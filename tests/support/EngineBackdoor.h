#pragma once
// Lets tests and benchmarks arrange pool states that would take thousands of
// frames to reach through the engine's own operations.
#include "engine/VeloraCore.h"

namespace velora {

struct EngineBackdoor {
    static Spark& SparkAt(TVeloraEngine& e, int i) { return e.FSparks[i]; }
    static Spark* Pool(TVeloraEngine& e) { return e.FSparks; }
    static void SetCounts(TVeloraEngine& e, std::int32_t live, std::int32_t hint) {
        e.FLiveCount = live;
        e.FSearchHint = hint;
    }
    static void SetLastSalvo(TVeloraEngine& e, Tick tick, std::int32_t delay) {
        e.FLastSalvoTick = tick;
        e.FSalvoDelay = delay;
    }
    static void SetBudget(TVeloraEngine& e, std::int32_t budget) { e.FBudget = budget; }
    // Marks the lowest free slots alive until `count` sparks live.
    static void FillTo(TVeloraEngine& e, std::int32_t count) {
        while (e.FLiveCount < count) {
            const std::int32_t i = e.FindFreeSlot();
            e.FSparks[i] = Spark{};
            e.FSparks[i].Alive = true;
            e.FSparks[i].Points = 5;
            e.FSparks[i].Radius = 10;
            e.FSparks[i].Alpha = 1;
            e.FSparks[i].Copies = 1;
            ++e.FLiveCount;
        }
    }
};

}  // namespace velora
