// velora-skyshow, the screensaver daemon's saver, on a private Xvfb that
// plays the daemon's part: the test makes the windows and sends the signals.
#include <signal.h>

#include <cstdio>
#include <thread>

#include "Layout.h"
#include "harness/Session.h"

namespace velora::testing {
namespace {

class Skyshow : public XSessionTest {
protected:
    Process& Start(const std::vector<std::string>& args, const Environment& env = {}) {
        return Launch(args, env, SkyshowPath());
    }

    // The viewable window the saver put into `host`.
    std::optional<Window> WaitForPanel(Window host) {
        std::optional<Window> panel;
        WaitUntil([&] {
            const auto kids = X().Children(host);
            if (kids.size() != 1) return false;
            const auto state = X().Info(kids.front());
            if (state && state->Viewable) panel = kids.front();
            return panel.has_value();
        });
        return panel;
    }

    void ExpectQuietEnd(Process& saver, std::chrono::milliseconds timeout = kPatience) {
        const auto status = ExpectExit(saver, timeout);
        ASSERT_TRUE(status);
        EXPECT_TRUE((status->Exited && status->Code == 0) || (!status->Exited && status->Code == SIGTERM))
            << "ended with " << *status;
        EXPECT_EQ(ReadFile(saver.StderrPath()), "");
    }
};

TEST_F(Skyshow, DrawsIntoAChildThatFollowsTheHostWindowAndTakesNothingElse) {
    const Window host = X().CreateHostWindow(kHost);
    Process& saver = Start({"--window-id", Hex(host)});
    const auto panel = WaitForPanel(host);
    ASSERT_TRUE(panel) << "no panel appeared inside the host window";

    EXPECT_EQ(X().Info(*panel).value_or(WindowInfo{}).Bounds, kHost);
    EXPECT_TRUE(WaitForStarsInAllQuarters(kHost)) << "stars never reached every part of the host window";
    EXPECT_EQ(X().GrabScreen().CountStarPixelsOutside(kHost), 0);
    EXPECT_EQ(X().ViewableTopLevels().size(), 1U) << "the saver showed a window of its own";
    EXPECT_FALSE(X().PointerGrabbedElsewhere());
    EXPECT_FALSE(X().KeyboardGrabbedElsewhere());
    EXPECT_FALSE(X().CursorInvisible());

    // The settings program's preview pane grows: the picture must reach the
    // strips beyond the first size, which the first viewport never covered.
    const Rect grown{kHost.X, kHost.Y, 600, 420};
    X().ResizeWindow(host, grown.Width, grown.Height);
    EXPECT_TRUE(WaitUntil([&] { return X().Info(*panel).value_or(WindowInfo{}).Bounds == grown; }))
        << "the panel kept its first size";
    EXPECT_TRUE(WaitForStarsInEach({Rect{grown.X, grown.Y, grown.Width, grown.Height - kHost.Height},
                                    Rect{grown.X + kHost.Width, grown.Y, grown.Width - kHost.Width, grown.Height}}))
        << "the picture did not fill the new size";

    X().DestroyWindow(host);
    ExpectQuietEnd(saver);
}

TEST_F(Skyshow, TakesTheDaemonsWindowUnlessAWindowIdIsGiven) {
    const Window daemonWindow = X().CreateHostWindow(Rect{0, 0, 500, 400});
    const Window preview = X().CreateHostWindow(Rect{600, 450, 300, 200});
    const Environment env{{"XSCREENSAVER_WINDOW", Hex(daemonWindow)}};
    Process& blanker = Start({"--root"}, env);
    ASSERT_TRUE(WaitForPanel(daemonWindow));
    Process& previewer = Start({"--root", "--delay", "10000", "--window-id", Decimal(preview)}, env);
    ASSERT_TRUE(WaitForPanel(preview));
    EXPECT_EQ(X().Children(daemonWindow).size(), 1U);
    EXPECT_GE(WaitForStars(Rect{600, 450, 300, 200}).CountStarPixels(Rect{600, 450, 300, 200}), 10);

    for (Process* saver : {&blanker, &previewer}) {
        saver->SignalGroup(SIGTERM);
        ExpectQuietEnd(*saver);
    }
}

TEST_F(Skyshow, OnTheDesktopItCoversTheScreenUnderEveryOtherWindow) {
    X().CreateHostWindow(kHost);
    Process& saver = Start({"--root"});
    EXPECT_TRUE(WaitForStarsInAllQuarters(kScreen)) << "stars never reached every part of the screen";
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(X().Grab(kHost).CountStarPixels(kHost), 0) << "the saver drew over another window";
        std::this_thread::sleep_for(200ms);
    }
    const auto topLevels = X().ViewableTopLevels();
    ASSERT_EQ(topLevels.size(), 2U);
    EXPECT_EQ(topLevels.front().Bounds, kScreen);  // the first child is the bottom one
    EXPECT_TRUE(topLevels.front().OverrideRedirect) << "a window manager would frame it";
    saver.SignalGroup(SIGTERM);
    ExpectQuietEnd(saver);
}

TEST_F(Skyshow, RunByHandItDrawsIntoASizeableWindowOfItsOwn) {
    Process& saver = Start({});
    const auto window = WaitForWindow(kTitle, kTestWindow.Width, kTestWindow.Height);
    ASSERT_TRUE(window) << "no " << ToString(kTestWindow) << " window titled " << kTitle;
    EXPECT_FALSE(window->OverrideRedirect);
    EXPECT_GE(WaitForStars(kTestWindow).CountStarPixels(kTestWindow), 10);
    X().SendDeleteWindow(window->Id);
    ExpectQuietEnd(saver);
}

class SkyshowSignal : public Skyshow, public ::testing::WithParamInterface<int> {};

TEST_P(SkyshowSignal, EndsWithinHalfASecondLeavingNothing) {
    Process& saver = Start({"--root"});
    ASSERT_GE(WaitForStars(kScreen).CountStarPixels(kScreen), 10);
    saver.SignalGroup(GetParam());
    ExpectQuietEnd(saver, 500ms);
    EXPECT_TRUE(WaitUntil([&] { return X().ViewableTopLevels().empty(); })) << "a window outlived the saver";
}

INSTANTIATE_TEST_SUITE_P(Signals, SkyshowSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGTERM ? "Term" : "Interrupt");
                         });

