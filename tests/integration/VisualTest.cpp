// Servers whose default visual cannot serve OpenGL. Xvfb at depth 15 offers
// GLX only on its 32-bit visuals; at depth 8 it offers no GLX visual at all.
#include "Layout.h"
#include "harness/Session.h"

namespace velora::testing {
namespace {

// Xvfb takes the last -screen 0 it is given.
class DefaultVisualWithoutOpenGl : public XSessionTest {
protected:
    std::vector<std::string> ServerArguments() const override { return {"-screen", "0", "1024x768x15"}; }
};

TEST_F(DefaultVisualWithoutOpenGl, BothProgramsDrawThroughAnotherVisual) {
    Process& velora = Launch({});
    const auto window = WaitForWindow(kTitle, kTestWindow.Width, kTestWindow.Height);
    ASSERT_TRUE(window) << "no test window";
    EXPECT_TRUE(WaitForStarsInAllQuarters(kTestWindow)) << "stars never reached every part of the test window";
    EXPECT_TRUE(velora.Running());
    velora.Kill();

    Process& saver = Launch({"--root"}, {}, SkyshowPath());
    EXPECT_TRUE(WaitForStarsInAllQuarters(kScreen)) << "stars never reached every part of the screen";
    EXPECT_TRUE(saver.Running()) << ReadFile(saver.StderrPath());
}

class NoVisualWithOpenGl : public XSessionTest {
protected:
    std::vector<std::string> ServerArguments() const override { return {"-screen", "0", "1024x768x8"}; }
};

TEST_F(NoVisualWithOpenGl, ThePlatformsErrorIsShownAsBefore) {
    constexpr char kPlatformError[] = "A call to an OS function failed";
    Process& velora = Launch({});
    const auto box = WaitForWindowNamed("Velora Show");
    ASSERT_TRUE(box) << "no message box";
    const Rect& r = box->Bounds;
    Xdotool({"mousemove", std::to_string(r.X + r.Width / 2), std::to_string(r.Y + r.Height / 2), "key", "Return"});
    const auto status = ExpectExit(velora);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->Exited && status->Code == 1) << "ended with " << *status;
    EXPECT_NE(ReadFile(velora.StderrPath()).find(kPlatformError), std::string::npos);

    Process& saver = Launch({"--root"}, {}, SkyshowPath());
    const auto saverStatus = ExpectExit(saver);
    ASSERT_TRUE(saverStatus);
    EXPECT_TRUE(saverStatus->Exited && saverStatus->Code == 1) << "ended with " << *saverStatus;
    EXPECT_EQ(ReadFile(saver.StderrPath()), std::string("velora-skyshow: ") + kPlatformError + "\n");
}

}  // namespace
}  // namespace velora::testing
