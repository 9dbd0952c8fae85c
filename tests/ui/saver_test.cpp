#include "ui/Saver.h"

#include <gtest/gtest.h>

#include <sstream>

#include "FakeApplication.h"
#include "ui/Program.h"
#include "ui/Texts.h"

namespace velora {
namespace {

using namespace platform;
using testing::FakeApplication;
using testing::FakeWindow;

constexpr WindowHandle kDaemonWindow = 0x600008;

class SaverTest : public ::testing::Test {
protected:
    SaverTest() { App.ForeignWindows[kDaemonWindow] = Rect{0, 0, 1024, 768}; }

    int Run(const SaverOptions& options) { return RunSaver(App, options, Errors, &Stop); }

    static SaverOptions OnWindow(WindowHandle wnd) {
        SaverOptions options;
        options.Host = SaverHost::Window;
        options.Window = wnd;
        options.WindowSource = "--window-id " + std::to_string(wnd);
        return options;
    }

    // The window the panel went into.
    WindowHandle PanelParent() const {
        for (const WindowSpec& request : App.Created)
            if (request.Kind == WindowKind::Child) return request.Parent;
        return 0;
    }

    FakeApplication App;
    std::ostringstream Errors;
    volatile std::sig_atomic_t Stop = 0;
};

TEST_F(SaverTest, DrawsIntoAFollowingPanelOverTheDaemonsWindowUntilItGoes) {
    App.OnProcessMessages = [this] {
        if (App.ProcessCalls == 3) App.ForeignWindows.erase(kDaemonWindow);
    };
    EXPECT_EQ(Run(OnWindow(kDaemonWindow)), kExitSuccess);
    ASSERT_EQ(App.Created.size(), 1u);
    EXPECT_EQ(App.Created[0].Kind, WindowKind::Child);
    EXPECT_EQ(App.Created[0].Parent, kDaemonWindow);
    EXPECT_TRUE(App.Created[0].FollowParent);
    EXPECT_EQ(App.Created[0].OpenGl, ContextOption::DoubleBuffered);
    EXPECT_EQ(App.Binding.Swaps, 3);
    EXPECT_TRUE(App.Windows.empty());
    EXPECT_TRUE(Errors.str().empty());
}

TEST_F(SaverTest, AStopRequestEndsItWithSuccessAndNothingLeft) {
    App.OnProcessMessages = [this] {
        if (App.ProcessCalls == 2) Stop = 1;
    };
    EXPECT_EQ(Run(OnWindow(kDaemonWindow)), kExitSuccess);
    EXPECT_EQ(App.Binding.Swaps, 2);
    EXPECT_TRUE(App.Windows.empty());
    EXPECT_EQ(App.Binding.Calls.back(), "ReleaseDC");
}

TEST_F(SaverTest, TheEnginesAreFullSizeFollowTheHostAndPauseAsAsked) {
    SaverOptions options;
    options.DelayMicroseconds = 10000;
    const PreviewOptions preview = SaverPreviewOptions(options, &Stop);
    EXPECT_FALSE(preview.SmallMode);
    EXPECT_TRUE(preview.FollowHost);
    EXPECT_EQ(preview.FrameDelay, std::chrono::milliseconds(10));
    EXPECT_EQ(preview.StopRequest, &Stop);
}

TEST_F(SaverTest, OnTheDesktopThePanelGoesIntoTheRootWindow) {
    App.ForeignWindows[App.Desktop] = App.Screen;
    App.OnProcessMessages = [this] { Stop = 1; };
    SaverOptions options;
    options.Host = SaverHost::Desktop;
    EXPECT_EQ(Run(options), kExitSuccess);
    EXPECT_EQ(PanelParent(), App.Desktop);
    EXPECT_EQ(App.Created.size(), 1u);
}

TEST_F(SaverTest, RunByHandItDrawsIntoASizeableWindowOfItsOwnUntilThatCloses) {
    App.OnProcessMessages = [this] {
        if (App.ProcessCalls == 2) App.Only(WindowKind::Sizeable)->Destroy();
    };
    EXPECT_EQ(Run(SaverOptions{}), kExitSuccess);
    ASSERT_EQ(App.Created.size(), 2u);
    const WindowSpec& own = App.Created[0];
    EXPECT_EQ(own.Kind, WindowKind::Sizeable);
    EXPECT_EQ(own.Caption, kFormCaption);
    EXPECT_EQ(own.Bounds.Left, 100);
    EXPECT_EQ(own.Bounds.Right, 924);
    EXPECT_EQ(own.Bounds.Bottom, 640);
    EXPECT_EQ(App.Created[1].Kind, WindowKind::Child);
    EXPECT_TRUE(App.Created[1].FollowParent);
    EXPECT_EQ(App.Binding.Swaps, 2);
    EXPECT_TRUE(App.Windows.empty());
}

TEST_F(SaverTest, ANamedWindowThatDoesNotExistIsOneLineAndFailure) {
    SaverOptions options = OnWindow(0x1234567);
    options.WindowSource = "XSCREENSAVER_WINDOW=0x1234567";
    EXPECT_EQ(Run(options), kExitFailure);
    EXPECT_EQ(Errors.str(), "velora-skyshow: XSCREENSAVER_WINDOW=0x1234567 names no window\n");
    EXPECT_TRUE(App.Created.empty());
    EXPECT_EQ(Run(OnWindow(0)), kExitFailure);
}

TEST_F(SaverTest, AnEngineFailureIsOneLineAndFailureWithNothingLeft) {
    App.Binding.ContextErrorCode = 2000;
    EXPECT_EQ(Run(OnWindow(kDaemonWindow)), kExitFailure);
    EXPECT_EQ(Errors.str(), "velora-skyshow: System Error.  Code: 2000. The pixel format is invalid.\n");
    EXPECT_TRUE(App.Windows.empty());
    EXPECT_TRUE(App.Shown.empty());
}

}  // namespace
}  // namespace velora
