#include <thread>

#include "Layout.h"
#include "harness/Session.h"

namespace velora::testing {
namespace {

class TestWindowMode : public XSessionTest, public ::testing::WithParamInterface<CommandLine> {};

TEST_P(TestWindowMode, OpensTheTitledSizeableWindowAndDrawsAllOverIt) {
    Process& velora = Launch(GetParam().Args);

    const auto window = WaitForWindow(kTitle, kTestWindow.Width, kTestWindow.Height);
    ASSERT_TRUE(window) << "no " << ToString(kTestWindow) << " window titled " << kTitle;
    EXPECT_EQ(window->Bounds, kTestWindow);
    EXPECT_FALSE(window->OverrideRedirect);
    EXPECT_EQ(X().NetWmName(window->Id), kTitle);
    EXPECT_TRUE(WaitForStarsInAllQuarters(kTestWindow)) << "stars never reached every part of the window";
    EXPECT_EQ(X().GrabScreen().CountStarPixelsOutside(kTestWindow), 0);
    EXPECT_TRUE(velora.Running());
}

INSTANTIATE_TEST_SUITE_P(CommandLines, TestWindowMode,
                         ::testing::Values(CommandLine{"NoArguments", {}}, CommandLine{"UpperCasePdebug", {"-PDEBUG"}},
                                           CommandLine{"PdebugWithAnotherArgument", {"-pdebug", "extra"}},
                                           CommandLine{"UnknownSwitch", {"/x"}}),
                         ByName());

class FullScreenMode : public XSessionTest, public ::testing::WithParamInterface<CommandLine> {};

TEST_P(FullScreenMode, CoversTheScreenTakesTheInputAndHidesTheCursor) {
    Process& velora = Launch(GetParam().Args);

    const auto window = WaitForWindow(kTitle, kScreen.Width, kScreen.Height);
    ASSERT_TRUE(window) << "no full-screen window titled " << kTitle;
    EXPECT_EQ(window->Bounds, kScreen);
    EXPECT_TRUE(window->OverrideRedirect);
    EXPECT_TRUE(WaitForStarsInAllQuarters(kScreen)) << "stars never reached every part of the screen";
    // Probed only once the program draws, so that our probe grab cannot get in
    // the way of the program's own.
    EXPECT_TRUE(WaitUntil([&] { return X().PointerGrabbedElsewhere(); })) << "pointer not grabbed";
    EXPECT_TRUE(WaitUntil([&] { return X().KeyboardGrabbedElsewhere(); })) << "keyboard not grabbed";
    EXPECT_TRUE(WaitUntil([&] { return X().CursorInvisible(); })) << "cursor still visible";
    EXPECT_TRUE(velora.Running());
}

INSTANTIATE_TEST_SUITE_P(CommandLines, FullScreenMode,
                         ::testing::Values(CommandLine{"LowerCaseSlash", {"/s"}},
                                           CommandLine{"DashWithSuffixAndMoreArguments",
                                                       {"-S:anything", "more", "args"}}),
                         ByName());

using SmallWindowMode = XSessionTest;

TEST_F(SmallWindowMode, SitsCentredAndDrawsNowhereElse) {
    Process& velora = Launch({"-pdebug"});

    const auto window = WaitForWindow(kTitle, kSmallWindow.Width, kSmallWindow.Height);
    ASSERT_TRUE(window) << "no " << ToString(kSmallWindow) << " window titled " << kTitle;
    EXPECT_EQ(window->Bounds, kSmallWindow);
    Xdotool({"mousemove", "512", "384"});
    EXPECT_TRUE(WaitUntil([&] { return X().CursorInvisible(); })) << "cursor still visible over the window";
    EXPECT_GE(WaitForStars(kSmallWindow).CountStarPixels(kSmallWindow), 10);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(X().GrabScreen().CountStarPixelsOutside(kSmallWindow), 0);
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_TRUE(velora.Running());
}

}  // namespace
}  // namespace velora::testing
