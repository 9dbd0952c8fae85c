#include "ui/InputFilter.h"

#include <gtest/gtest.h>

#include "VirtualWindow.h"

namespace velora {
namespace {

using namespace platform;

class InputFilterTest : public ::testing::Test {
protected:
    sim::ScriptedClock Clock{50000};
    TInputFilter Filter{Clock};

    InputAction MoveAfter(Tick gap) {
        Clock.Now += gap;
        return Filter.Filter(Message{1, kWmMouseMove, 0, 0});
    }
    // Moves `count` times, `gap` ms apart; the number of the move that closed, or 0.
    int Moves(int count, Tick gap) {
        for (int i = 1; i <= count; ++i)
            if (MoveAfter(gap) == InputAction::Close) return i;
        return 0;
    }
};

TEST_F(InputFilterTest, TheTwentiethMoveWithinHundredMillisecondGapsCloses) { EXPECT_EQ(Moves(20, 10), 20); }

TEST_F(InputFilterTest, NineteenMovesThenAPauseThenNineteenMoreDoNotClose) {
    EXPECT_EQ(Moves(19, 10), 0);
    EXPECT_EQ(MoveAfter(101), InputAction::Swallow);  // starts a new run and counts as its first
    EXPECT_EQ(Moves(18, 10), 0);
    EXPECT_EQ(Filter.MoveCountdown(), 1);
    EXPECT_EQ(MoveAfter(10), InputAction::Close);
}

TEST_F(InputFilterTest, AGapOfExactlyHundredMillisecondsKeepsTheRun) { EXPECT_EQ(Moves(20, 100), 20); }

TEST_F(InputFilterTest, TheFirstMoveAfterStartNeverRestartsTheCount) {
    Clock.Now = 4000000000u;  // long after any earlier tick
    EXPECT_EQ(MoveAfter(0), InputAction::Swallow);
    EXPECT_EQ(Filter.MoveCountdown(), 19);
    EXPECT_EQ(Filter.LastMoveTick(), 4000000000u);
}

TEST_F(InputFilterTest, GapsAreMeasuredAcrossTheTickWrap) {
    Clock.Now = 0xFFFFFFF0u;
    EXPECT_EQ(Moves(19, 0), 0);
    Clock.Now = 0x10;  // 32 ms later
    EXPECT_EQ(MoveAfter(0), InputAction::Close);
}

TEST_F(InputFilterTest, PauseTogglesAndEveryOtherKeyCloses) {
    EXPECT_EQ(Filter.Filter(Message{1, kWmKeyDown, kVkPause, 0}), InputAction::TogglePause);
    EXPECT_EQ(Filter.Filter(Message{1, kWmKeyDown, 0x41, 0}), InputAction::Close);
    EXPECT_EQ(Filter.Filter(Message{1, kWmKeyDown, 0x1B, 0}), InputAction::Close);
}

TEST_F(InputFilterTest, ButtonDownsAndTheWheelClose) {
    for (std::uint32_t message : {kWmLButtonDown, kWmRButtonDown, kWmMButtonDown, kWmMouseWheel})
        EXPECT_EQ(Filter.Filter(Message{1, message, 0, 0}), InputAction::Close) << message;
}

TEST_F(InputFilterTest, SystemKeysButtonUpsExtraButtonsAndTheHorizontalWheelPass) {
    for (std::uint32_t message :
         {kWmSysKeyDown, kWmLButtonUp, kWmRButtonUp, kWmXButtonDown, kWmMouseHWheel, kWmPaint, kWmClose, kWmSize})
        EXPECT_EQ(Filter.Filter(Message{1, message, kVkPause, 0}), InputAction::Pass) << message;
    EXPECT_EQ(Filter.MoveCountdown(), TInputFilter::kMoveCount);
}

}  // namespace
}  // namespace velora
