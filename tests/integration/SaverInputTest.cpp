#include <thread>

#include "Layout.h"
#include "harness/Session.h"

namespace itest {
namespace {

class SaverTest : public XSessionTest {
 protected:
  // Starts the program and waits until it draws in its window.
  void startSaver(const std::vector<std::string>& args, const Rect& where, const Environment& extra = {},
                  const std::string& exe = veloraPath()) {
    velora_ = &launch(args, extra, exe);
    const auto window = waitForWindow(kTitle, where.width, where.height);
    ASSERT_TRUE(window) << "no " << toString(where) << " window titled " << kTitle;
    ASSERT_GE(waitForStars(where).countStarPixels(where), 10) << "the window shows no stars";
  }

  void expectCleanExit() {
    const auto status = expectExit(*velora_);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->exited && status->code == 0) << "ended with " << *status;
  }

  Process* velora_ = nullptr;
};

struct CloseInput {
  std::string name;
  std::vector<std::string> args;
  Rect window;
  std::vector<std::string> input;  // xdotool arguments
};

void PrintTo(const CloseInput& c, std::ostream* out) { *out << c.name; }

class SaverCloses : public SaverTest, public ::testing::WithParamInterface<CloseInput> {};

TEST_P(SaverCloses, OnInputAndEndsNormally) {
  ASSERT_NO_FATAL_FAILURE(startSaver(GetParam().args, GetParam().window));
  xdotool(GetParam().input);
  expectCleanExit();
}

// In the small window nothing grabs the keyboard: the pointer is put over it
// so that key presses reach it.
INSTANTIATE_TEST_SUITE_P(
    Inputs, SaverCloses,
    ::testing::Values(CloseInput{"FullScreenLetterKey", {"/s"}, kScreen, {"key", "x"}},
                      CloseInput{"FullScreenEscape", {"/s"}, kScreen, {"key", "Escape"}},
                      CloseInput{"FullScreenLeftButton", {"/s"}, kScreen, {"click", "1"}},
                      CloseInput{"FullScreenMiddleButton", {"/s"}, kScreen, {"click", "2"}},
                      CloseInput{"FullScreenRightButton", {"/s"}, kScreen, {"click", "3"}},
                      CloseInput{"FullScreenWheelUp", {"/s"}, kScreen, {"click", "4"}},
                      CloseInput{"FullScreenWheelDown", {"/s"}, kScreen, {"click", "5"}},
                      CloseInput{"SmallWindowKey", {"-pdebug"}, kSmallWindow, {"mousemove", "512", "384", "key", "x"}},
                      CloseInput{"SmallWindowLeftButton",
                                 {"-pdebug"},
                                 kSmallWindow,
                                 {"mousemove", "512", "384", "click", "1"}}),
    ByName());

using SaverIgnores = SaverTest;

TEST_F(SaverIgnores, SystemKeysAndExtraButtons) {
  ASSERT_NO_FATAL_FAILURE(startSaver({"/s"}, kScreen));
  xdotool({"key", "F10", "key", "alt+x", "click", "6", "click", "7", "click", "8", "click", "9"});

  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(velora_->running()) << "the saver closed on a system key or an extra button";
  xdotool({"key", "x"});
  expectCleanExit();
}

using SaverMouse = SaverTest;

TEST_F(SaverMouse, TwentyQuickMovesClose) {
  ASSERT_NO_FATAL_FAILURE(startSaver({"/s"}, kScreen));
  xdotool(pointerMoves(20, 200));
  expectCleanExit();
}

TEST_F(SaverMouse, NineteenMovesAPauseAndNineteenMoreDoNotClose) {
  ASSERT_NO_FATAL_FAILURE(startSaver({"/s"}, kScreen));
  std::vector<std::string> input = pointerMoves(19, 200);
  input.insert(input.end(), {"sleep", "0.6"});
  const auto more = pointerMoves(19, 300);
  input.insert(input.end(), more.begin(), more.end());
  xdotool(input);

  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(velora_->running()) << "the moves closed the saver";
  EXPECT_TRUE(waitForChange(x().grabScreen())) << "the saver stopped drawing";
  xdotool({"key", "x"});
  expectCleanExit();
}

// Started with stderr closed, the display connection would take descriptor 2,
// and Mesa's warning about a bad version override would then be written into
// the X protocol stream.
using SaverWithoutStderr = SaverTest;

TEST_F(SaverWithoutStderr, StillDrawsAndEndsOnAKey) {
  ASSERT_NO_FATAL_FAILURE(startSaver({"-c", "exec \"$0\" /s 2>&-", veloraPath()}, kScreen,
                                     {{"MESA_GL_VERSION_OVERRIDE", "garbage"}}, "/bin/sh"));
  xdotool({"key", "x"});
  expectCleanExit();
}

using SaverPause = SaverTest;

TEST_F(SaverPause, PauseFreezesThePictureAndPauseAgainResumes) {
  ASSERT_NO_FATAL_FAILURE(startSaver({"/s"}, kScreen));
  xdotool({"key", "Pause"});

  const auto frozen = waitForStill(kScreen, 500ms);
  ASSERT_TRUE(frozen) << "the picture kept changing after Pause";
  EXPECT_GT(frozen->countStarPixels(kScreen), 0) << "froze on an empty picture";
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(x().grabScreen() == *frozen) << "the picture changed while paused";
  EXPECT_TRUE(velora_->running()) << "Pause closed the saver";

  xdotool({"key", "Pause"});
  EXPECT_TRUE(waitForChange(*frozen)) << "the picture stayed frozen after the second Pause";
  xdotool({"key", "x"});
  expectCleanExit();
}

}  // namespace
}  // namespace itest
