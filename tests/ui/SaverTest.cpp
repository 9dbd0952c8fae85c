#include "ui/Saver.h"

#include <gtest/gtest.h>

#include <sstream>

#include "FakeApplication.h"
#include "ui/Program.h"

namespace velora {
namespace {

using namespace platform;
using testing::FakeApplication;

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

TEST_F(SaverTest, TheEnginesAreFullSizeFollowTheHostAndPauseAsAsked) {
    SaverOptions options;
    options.DelayMicroseconds = 10000;
    const PreviewOptions preview = SaverPreviewOptions(options, &Stop);
    EXPECT_FALSE(preview.SmallMode);
    EXPECT_TRUE(preview.FollowHost);
    EXPECT_EQ(preview.FrameDelay, std::chrono::milliseconds(10));
    EXPECT_EQ(preview.StopRequest, &Stop);
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
