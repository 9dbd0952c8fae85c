// velora-skyshow, the screensaver daemon's saver, on a private Xvfb that
// plays the daemon's part: the test makes the windows and sends the signals.
#include <signal.h>

#include <cstdio>
#include <thread>

#include "Layout.h"
#include "harness/Session.h"

namespace itest {
namespace {

class Skyshow : public XSessionTest {
 protected:
  Process& start(const std::vector<std::string>& args, const Environment& env = {}) {
    return launch(args, env, skyshowPath());
  }

  // The viewable window the saver put into `host`.
  std::optional<Window> waitForPanel(Window host) {
    std::optional<Window> panel;
    waitUntil([&] {
      const auto kids = x().children(host);
      if (kids.size() != 1) return false;
      const auto state = x().info(kids.front());
      if (state && state->viewable) panel = kids.front();
      return panel.has_value();
    });
    return panel;
  }

  void expectQuietEnd(Process& saver, std::chrono::milliseconds timeout = kPatience) {
    const auto status = expectExit(saver, timeout);
    ASSERT_TRUE(status);
    EXPECT_TRUE((status->exited && status->code == 0) || (!status->exited && status->code == SIGTERM))
        << "ended with " << *status;
    EXPECT_EQ(readFile(saver.stderrPath()), "");
  }
};

TEST_F(Skyshow, DrawsIntoAChildThatFollowsTheHostWindowAndTakesNothingElse) {
  const Window host = x().createHostWindow(kHost);
  Process& saver = start({"--window-id", hex(host)});
  const auto panel = waitForPanel(host);
  ASSERT_TRUE(panel) << "no panel appeared inside the host window";

  EXPECT_EQ(x().info(*panel).value_or(WindowInfo{}).rect, kHost);
  EXPECT_TRUE(waitForStarsInAllQuarters(kHost)) << "stars never reached every part of the host window";
  EXPECT_EQ(x().grabScreen().countStarPixelsOutside(kHost), 0);
  EXPECT_EQ(x().viewableTopLevels().size(), 1U) << "the saver showed a window of its own";
  EXPECT_FALSE(x().pointerGrabbedElsewhere());
  EXPECT_FALSE(x().keyboardGrabbedElsewhere());
  EXPECT_FALSE(x().cursorInvisible());

  // The settings program's preview pane grows: the picture must reach the
  // strips beyond the first size, which the first viewport never covered.
  const Rect grown{kHost.x, kHost.y, 600, 420};
  x().resizeWindow(host, grown.width, grown.height);
  EXPECT_TRUE(waitUntil([&] { return x().info(*panel).value_or(WindowInfo{}).rect == grown; }))
      << "the panel kept its first size";
  EXPECT_TRUE(waitForStarsInEach({Rect{grown.x, grown.y, grown.width, grown.height - kHost.height},
                                  Rect{grown.x + kHost.width, grown.y, grown.width - kHost.width, grown.height}}))
      << "the picture did not fill the new size";

  x().destroyWindow(host);
  expectQuietEnd(saver);
}

TEST_F(Skyshow, TakesTheDaemonsWindowUnlessAWindowIdIsGiven) {
  const Window daemonWindow = x().createHostWindow(Rect{0, 0, 500, 400});
  const Window preview = x().createHostWindow(Rect{600, 450, 300, 200});
  const Environment env{{"XSCREENSAVER_WINDOW", hex(daemonWindow)}};
  Process& blanker = start({"--root"}, env);
  ASSERT_TRUE(waitForPanel(daemonWindow));
  Process& previewer = start({"--root", "--delay", "10000", "--window-id", decimal(preview)}, env);
  ASSERT_TRUE(waitForPanel(preview));
  EXPECT_EQ(x().children(daemonWindow).size(), 1U);
  EXPECT_GE(waitForStars(Rect{600, 450, 300, 200}).countStarPixels(Rect{600, 450, 300, 200}), 10);

  for (Process* saver : {&blanker, &previewer}) {
    saver->signalGroup(SIGTERM);
    expectQuietEnd(*saver);
  }
}

TEST_F(Skyshow, OnTheDesktopItCoversTheScreenUnderEveryOtherWindow) {
  x().createHostWindow(kHost);
  Process& saver = start({"--root"});
  EXPECT_TRUE(waitForStarsInAllQuarters(kScreen)) << "stars never reached every part of the screen";
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(x().grab(kHost).countStarPixels(kHost), 0) << "the saver drew over another window";
    std::this_thread::sleep_for(200ms);
  }
  const auto topLevels = x().viewableTopLevels();
  ASSERT_EQ(topLevels.size(), 2U);
  EXPECT_EQ(topLevels.front().rect, kScreen);  // the first child is the bottom one
  EXPECT_TRUE(topLevels.front().overrideRedirect) << "a window manager would frame it";
  saver.signalGroup(SIGTERM);
  expectQuietEnd(saver);
}

TEST_F(Skyshow, RunByHandItDrawsIntoASizeableWindowOfItsOwn) {
  Process& saver = start({});
  const auto window = waitForWindow(kTitle, kTestWindow.width, kTestWindow.height);
  ASSERT_TRUE(window) << "no " << toString(kTestWindow) << " window titled " << kTitle;
  EXPECT_FALSE(window->overrideRedirect);
  EXPECT_GE(waitForStars(kTestWindow).countStarPixels(kTestWindow), 10);
  x().sendDeleteWindow(window->id);
  expectQuietEnd(saver);
}

class SkyshowSignal : public Skyshow, public ::testing::WithParamInterface<int> {};

TEST_P(SkyshowSignal, EndsWithinHalfASecondLeavingNothing) {
  Process& saver = start({"--root"});
  ASSERT_GE(waitForStars(kScreen).countStarPixels(kScreen), 10);
  saver.signalGroup(GetParam());
  expectQuietEnd(saver, 500ms);
  EXPECT_TRUE(waitUntil([&] { return x().viewableTopLevels().empty(); })) << "a window outlived the saver";
}

INSTANTIATE_TEST_SUITE_P(Signals, SkyshowSignal, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == SIGTERM ? "Term" : "Interrupt");
                         });

