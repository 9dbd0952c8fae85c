// Servers whose default visual cannot serve OpenGL. Xvfb at depth 15 offers
// GLX only on its 32-bit visuals; at depth 8 it offers no GLX visual at all.
#include "Layout.h"
#include "harness/Session.h"

namespace itest {
namespace {

// Xvfb takes the last -screen 0 it is given.
class DefaultVisualWithoutOpenGl : public XSessionTest {
 protected:
  std::vector<std::string> serverArguments() const override { return {"-screen", "0", "1024x768x15"}; }
};

TEST_F(DefaultVisualWithoutOpenGl, BothProgramsDrawThroughAnotherVisual) {
  Process& velora = launch({});
  const auto window = waitForWindow(kTitle, kTestWindow.width, kTestWindow.height);
  ASSERT_TRUE(window) << "no test window";
  EXPECT_TRUE(waitForStarsInAllQuarters(kTestWindow)) << "stars never reached every part of the test window";
  EXPECT_TRUE(velora.running());
  velora.kill();

  Process& saver = launch({"--root"}, {}, skyshowPath());
  EXPECT_TRUE(waitForStarsInAllQuarters(kScreen)) << "stars never reached every part of the screen";
  EXPECT_TRUE(saver.running()) << readFile(saver.stderrPath());
}

class NoVisualWithOpenGl : public XSessionTest {
 protected:
  std::vector<std::string> serverArguments() const override { return {"-screen", "0", "1024x768x8"}; }
};

TEST_F(NoVisualWithOpenGl, ThePlatformsErrorIsShownAsBefore) {
  constexpr char kPlatformError[] = "A call to an OS function failed";
  Process& velora = launch({});
  const auto box = waitForWindowNamed("Velora Show");
  ASSERT_TRUE(box) << "no message box";
  const Rect& r = box->rect;
  xdotool({"mousemove", std::to_string(r.x + r.width / 2), std::to_string(r.y + r.height / 2), "key", "Return"});
  const auto status = expectExit(velora);
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->exited && status->code == 1) << "ended with " << *status;
  EXPECT_NE(readFile(velora.stderrPath()).find(kPlatformError), std::string::npos);

  Process& saver = launch({"--root"}, {}, skyshowPath());
  const auto saverStatus = expectExit(saver);
  ASSERT_TRUE(saverStatus);
  EXPECT_TRUE(saverStatus->exited && saverStatus->code == 1) << "ended with " << *saverStatus;
  EXPECT_EQ(readFile(saver.stderrPath()), std::string("velora-skyshow: ") + kPlatformError + "\n");
}

}  // namespace
}  // namespace itest
