#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <string>

#include "EngineBackdoor.h"
#include "EngineRig.h"
#include "base/Extended.h"

namespace velora {
namespace {

using testing::EngineRig;
using testing::GlCapture;

struct Drawing {
    Drawing() {
        rig.Window.Trace = gl.File();
        engine = rig.Make();
        gl.Take();
    }
    std::vector<std::string> Star(float points, float radius, float ratio, float angle = 0) {
        engine->DrawStar(100, 200, 0, points, radius, ratio, angle, 0.6f, 0.25f, 0.5f, 0.75f, 1);
        return gl.Take();
    }

    GlCapture gl;
    EngineRig rig;
    std::unique_ptr<TVeloraEngine> engine;
};

int Vertices(const std::vector<std::string>& calls) {
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("glVertex3f", 0) == 0; }));
}

std::pair<float, float> VertexAt(const std::vector<std::string>& calls, int k) {
    float x = 0, y = 0;
    int seen = 0;
    for (const auto& c : calls) {
        if (c.rfind("glVertex3f", 0) == 0 && seen++ == k) {
            std::sscanf(c.c_str(), "glVertex3f %f %f", &x, &y);
            break;
        }
    }
    return {x, y};
}

TEST(DrawStarTest, EachOutlineSetsWidthAndColourThenDrawsALineLoop) {
    Drawing d;
    const auto calls = d.Star(5, 10, 0.5f);
    ASSERT_EQ(calls.size(), 14u);
    EXPECT_EQ(calls[0], "glLineWidth 0.600000024");
    EXPECT_EQ(calls[1], "glColor4f 0.25 0.5 0.75 1");
    EXPECT_EQ(calls[2], "glBegin 2");
    EXPECT_EQ(calls.back(), "glEnd");
}

TEST(DrawStarTest, VertexCountsFollowTheSinglePrecisionAngleSum) {
    Drawing d;
    const std::pair<float, int> expected[] = {{3, 7},  {4, 9},  {5, 10},  {6, 13},  {7, 14},
                                              {8, 16}, {9, 19}, {10, 20}, {11, 23}, {12, 25}};
    for (const auto& [points, count] : expected) EXPECT_EQ(Vertices(d.Star(points, 10, 0.5f)), count) << points;
}

TEST(DrawStarTest, OutlineStartsOuterAtTheAngleThenGoesInner) {
    Drawing d;
    const auto calls = d.Star(4, 10, 0.5f);
    EXPECT_EQ(VertexAt(calls, 0), std::make_pair(110.0f, 200.0f));
    const auto inner = VertexAt(calls, 1);
    EXPECT_NEAR(inner.first, 100 + 5 * std::cos(std::numbers::pi / 4), 1e-4);
    EXPECT_NEAR(inner.second, 200 + 5 * std::sin(std::numbers::pi / 4), 1e-4);
    // The closing vertex repeats the first.
    EXPECT_EQ(VertexAt(calls, 8), VertexAt(calls, 0));
}

TEST(DrawStarTest, ImpossiblePointCountsDrawFivePoints) {
    Drawing d;
    const auto five = d.Star(5, 10, 0.5f);
    for (const float points : {2.0f, 0.0f, -3.0f, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(d.Star(points, 10, 0.5f), five) << points;
}

TEST(DrawStarTest, ImpossibleRatiosUseOneHalfButTheLimitsStand) {
    Drawing d;
    const auto half = d.Star(6, 10, 0.5f);
    for (const float ratio : {1.5f, -0.1f, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(d.Star(6, 10, ratio), half) << ratio;
    EXPECT_EQ(VertexAt(d.Star(6, 10, 0.0f), 1), std::make_pair(100.0f, 200.0f));
    EXPECT_NE(d.Star(6, 10, 1.0f), half);
}

TEST(DrawStarTest, PointCountsTooLargeToStepEndInsteadOfHanging) {
    Drawing d;
    EXPECT_EQ(Vertices(d.Star(std::numeric_limits<float>::infinity(), 10, 0.5f)), 1);
    EXPECT_GT(Vertices(d.Star(1e4f, 10, 0.5f)), 19000);
}

TEST(DrawSparksTest, TinySecondCopyIsNotDrawn) {
    Drawing d;
    EngineBackdoor::FillTo(*d.engine, kPoolSize);
    for (int i = 0; i < kPoolSize; ++i) EngineBackdoor::SparkAt(*d.engine, i).Alive = i == 0;
    Spark& s = EngineBackdoor::SparkAt(*d.engine, 0);
    s.Points = 5;
    s.InnerRatio = 0.5f;
    s.Copies = 2;
    s.Radius = 0.012f;
    d.engine->DrawSparks();
    EXPECT_EQ(Vertices(d.gl.Take()), 10);
    s.Radius = 0.02f;
    d.engine->DrawSparks();
    EXPECT_EQ(Vertices(d.gl.Take()), 20);
    s.Copies = 0;
    d.engine->DrawSparks();
    EXPECT_TRUE(d.gl.Take().empty());
}

// The fast drawing of whole sparks must emit the same calls as drawing each
// outline with DrawStar, but for rare last-bit differences in coordinates.
TEST(DrawSparksTest, MatchesDrawingEachOutlineOneByOne) {
    Drawing d;
    for (int i = 0; i < 3; ++i) d.engine->LaunchSalvo();
    d.engine->DrawSparks();
    const auto fast = d.gl.Take();
    for (int i = 0; i < kPoolSize; ++i) {
        const Spark& s = d.engine->SparkAt(i);
        if (!s.Alive) continue;
        float r = s.Radius;
        for (int copy = 0; copy < s.Copies; ++copy) {
            d.engine->DrawStar(s.X, s.Y, s.Z, s.Points, r, s.InnerRatio, s.Angle, s.LineWidth, s.Red, s.Green, s.Blue,
                               s.Alpha);
            r = static_cast<float>(r - ext{7} / 1000);
            if (r < ext{1} / 100) break;
        }
    }
    const auto exact = d.gl.Take();
    ASSERT_EQ(fast.size(), exact.size());
    ASSERT_GT(fast.size(), 10000u);
    std::size_t differing = 0;
    for (std::size_t k = 0; k < fast.size(); ++k) {
        if (fast[k] == exact[k]) continue;
        ++differing;
        float fx, fy, ex, ey;
        ASSERT_EQ(std::sscanf(fast[k].c_str(), "glVertex3f %f %f", &fx, &fy), 2) << fast[k];
        ASSERT_EQ(std::sscanf(exact[k].c_str(), "glVertex3f %f %f", &ex, &ey), 2) << exact[k];
        EXPECT_LE(std::abs(fx - ex), std::abs(ex) * 1.2e-7f + 1e-30f) << fast[k] << " vs " << exact[k];
        EXPECT_LE(std::abs(fy - ey), std::abs(ey) * 1.2e-7f + 1e-30f) << fast[k] << " vs " << exact[k];
    }
    EXPECT_LT(differing, fast.size() / 1000);
}

TEST(FrameTest, FrameClearsStepsDrawsFlushesInOrder) {
    Drawing d;
    d.engine->RenderFrame();
    const auto calls = d.gl.Take();
    EXPECT_EQ(calls.front(), "glClear 16384");
    EXPECT_EQ(calls.back(), "glFlush");
    EXPECT_EQ(d.rig.Window.Swaps, 1);
}

}  // namespace
}  // namespace velora
