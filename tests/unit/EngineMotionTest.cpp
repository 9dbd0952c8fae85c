#include <gtest/gtest.h>

#include <cmath>

#include "EngineBackdoor.h"
#include "EngineRig.h"
#include "base/Random.h"
#include "base/Trig.h"

namespace velora {
namespace {

using testing::EngineRig;

// An engine whose pool holds exactly one spark, in slot `slot`, that the
// test then shapes as it likes.
struct OneSpark {
    explicit OneSpark(bool small = false, int slot = 0) : rig(1000, 800), engine(rig.Make(small)), slot(slot) {
        // Fill the pool, then retire every other slot through the engine so
        // that its counters stay true.
        EngineBackdoor::FillTo(*engine, kPoolSize);
        for (int i = 0; i < kPoolSize; ++i) EngineBackdoor::SparkAt(*engine, i).X = i == slot ? 500 : -1e9f;
        engine->StepSparks(0);
        Spark& s = EngineBackdoor::SparkAt(*engine, slot);
        s = Spark{};
        s.Alive = true;
        s.X = 500;
        s.Y = 400;
        s.Points = 5;
        s.Radius = 3;
        s.Alpha = 1;
        s.Speed = 1;
        s.Spin = 0.01f;
        s.Copies = 1;
    }
    Spark& spark() { return EngineBackdoor::SparkAt(*engine, slot); }