// A shell that runs a program in the background leaves it ignoring SIGINT.
TEST_F(Skyshow, AnInterruptEndsItAlsoWhenItsShellIgnoredInterrupts) {
  Process& saver = launch({"-c", "trap '' INT; exec \"$0\" --root", skyshowPath()}, {}, "sh");
  ASSERT_GE(waitForStars(kScreen).countStarPixels(kScreen), 10);
  saver.signalGroup(SIGINT);
  expectQuietEnd(saver, 500ms);
}

struct BadStart {
  std::string name;
  std::vector<std::string> args;
  std::string daemonWindow;  // "gone": a window that was just destroyed
  int code;
  std::string message;
};

void PrintTo(const BadStart& b, std::ostream* out) { *out << b.name; }

class SkyshowBadStart : public Skyshow, public ::testing::WithParamInterface<BadStart> {};

TEST_P(SkyshowBadStart, SaysSoInOneLineAndEndsAtOnce) {
  BadStart bad = GetParam();
  const Window gone = x().createHostWindow(Rect{0, 0, 50, 50});
  x().destroyWindow(gone);
  for (std::string& arg : bad.args) {
    if (arg == "gone") arg = hex(gone);
  }
  Environment env;
  if (!bad.daemonWindow.empty()) {
    env["XSCREENSAVER_WINDOW"] = bad.daemonWindow == "gone" ? hex(gone) : bad.daemonWindow;
  }
  Process& saver = start(bad.args, env);
  const auto status = expectExit(saver);
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->exited && status->code == bad.code) << "ended with " << *status;
  const auto said = readLines(saver.stderrPath());
  ASSERT_EQ(said.size(), 1U) << readFile(saver.stderrPath());
  EXPECT_NE(said[0].find(bad.message), std::string::npos) << said[0];
  EXPECT_EQ(said[0].rfind("velora-skyshow: ", 0), 0U) << said[0];
  EXPECT_TRUE(x().viewableTopLevels().empty());
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
}  // namespace itest
