#include <thread>

#include "Layout.h"
#include "harness/Session.h"

namespace velora::testing {
namespace {

class SaverTest : public XSessionTest {
protected:
    // Starts the program and waits until it draws in its window.
    void StartSaver(const std::vector<std::string>& args, const Rect& where, const Environment& extra = {},
                    const std::string& exe = VeloraPath()) {
        FVelora = &Launch(args, extra, exe);
        const auto window = WaitForWindow(kTitle, where.Width, where.Height);
        ASSERT_TRUE(window) << "no " << ToString(where) << " window titled " << kTitle;
        ASSERT_GE(WaitForStars(where).CountStarPixels(where), 10) << "the window shows no stars";
    }

    void ExpectCleanExit() {
        const auto status = ExpectExit(*FVelora);
        ASSERT_TRUE(status);
        EXPECT_TRUE(status->Exited && status->Code == 0) << "ended with " << *status;
    }

    Process* FVelora = nullptr;
};

struct CloseInput {
    std::string Name;
    std::vector<std::string> Args;
    Rect Window;
    std::vector<std::string> Input;  // xdotool arguments
};

void PrintTo(const CloseInput& c, std::ostream* out) { *out << c.Name; }

class SaverCloses : public SaverTest, public ::testing::WithParamInterface<CloseInput> {};

TEST_P(SaverCloses, OnInputAndEndsNormally) {
    ASSERT_NO_FATAL_FAILURE(StartSaver(GetParam().Args, GetParam().Window));
    Xdotool(GetParam().Input);
    ExpectCleanExit();
}

// In the small window nothing grabs the keyboard: the pointer is put over it
// so that key presses reach it.
INSTANTIATE_TEST_SUITE_P(
    Inputs, SaverCloses,
    ::testing::Values(
        CloseInput{"FullScreenLetterKey", {"/s"}, kScreen, {"key", "x"}},
        CloseInput{"FullScreenEscape", {"/s"}, kScreen, {"key", "Escape"}},
        CloseInput{"FullScreenLeftButton", {"/s"}, kScreen, {"click", "1"}},
        CloseInput{"FullScreenMiddleButton", {"/s"}, kScreen, {"click", "2"}},
        CloseInput{"FullScreenRightButton", {"/s"}, kScreen, {"click", "3"}},
        CloseInput{"FullScreenWheelUp", {"/s"}, kScreen, {"click", "4"}},
        CloseInput{"FullScreenWheelDown", {"/s"}, kScreen, {"click", "5"}},
        CloseInput{"SmallWindowKey", {"-pdebug"}, kSmallWindow, {"mousemove", "512", "384", "key", "x"}},
        CloseInput{"SmallWindowLeftButton", {"-pdebug"}, kSmallWindow, {"mousemove", "512", "384", "click", "1"}}),
    ByName());

using SaverIgnores = SaverTest;

TEST_F(SaverIgnores, SystemKeysAndExtraButtons) {
    ASSERT_NO_FATAL_FAILURE(StartSaver({"/s"}, kScreen));
    Xdotool({"key", "F10", "key", "alt+x", "click", "6", "click", "7", "click", "8", "click", "9"});

    EXPECT_TRUE(WaitForFrames(kScreen)) << "no frames after the input";
    EXPECT_TRUE(FVelora->Running()) << "the saver closed on a system key or an extra button";
    Xdotool({"key", "x"});
    ExpectCleanExit();
}

using SaverMouse = SaverTest;

TEST_F(SaverMouse, TwentyQuickMovesClose) {
    ASSERT_NO_FATAL_FAILURE(StartSaver({"/s"}, kScreen));
    Xdotool(PointerMoves(20, 200));
    ExpectCleanExit();
}

TEST_F(SaverMouse, NineteenMovesAPauseAndNineteenMoreDoNotClose) {
    ASSERT_NO_FATAL_FAILURE(StartSaver({"/s"}, kScreen));
    // The saver times the moves as it reads them: each batch must have been
    // read (frames drawn after it) before the pause and the next batch start,
    // or a saver slowed down by a loaded machine would read all 38 at once.
    Xdotool(PointerMoves(19, 200));
    ASSERT_TRUE(WaitForFrames(kScreen)) << "no frames after the first moves";
    EXPECT_TRUE(FVelora->Running()) << "19 moves closed the saver";
    std::this_thread::sleep_for(600ms);
    Xdotool(PointerMoves(19, 300));

    EXPECT_TRUE(WaitForFrames(kScreen)) << "the saver stopped drawing";
    EXPECT_TRUE(FVelora->Running()) << "the moves closed the saver";
    Xdotool({"key", "x"});
    ExpectCleanExit();
}

// Started with stderr closed, the display connection would take descriptor 2,
// and Mesa's warning about a bad version override would then be written into
// the X protocol stream.
using SaverWithoutStderr = SaverTest;

TEST_F(SaverWithoutStderr, StillDrawsAndEndsOnAKey) {
    ASSERT_NO_FATAL_FAILURE(StartSaver({"-c", "exec \"$0\" /s 2>&-", VeloraPath()}, kScreen,
                                       {{"MESA_GL_VERSION_OVERRIDE", "garbage"}}, "/bin/sh"));
    Xdotool({"key", "x"});
    ExpectCleanExit();
}

using SaverPause = SaverTest;

TEST_F(SaverPause, PauseFreezesThePictureAndPauseAgainResumes) {
    ASSERT_NO_FATAL_FAILURE(StartSaver({"/s"}, kScreen));
    Xdotool({"key", "Pause"});

    const auto frozen = WaitForStill(kScreen, 500ms);
    ASSERT_TRUE(frozen) << "the picture kept changing after Pause";
    EXPECT_GT(frozen->CountStarPixels(kScreen), 0) << "froze on an empty picture";
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(X().GrabScreen() == *frozen) << "the picture changed while paused";
    EXPECT_TRUE(FVelora->Running()) << "Pause closed the saver";

    Xdotool({"key", "Pause"});
    EXPECT_TRUE(WaitForChange(*frozen)) << "the picture stayed frozen after the second Pause";
    Xdotool({"key", "x"});
    ExpectCleanExit();
}

}  // namespace
}  // namespace velora::testing
