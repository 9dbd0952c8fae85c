#include <thread>

#include "Layout.h"
#include "harness/Session.h"

namespace itest {
namespace {

class TestWindowMode : public XSessionTest, public ::testing::WithParamInterface<CommandLine> {};

TEST_P(TestWindowMode, OpensTheTitledSizeableWindowAndDrawsAllOverIt) {
  Process& velora = launch(GetParam().args);

  const auto window = waitForWindow(kTitle, kTestWindow.width, kTestWindow.height);
  ASSERT_TRUE(window) << "no " << toString(kTestWindow) << " window titled " << kTitle;
  EXPECT_EQ(window->rect, kTestWindow);
  EXPECT_FALSE(window->overrideRedirect);
  EXPECT_EQ(x().netWmName(window->id), kTitle);
  EXPECT_TRUE(waitForStarsInAllQuarters(kTestWindow)) << "stars never reached every part of the window";
  EXPECT_EQ(x().grabScreen().countStarPixelsOutside(kTestWindow), 0);
  EXPECT_TRUE(velora.running());
}

INSTANTIATE_TEST_SUITE_P(CommandLines, TestWindowMode,
                         ::testing::Values(CommandLine{"NoArguments", {}},
                                           CommandLine{"UpperCasePdebug", {"-PDEBUG"}},
                                           CommandLine{"PdebugWithAnotherArgument", {"-pdebug", "extra"}},
                                           CommandLine{"UnknownSwitch", {"/x"}}),
                         ByName());

class FullScreenMode : public XSessionTest, public ::testing::WithParamInterface<CommandLine> {};

TEST_P(FullScreenMode, CoversTheScreenTakesTheInputAndHidesTheCursor) {
  Process& velora = launch(GetParam().args);

  const auto window = waitForWindow(kTitle, kScreen.width, kScreen.height);
  ASSERT_TRUE(window) << "no full-screen window titled " << kTitle;
  EXPECT_EQ(window->rect, kScreen);
  EXPECT_TRUE(window->overrideRedirect);
  EXPECT_TRUE(waitForStarsInAllQuarters(kScreen)) << "stars never reached every part of the screen";
  // Probed only once the program draws, so that our probe grab cannot get in
  // the way of the program's own.
  EXPECT_TRUE(waitUntil([&] { return x().pointerGrabbedElsewhere(); })) << "pointer not grabbed";
  EXPECT_TRUE(waitUntil([&] { return x().keyboardGrabbedElsewhere(); })) << "keyboard not grabbed";
  EXPECT_TRUE(waitUntil([&] { return x().cursorInvisible(); })) << "cursor still visible";
  EXPECT_TRUE(velora.running());
}

INSTANTIATE_TEST_SUITE_P(CommandLines, FullScreenMode,
                         ::testing::Values(CommandLine{"LowerCaseSlash", {"/s"}},
                                           CommandLine{"DashWithSuffixAndMoreArguments", {"-S:anything", "more", "args"}}),
                         ByName());

using SmallWindowMode = XSessionTest;

TEST_F(SmallWindowMode, SitsCentredAndDrawsNowhereElse) {
  Process& velora = launch({"-pdebug"});

  const auto window = waitForWindow(kTitle, kSmallWindow.width, kSmallWindow.height);
  ASSERT_TRUE(window) << "no " << toString(kSmallWindow) << " window titled " << kTitle;
  EXPECT_EQ(window->rect, kSmallWindow);
  xdotool({"mousemove", "512", "384"});
  EXPECT_TRUE(waitUntil([&] { return x().cursorInvisible(); })) << "cursor still visible over the window";
  EXPECT_GE(waitForStars(kSmallWindow).countStarPixels(kSmallWindow), 10);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(x().grabScreen().countStarPixelsOutside(kSmallWindow), 0);
    std::this_thread::sleep_for(300ms);
  }
  EXPECT_TRUE(velora.running());
}

}  // namespace
}  // namespace itest