    EngineRig rig;
    std::unique_ptr<TVeloraEngine> engine;
    int slot;
};

// The first and the last slot of the pool: the engine steps every one.
constexpr int kEndSlots[] = {0, kPoolSize - 1};

// Sets the generator so that the next Random(4) is 2: no fading this step.
void SkipNextFade() {
    for (std::uint32_t seed = 0;; ++seed) {
        RandSeed = seed;
        if (Random(4) == 2) {
            RandSeed = seed;
            return;
        }
    }
}

TEST(MotionTest, NoElapsedTimeStillSpinsButDoesNotMove) {
    OneSpark one;
    ASSERT_EQ(one.engine->LiveCount(), 1);
    const Spark before = one.spark();
    one.engine->StepSparks(0);
    EXPECT_EQ(one.spark().X, before.X);
    EXPECT_EQ(one.spark().Y, before.Y);
    EXPECT_EQ(one.spark().Angle, static_cast<float>(before.Angle + static_cast<ext>(before.Spin)));
}

TEST(MotionTest, SmallModeMovesAsIfTwoMillisecondsHadPassed) {
    OneSpark small(true);
    small.engine->StepSparks(0);
    // d = 45000 / 1000 = 45; speed 1 along heading 0 for 2 ms.
    EXPECT_EQ(small.spark().X, static_cast<float>(500 + ext{2} / 45));
    EXPECT_EQ(small.spark().Y, 400.0f);
}

TEST(MotionTest, MovementFollowsHeadingSpeedAndElapsedTime) {
    // One heading in each quarter of the circle, in either end slot.
    for (const float heading : {1.0f, 2.5f, 4.0f, 5.5f}) {
        for (const int slot : kEndSlots) {
            OneSpark one(false, slot);
            one.spark().Heading = heading;
            one.spark().Speed = 4.79f;
            one.engine->StepSparks(16);
            // The engine's own sine and cosine: the C library's may differ in the last place.
            ext sine;
            ext cosine;
            SinCos(ext{heading}, sine, cosine);
            EXPECT_EQ(one.spark().X, static_cast<float>(500 + cosine * ext{4.79f} * 16 / 45))
                << heading << " in " << slot;
            EXPECT_EQ(one.spark().Y, static_cast<float>(400 + sine * ext{4.79f} * 16 / 45))
                << heading << " in " << slot;
        }
    }
}

TEST(RetirementTest, SparkOnTheEdgeStaysAndOneBeyondGoes) {
    for (const bool beyond : {false, true}) {
        OneSpark one;
        one.spark().X = beyond ? std::nextafter(-3.0f, -4.0f) : -3.0f;
        SkipNextFade();
        one.engine->StepSparks(0);
        EXPECT_EQ(one.engine->LiveCount(), beyond ? 0 : 1);
        EXPECT_EQ(one.spark().Alive, !beyond);
    }
}

TEST(RetirementTest, EachWindowEdgeRetires) {
    const float cases[4][2] = {{-3.5f, 10}, {1003.5f, 10}, {10, -3.5f}, {10, 803.5f}};
    for (const auto& c : cases) {
        for (const int slot : kEndSlots) {
            OneSpark one(false, slot);
            one.spark().X = c[0];
            one.spark().Y = c[1];
            SkipNextFade();
            one.engine->StepSparks(0);
            EXPECT_EQ(one.engine->LiveCount(), 0) << c[0] << "," << c[1] << " in " << slot;
            EXPECT_FALSE(one.spark().Alive) << c[0] << "," << c[1] << " in " << slot;
        }
    }
}

TEST(RetirementTest, FadedOutBelowHalfAPercent) {
    const float nearest = 0.005f;  // 0.0049999999 as a single
    for (const auto& [alpha, alive] : {std::pair{nearest, false}, std::pair{0.0050001f, true}}) {
        OneSpark one;
        one.spark().Alpha = alpha;
        SkipNextFade();
        one.engine->StepSparks(0);
        EXPECT_EQ(one.spark().Alive, alive) << alpha;
    }
}

TEST(RetirementTest, SearchHintDropsToTheLowestRetiredSlot) {
    EngineRig rig;
    auto engine = rig.Make();
    EngineBackdoor::FillTo(*engine, 30);
    for (int i = 0; i < 30; ++i) {
        Spark& s = EngineBackdoor::SparkAt(*engine, i);
        s.X = 500;
        s.Y = 300;
        s.Radius = 3;
        s.Alpha = 1;
    }
    // With 30 live slots the hint is 30; retire 20 first, then 5.
    EngineBackdoor::SparkAt(*engine, 20).X = -100;
    engine->StepSparks(0);
    EXPECT_EQ(engine->SearchHint(), 20);
    EngineBackdoor::SparkAt(*engine, 5).X = -100;
    engine->StepSparks(0);
    EXPECT_EQ(engine->SearchHint(), 5);
    EngineBackdoor::SparkAt(*engine, 12).X = -100;
    engine->StepSparks(0);
    EXPECT_EQ(engine->SearchHint(), 5);
    EXPECT_EQ(engine->FindFreeSlot(), 5);
    EXPECT_EQ(engine->FindFreeSlot(), 12);
    EXPECT_EQ(engine->FindFreeSlot(), 20);
}

TEST(RetirementTest, ShrinkingTheWindowRetiresSparksOutsideIt) {
    EngineRig rig(1000, 800);
    auto engine = rig.Make();
    rig.Window.OuterRect = Rect{0, 0, 100, 100};
    engine->SetupViewport();
    engine->StepSparks(0);
    for (int i = 0; i < kPoolSize; ++i) {
        const Spark& s = engine->SparkAt(i);
        if (s.Alive) {
            EXPECT_GE(s.X, -s.Radius);
            EXPECT_LE(s.X, 100 + s.Radius);
        }
    }
}

TEST(RetirementTest, RadiusStopsShrinkingAtThree) {
    OneSpark one;
    one.spark().Radius = 3;
    for (int i = 0; i < 50 && one.spark().Alive; ++i) {
        one.spark().Alpha = 1;
        one.engine->StepSparks(0);
        EXPECT_EQ(one.spark().Radius, 3.0f);
    }
}

TEST(FrameTest, FirstFrameStepsZeroThenByTheTick) {
    OneSpark one;
    one.rig.Clock.Now = 5000;
    EngineBackdoor::SetLastSalvo(*one.engine, 5000, 100000);
    one.engine->RenderFrame();
    EXPECT_EQ(one.spark().X, 500.0f);
    one.rig.Clock.Now += 16;
    one.engine->RenderFrame();
    EXPECT_EQ(one.spark().X, static_cast<float>(500 + ext{16} / 45));
    EXPECT_EQ(one.engine->LastFrameTick(), 5016u);
    one.engine->ResetClock();
    one.rig.Clock.Now += 1000;
    const float x = one.spark().X;
    one.engine->RenderFrame();
    EXPECT_EQ(one.spark().X, x);
}

TEST(FrameTest, SalvoStartsOnlyOnceTheDelayHasStrictlyPassed) {
    OneSpark one;
    EngineBackdoor::SetLastSalvo(*one.engine, 0xFFFFFF00u, 500);  // the delay spans the tick's wrap
    one.rig.Clock.Now = 0xFFFFFF00u + 500;
    one.engine->RenderFrame();
    EXPECT_EQ(one.engine->LiveCount(), 1);
    one.rig.Clock.Now += 1;
    one.engine->RenderFrame();
    EXPECT_GT(one.engine->LiveCount(), 1);
    EXPECT_EQ(one.engine->LastSalvoTick(), 0xFFFFFF00u + 501);
}

}  // namespace
}  // namespace velora
