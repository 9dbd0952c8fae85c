#include "engine/VeloraPreview.h"

#include <gtest/gtest.h>

#include "FakeApplication.h"
#include "ui/MainForm.h"

namespace velora {
namespace {

using namespace platform;
using testing::FakeApplication;
using testing::FakeWindow;
using testing::Msg;

constexpr WindowHandle kHost = 0x2a00007;

class PreviewTest : public ::testing::Test {
protected:
    PreviewTest() { App.ForeignWindows[kHost] = Rect{0, 0, 152, 112}; }

    // Makes the host's window vanish at the given frame.
    void HostDiesAtFrame(int frame) {
        App.OnProcessMessages = [this, frame] {
            if (App.ProcessCalls == frame) App.ForeignWindows.erase(kHost);
        };
    }

    FakeApplication App;
};

TEST_F(PreviewTest, ANullHandleCreatesNothing) {
    RunPreview(App, 0);
    EXPECT_TRUE(App.Created.empty());
    EXPECT_TRUE(App.Binding.Calls.empty());
}

TEST_F(PreviewTest, ThePanelIsAVisibleBlackChildOverTheHostsClientArea) {
    TVeloraPreview preview(App, kHost);
    const FakeWindow& panel = *App.Find(preview.Panel()->Handle());
    EXPECT_EQ(panel.Request.Kind, WindowKind::Child);
    EXPECT_EQ(panel.Request.Parent, kHost);
    EXPECT_EQ(panel.ClientRect().Right, 152);
    EXPECT_EQ(panel.ClientRect().Bottom, 112);
    EXPECT_TRUE(panel.Request.HasBackground);
    EXPECT_EQ(panel.Request.BackgroundRgb, 0u);
    EXPECT_TRUE(panel.Shown);
    EXPECT_EQ(preview.Engine()->Wnd(), preview.Panel()->Handle());
    EXPECT_TRUE(preview.Engine()->DoubleBuffered());
    EXPECT_TRUE(preview.Engine()->SmallMode());
}

TEST_F(PreviewTest, FramesGoOnUntilTheHostsWindowGoesAway) {
    HostDiesAtFrame(5);
    RunPreview(App, kHost);
    EXPECT_EQ(App.Binding.Swaps, 5);
    EXPECT_TRUE(App.Windows.empty());
}

TEST_F(PreviewTest, AQuitMessageDoesNotEndThePreview) {
    App.OnProcessMessages = [this] {
        if (App.ProcessCalls == 1) App.Terminate();
        if (App.ProcessCalls == 4) App.ForeignWindows.erase(kHost);
    };
    RunPreview(App, kHost);
    EXPECT_EQ(App.Binding.Swaps, 4);
}

TEST_F(PreviewTest, ClosingThePanelEndsTheLoopAndDestroysThePanelWindow) {
    TVeloraPreview preview(App, kHost);
    const WindowHandle panel = preview.Panel()->Handle();
    App.OnProcessMessages = [&] {
        if (App.ProcessCalls == 3) App.Queue.push_back(Msg(panel, kWmClose));
    };
    preview.Run();
    EXPECT_EQ(App.Binding.Swaps, 3);
    EXPECT_TRUE(preview.Panel()->Closed());
    EXPECT_TRUE(App.Find(panel)->Destroyed);
}

TEST_F(PreviewTest, APanelDestroyedByAnotherProgramEndsTheLoop) {
    TVeloraPreview preview(App, kHost);
    const WindowHandle panel = preview.Panel()->Handle();
    App.OnProcessMessages = [&] { App.Queue.push_back(Msg(panel, kWmDestroy)); };
    preview.Run();
    EXPECT_EQ(App.Binding.Swaps, 1);
}

TEST_F(PreviewTest, InputReachesTheWindowsAndNeverEndsThePreview) {
    HostDiesAtFrame(3);
    App.OnProcessMessages = [this] {
        App.Queue.push_back(Msg(kHost, kWmKeyDown, 0x41));
        App.Queue.push_back(Msg(kHost, kWmLButtonDown));
        if (App.ProcessCalls == 3) App.ForeignWindows.erase(kHost);
    };
    RunPreview(App, kHost);
    EXPECT_EQ(App.Binding.Swaps, 3);
}

TEST_F(PreviewTest, ThePanelAndTheViewportKeepTheirFirstSize) {
    TVeloraPreview preview(App, kHost);
    const WindowHandle panel = preview.Panel()->Handle();
    App.OnProcessMessages = [&] {
        App.Binding.OuterRect = Rect{0, 0, 300, 200};
        App.Queue.push_back(Msg(panel, kWmSize, 0, MakePointParam(300, 200)));
        if (App.ProcessCalls == 3) App.ForeignWindows.erase(kHost);
    };
    preview.Run();
    EXPECT_FALSE(App.Find(panel)->Request.FollowParent);
    EXPECT_EQ(preview.Engine()->Width(), 1024.0f);
}

TEST_F(PreviewTest, AFollowedHostHasTheViewportAndBudgetRefittedToItsNewSize) {
    PreviewOptions options;
    options.SmallMode = false;
    options.FollowHost = true;
    TVeloraPreview preview(App, kHost, options);
    const WindowHandle panel = preview.Panel()->Handle();
    EXPECT_TRUE(App.Find(panel)->Request.FollowParent);
    EXPECT_FALSE(preview.Engine()->SmallMode());
    App.OnProcessMessages = [&] {
        if (App.ProcessCalls == 1) {
            App.Binding.OuterRect = Rect{0, 0, 300, 200};
            App.Queue.push_back(Msg(panel, kWmSize, 0, MakePointParam(300, 200)));
        }
        if (App.ProcessCalls == 3) App.ForeignWindows.erase(kHost);
    };
    preview.Run();
    EXPECT_EQ(preview.Engine()->Width(), 300.0f);
    EXPECT_EQ(preview.Engine()->Height(), 200.0f);
    EXPECT_EQ(preview.Engine()->Budget(), 120);
    EXPECT_EQ(App.Binding.Swaps, 3);
}

TEST_F(PreviewTest, AStopRequestEndsTheLoopAtTheNextTest) {
    volatile std::sig_atomic_t stop = 0;
    PreviewOptions options;
    options.StopRequest = &stop;
    options.FrameDelay = std::chrono::milliseconds(1);
    TVeloraPreview preview(App, kHost, options);
    App.OnProcessMessages = [&] {
        if (App.ProcessCalls == 4) stop = 1;
    };
    preview.Run();
    EXPECT_EQ(App.Binding.Swaps, 4);
    EXPECT_TRUE(App.IsWindow(kHost));
}

// Records whether the panel's window still existed when the engine gave its
// device context back.
class OrderProbe : public sim::VirtualWindow {
public:
    explicit OrderProbe(FakeApplication& app) : VirtualWindow(152, 112), FApp(app) {}
    void ReleaseDC(WindowHandle wnd, DeviceContext dc) override {
        PanelAliveAtRelease = FApp.Find(wnd) != nullptr;
        VirtualWindow::ReleaseDC(wnd, dc);
    }
    bool PanelAliveAtRelease = true;

private:
    FakeApplication& FApp;
};

class OrderedApplication : public FakeApplication {
public:
    OrderProbe Probe{*this};
    GraphicsBinding& Graphics() override { return Probe; }
};

TEST(PreviewTeardown, ThePanelGoesBeforeTheEngine) {
    OrderedApplication app;
    app.ForeignWindows[kHost] = Rect{0, 0, 152, 112};
    app.OnProcessMessages = [&] { app.ForeignWindows.erase(kHost); };
    RunPreview(app, kHost);
    EXPECT_EQ(app.Probe.Swaps, 1);
    EXPECT_EQ(app.Probe.Calls.back(), "ReleaseDC");
    EXPECT_FALSE(app.Probe.PanelAliveAtRelease);
}

TEST_F(PreviewTest, AnEngineFailureEndsThePreviewQuietlyAndRemovesThePanel) {
    App.Binding.FailGetDC = true;
    RunPreview(App, kHost);
    EXPECT_EQ(App.Created.size(), 1u);
    EXPECT_TRUE(App.Windows.empty());
    EXPECT_TRUE(App.Shown.empty());
    EXPECT_EQ(App.Binding.Swaps, 0);
}

}  // namespace
}  // namespace velora