// A shell that runs a program in the background leaves it ignoring SIGINT.
TEST_F(Skyshow, AnInterruptEndsItAlsoWhenItsShellIgnoredInterrupts) {
    Process& saver = Launch({"-c", "trap '' INT; exec \"$0\" --root", SkyshowPath()}, {}, "sh");
    ASSERT_GE(WaitForStars(kScreen).CountStarPixels(kScreen), 10);
    saver.SignalGroup(SIGINT);
    ExpectQuietEnd(saver, 500ms);
}

struct BadStart {
    std::string Name;
    std::vector<std::string> Args;
    std::string DaemonWindow;  // "gone": a window that was just destroyed
    int Code;
    std::string Message;
};

void PrintTo(const BadStart& b, std::ostream* out) { *out << b.Name; }

class SkyshowBadStart : public Skyshow, public ::testing::WithParamInterface<BadStart> {};

TEST_P(SkyshowBadStart, SaysSoInOneLineAndEndsAtOnce) {
    BadStart bad = GetParam();
    const Window gone = X().CreateHostWindow(Rect{0, 0, 50, 50});
    X().DestroyWindow(gone);
    for (std::string& arg : bad.Args) {
        if (arg == "gone") arg = Hex(gone);
    }
    Environment env;
    if (!bad.DaemonWindow.empty()) {
        env["XSCREENSAVER_WINDOW"] = bad.DaemonWindow == "gone" ? Hex(gone) : bad.DaemonWindow;
    }
    Process& saver = Start(bad.Args, env);
    const auto status = ExpectExit(saver);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->Exited && status->Code == bad.Code) << "ended with " << *status;
    const auto said = ReadLines(saver.StderrPath());
    ASSERT_EQ(said.size(), 1U) << ReadFile(saver.StderrPath());
    EXPECT_NE(said[0].find(bad.Message), std::string::npos) << said[0];
    EXPECT_EQ(said[0].rfind("velora-skyshow: ", 0), 0U) << said[0];
    EXPECT_TRUE(X().ViewableTopLevels().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Starts, SkyshowBadStart,
    ::testing::Values(
        BadStart{"UnknownOption", {"--root", "--fps"}, "", 2, "unknown option \"--fps\"; usage: velora-skyshow"},
        BadStart{"DelayOutOfRange", {"--delay", "2000000"}, "", 2, "usage: velora-skyshow"},
        BadStart{"DestroyedWindowId", {"--window-id", "gone"}, "", 1, "names no window"},
        BadStart{"WindowIdOfNobody", {"--window-id", "0x1FFFFFF"}, "", 1, "--window-id 0x1FFFFFF names no window"},
        BadStart{"WindowIdNoNumber", {"--window-id", "preview"}, "", 1, "--window-id preview names no window"},
        BadStart{"DaemonWindowGone", {"--root"}, "gone", 1, "XSCREENSAVER_WINDOW=0x"}),
    ByName());

}  // namespace
}  // namespace velora::testing
