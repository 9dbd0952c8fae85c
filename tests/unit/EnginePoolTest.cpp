#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "EngineBackdoor.h"
#include "EngineRig.h"
#include "base/Extended.h"
#include "base/Numeric.h"
#include "base/Random.h"
#include "color/hsb.h"

namespace velora {
namespace {

using testing::EngineRig;

int CountAlive(const TVeloraEngine& e) {
    int alive = 0;
    for (int i = 0; i < kPoolSize; ++i) alive += e.SparkAt(i).Alive ? 1 : 0;
    return alive;
}

void ExpectPoolInvariants(const TVeloraEngine& e) {
    ASSERT_EQ(e.LiveCount(), CountAlive(e));
    for (int i = 0; i < e.SearchHint(); ++i) ASSERT_TRUE(e.SparkAt(i).Alive) << "slot " << i << " below the hint";
}

// Replays the draws of the first salvo by hand, in the documented order, and
// compares with what the engine stored for the first spark.
TEST(SalvoTest, FirstSparkFollowsTheOrderOfDraws) {
    EngineRig rig(1024, 768);
    rig.Clock.Counter = 0xABCDEF0012345679ull;
    auto engine = rig.Make();

    RandSeed = 0x12345679u;
    const auto x = static_cast<float>(Random() * 1024.0f);
    const auto y = static_cast<float>(Random() * 768.0f);
    const int p = Random(10);
    ASSERT_LE(p, 7) << "this seed picks a preset palette";
    const int presets[8][3] = {{234, 200, 48}, {34, 68, 319},  {83, 107, 64}, {274, 325, 47},
                               {17, 189, 301}, {215, 172, 27}, {56, 330, 83}, {212, 257, 299}};
    const auto speedRange = static_cast<float>(static_cast<ext>(Random(1024)) + 1024);

    const int f = Random(100);
    const int points = f < 10 ? 4 : f <= 60 ? Random(4) + 5 : f <= 80 ? Random(2) + 8 : Random(2) + 10;
    const int radius = Random(13) + 7;
    const auto ratio = static_cast<float>(points > 6    ? static_cast<ext>(Random(5)) / 10 + ext{3} / 10
                                          : points >= 5 ? static_cast<ext>(Random(4)) / 10 + ext{2} / 10
                                                        : Random() / 5 + ext{1} / 10);
    const auto angle = static_cast<float>(Random());
    const auto lineWidth = static_cast<float>(static_cast<ext>(Random(3)) / 10 + ext{0.5});
    const int h = Random(10);
    float hue = static_cast<float>(static_cast<ext>(presets[p][h <= 6 ? 0 : h <= 8 ? 1 : 2]) / 360);
    hue = static_cast<float>(hue + static_cast<ext>(Random(3) - 1) / 20);
    if (hue < 0) hue = static_cast<float>(hue + ext{1});
    if (hue > 1) hue = static_cast<float>(hue - ext{1});
    const int s = Random(51);
    const int b = Random(20);
    RgbBytes rgb{};
    HsbToRgb(MakeHsbColor(hue, static_cast<double>((s + 50) / ext{100}), static_cast<double>((b + 81) / ext{100})),
             rgb);
    float spin = static_cast<float>(ext{2} / 100 - Random(7) / ext{100});
    if (spin == 0) spin = 0.01f;
    const auto heading =
        static_cast<float>(Random() * 2 * X87Constant(0x4000, 0xC90FDAA22168C235, std::numbers::pi_v<long double>));
    auto speed = static_cast<float>(Random(static_cast<std::int32_t>(Round(speedRange))) / ext{100});
    if (speed < ext{1} / 100) speed = 0.2f;
    const int copies = Random(2) + 1;

    const Spark& first = engine->SparkAt(0);
    EXPECT_EQ(first.X, x);
    EXPECT_EQ(first.Y, y);
    EXPECT_EQ(first.Z, 0.0f);
    EXPECT_EQ(first.Points, static_cast<float>(points));
    EXPECT_EQ(first.Radius, static_cast<float>(radius));
    EXPECT_EQ(first.InnerRatio, ratio);
    EXPECT_EQ(first.Angle, angle);
    EXPECT_EQ(first.LineWidth, lineWidth);
    EXPECT_EQ(first.Red, static_cast<float>(rgb.R / ext{255}));
    EXPECT_EQ(first.Green, static_cast<float>(rgb.G / ext{255}));
    EXPECT_EQ(first.Blue, static_cast<float>(rgb.B / ext{255}));
    EXPECT_EQ(first.Alpha, 1.0f);
    EXPECT_EQ(first.Spin, spin);
    EXPECT_EQ(first.Heading, heading);
    EXPECT_EQ(first.Speed, speed);
    EXPECT_EQ(first.Copies, copies);
    // Every spark of the salvo shares the launch point.
    EXPECT_EQ(engine->SparkAt(engine->LiveCount() - 1).X, x);
}

TEST(SalvoTest, SalvoSizeIsTheBudgetOrAQuarterOfTheFreeSlots) {
    struct Case {
        int Live;
        int Budget;
        int Spawned;
    };
    for (const Case c : {Case{2000, 2000, 2000}, Case{8000, 600, 500}, Case{9600, 150, 100}, Case{100, 100, 100}}) {
        EngineRig rig(200, 150);  // the first salvo holds 100 sparks
        auto engine = rig.Make();
        EngineBackdoor::FillTo(*engine, c.Live);
        EngineBackdoor::SetBudget(*engine, c.Budget);
        engine->LaunchSalvo();
        EXPECT_EQ(engine->LiveCount() - c.Live, c.Spawned) << c.Live << " live, budget " << c.Budget;
    }
}

TEST(SalvoTest, CrowdedPoolSkipsTheSalvoWithoutDrawing) {
    EngineRig rig;
    auto engine = rig.Make();
    EngineBackdoor::FillTo(*engine, 9700);
    EngineBackdoor::SetLastSalvo(*engine, 123, 456);
    const std::uint32_t seed = RandSeed;
    rig.Clock.Now = 99999;
    engine->LaunchSalvo();
    EXPECT_EQ(engine->LiveCount(), 9700);
    EXPECT_EQ(RandSeed, seed);
    EXPECT_EQ(engine->LastSalvoTick(), 123u);
    EXPECT_EQ(engine->SalvoDelay(), 456);
}

TEST(SalvoTest, DelayIsLongerInABusyPoolOrSmallWindow) {
    for (const bool small : {false, true}) {
        EngineRig rig(200, 150);  // salvos of 100
        auto engine = rig.Make(small);
        int longest = 0;
        for (int i = 0; i < 200; ++i) {
            engine->LaunchSalvo();
            EXPECT_GE(engine->SalvoDelay(), 200);
            longest = std::max(longest, engine->SalvoDelay());
            if (!small && engine->LiveCount() < 3000) {
                EXPECT_LE(engine->SalvoDelay(), 1200);
            }
        }
        EXPECT_GT(longest, 1200) << (small ? "small window" : "busy pool");
        EXPECT_LE(longest, 2200);
    }
}

TEST(PoolTest, FullPoolRefusesWithoutDrawing) {
    EngineRig rig;
    auto engine = rig.Make();
    EngineBackdoor::FillTo(*engine, kPoolSize);
    EXPECT_EQ(engine->FindFreeSlot(), -1);
    EXPECT_EQ(engine->SearchHint(), kPoolSize);
    const std::uint32_t seed = RandSeed;
    engine->SpawnSpark(1, 1, 0.1f, 0.2f, 0.3f, 100);
    EXPECT_EQ(RandSeed, seed);
    EXPECT_EQ(engine->LiveCount(), kPoolSize);
}

TEST(PoolTest, InvariantsHoldOverLongRandomRuns) {
    EngineRig rig(640, 480);
    auto engine = rig.Make();
    std::uint32_t lcg = 7;
    for (int frame = 0; frame < 3000; ++frame) {
        lcg = lcg * 1664525u + 1013904223u;
        rig.Clock.Now += lcg >> 27;  // 0..31 ms
        if (frame % 500 == 250) {
            rig.Window.OuterRect = Rect{0, 0, 200 + static_cast<int>(lcg >> 22), 150 + static_cast<int>(lcg >> 23)};
            engine->SetupViewport();
        }
        if (frame % 700 == 0) engine->ResetClock();
        engine->RenderFrame();
        ExpectPoolInvariants(*engine);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

TEST(PoolTest, NarrowWindowsGiveSmallerRadiiAndSlowerSpins) {
    EngineRig rig(499, 400);
    auto engine = rig.Make();
    // Each spin is stored, divided by ten and stored again; zero becomes 0.01.
    std::set<float> spins = {0.01f};
    for (int r = 0; r < 7; ++r) {
        const auto wide = static_cast<float>(ext{2} / 100 - r / ext{100});
        if (wide != 0) spins.insert(static_cast<float>(wide / ext{10}));
    }
    for (int i = 0; i < engine->LiveCount(); ++i) {
        const Spark& s = engine->SparkAt(i);
        EXPECT_GE(s.Radius, 5);
        EXPECT_LE(s.Radius, 13);
        EXPECT_TRUE(spins.count(s.Spin)) << s.Spin;
    }
}

TEST(SpawnTest, SpeedIsNeverBelowOneHundredth) {
    EngineRig rig;
    auto engine = rig.Make();
    std::set<float> speeds;
    for (int i = 0; i < 300; ++i) {
        engine->SpawnSpark(10, 10, 0.5f, 0.5f, 0.5f, 3);
        speeds.insert(engine->SparkAt(engine->SearchHint() - 1).Speed);
    }
    EXPECT_EQ(speeds, (std::set<float>{0.2f, 0.02f}));
    engine->SpawnSpark(10, 10, 0.5f, 0.5f, 0.5f, 1.4f);
    EXPECT_EQ(engine->SparkAt(engine->SearchHint() - 1).Speed, 0.2f);
}

TEST(SpawnTest, ShapesColoursAndCopiesStayInTheirRanges) {
    EngineRig rig(1920, 1080);
    auto engine = rig.Make();
    std::set<float> pointCounts;
    for (int i = 0; i < engine->LiveCount(); ++i) {
        const Spark& s = engine->SparkAt(i);
        pointCounts.insert(s.Points);
        EXPECT_GE(s.Radius, 7);
        EXPECT_LE(s.Radius, 19);
        if (s.Points == 4) {
            EXPECT_GE(s.InnerRatio, 0.1f);
            EXPECT_LE(s.InnerRatio, 0.3f);
        } else if (s.Points <= 6) {
            EXPECT_GE(s.InnerRatio, 0.2f);
            EXPECT_LE(s.InnerRatio, 0.5f);
        } else {
            EXPECT_GE(s.InnerRatio, 0.3f);
            EXPECT_LE(s.InnerRatio, 0.7f);
        }
        EXPECT_TRUE(s.Copies == 1 || s.Copies == 2);
        EXPECT_GE(std::max({s.Red, s.Green, s.Blue}), 206 / 255.0f);
        EXPECT_GE(s.Heading, 0.0f);
        EXPECT_LE(s.Heading, 6.2832f);
    }
    EXPECT_EQ(pointCounts, (std::set<float>{4, 5, 6, 7, 8, 9, 10, 11}));
}

}  // namespace
}  // namespace velora
