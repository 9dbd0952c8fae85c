#include "ui/MainForm.h"

#include <gtest/gtest.h>

#include "FakeApplication.h"
#include "base/Errors.h"
#include "ui/Texts.h"
#include "CommandLineArgs.h"

namespace velora {
namespace {

using namespace platform;
using testing::FakeApplication;
using testing::FakeWindow;
using testing::Msg;

using testing::Args;

class MainFormTest : public ::testing::Test {
protected:
    FakeApplication App;

    FakeWindow& WindowOf(const TfrmMainForm& form) { return *App.Find(form.Handle()); }
    void Idle() {
        bool done = true;
        App.Idle(done);
        EXPECT_FALSE(done);  // the loop must never wait while the form lives
    }
};

TEST_F(MainFormTest, TheSaverCoversTheVirtualScreenWithATopmostBorderlessWindow) {
    App.Screen = Rect{0, 0, 1600, 900};
    TfrmMainForm form(App, Args({"/s"}));
    const FakeWindow& window = WindowOf(form);
    EXPECT_EQ(window.Request.Kind, WindowKind::FullScreen);
    EXPECT_EQ(window.Request.Bounds.Right, 1600);
    EXPECT_EQ(window.Request.Bounds.Bottom, 900);
    EXPECT_EQ(window.Request.Caption, kFormCaption);
    ASSERT_TRUE(form.HasEngine());
    EXPECT_EQ(form.Engine()->Wnd(), form.Handle());
    EXPECT_TRUE(form.Engine()->DoubleBuffered());
    EXPECT_FALSE(form.Engine()->SmallMode());
    EXPECT_FALSE(form.Running());
    EXPECT_FALSE(window.Shown);
}

TEST_F(MainFormTest, TheLonePdebugGivesTheSmallPopupWithASmallModeEngine) {
    TfrmMainForm form(App, Args({"-pdebug"}));
    const FakeWindow& window = WindowOf(form);
    EXPECT_EQ(window.Request.Kind, WindowKind::Popup);
    EXPECT_EQ(window.ClientRect().Right, 180);
    EXPECT_EQ(window.ClientRect().Bottom, 160);
    EXPECT_TRUE(form.Engine()->SmallMode());
}

TEST_F(MainFormTest, AnyOtherCommandLineGivesTheSizeableTestWindow) {
    TfrmMainForm form(App, Args({"/x"}));
    const FakeWindow& window = WindowOf(form);
    EXPECT_EQ(window.Request.Kind, WindowKind::Sizeable);
    EXPECT_EQ(window.Request.MinWidth, 400);
    EXPECT_EQ(window.Request.MinHeight, 300);
    EXPECT_EQ(window.Request.Bounds.Left, 100);
    EXPECT_FALSE(form.Engine()->SmallMode());
}

TEST_F(MainFormTest, ShowingHidesTheCursorOnlyInTheBorderlessLayoutsAndStartsTheRun) {
    TfrmMainForm saver(App, Args({"/s"}));
    saver.Show();
    EXPECT_TRUE(WindowOf(saver).Shown);
    EXPECT_EQ(WindowOf(saver).Cursor, PointerShape::Hidden);
    EXPECT_TRUE(saver.Running());

    FakeApplication other;
    TfrmMainForm test(other, Args({}));
    test.Show();
    EXPECT_EQ(other.Find(test.Handle())->Cursor, PointerShape::Arrow);
    EXPECT_TRUE(test.Running());
}

TEST_F(MainFormTest, IdlePassesDrawOnlyWhileRunning) {
    TfrmMainForm form(App, Args({"/s"}));
    Idle();
    EXPECT_EQ(App.Binding.Swaps, 0);
    form.Show();
    Idle();
    Idle();
    EXPECT_EQ(App.Binding.Swaps, 2);
}

TEST_F(MainFormTest, PauseStopsTheFramesAndResetsTheClockBothWays) {
    TfrmMainForm form(App, Args({"/s"}));
    form.Show();
    Idle();
    EXPECT_NE(form.Engine()->LastFrameTick(), 0u);

    EXPECT_TRUE(App.Hooked(Msg(form.Handle(), kWmKeyDown, kVkPause)));
    EXPECT_FALSE(form.Running());
    EXPECT_EQ(form.Engine()->LastFrameTick(), 0u);
    Idle();
    EXPECT_EQ(App.Binding.Swaps, 1);

    EXPECT_TRUE(App.Hooked(Msg(form.Handle(), kWmKeyDown, kVkPause)));
    EXPECT_TRUE(form.Running());
    Idle();
    EXPECT_EQ(App.Binding.Swaps, 2);
    EXPECT_FALSE(App.Terminated());
}

TEST_F(MainFormTest, AKeyClosesTheBorderlessLayouts) {
    for (const char* arg : {"/s", "-pdebug"}) {
        FakeApplication app;
        TfrmMainForm form(app, Args({arg}));
        form.Show();
        EXPECT_TRUE(app.Hooked(Msg(form.Handle(), kWmKeyDown, 0x20)));
        EXPECT_FALSE(form.Running()) << arg;
        EXPECT_TRUE(app.Terminated()) << arg;
    }
}

TEST_F(MainFormTest, TwentyQuickMovesCloseTheSaverThroughTheHook) {
    TfrmMainForm form(App, Args({"/s"}));
    form.Show();
    for (int i = 0; i < 19; ++i) {
        App.Ticks.Now += 30;
        EXPECT_TRUE(App.Hooked(Msg(form.Handle(), kWmMouseMove)));
    }
    EXPECT_FALSE(App.Terminated());
    App.Ticks.Now += 30;
    App.Hooked(Msg(form.Handle(), kWmMouseMove));
    EXPECT_TRUE(App.Terminated());
}

// The full-screen saver alone: the small window and the test window are
// windows among others.
TEST_F(MainFormTest, TheSaverEndsWhenActivationGoesElsewhereAndRefusesTheSystemsSaver) {
    for (const char* arg : {"/s", "-pdebug", "/x"}) {
        const bool saver = arg[1] == 's';
        FakeApplication app;
        TfrmMainForm form(app, Args({arg}));
        form.Show();
        const platform::WindowProc& proc = app.Find(form.Handle())->Proc;
        // The system keeps the low four bits of the command for itself.
        EXPECT_EQ(proc(Msg(form.Handle(), kWmSysCommand, kScScreenSave | 2)), saver) << arg;
        EXPECT_FALSE(proc(Msg(form.Handle(), kWmSysCommand, 0xF060))) << arg;  // SC_CLOSE
        app.Deliver(Msg(form.Handle(), kWmActivateApp, 1));
        EXPECT_FALSE(app.Terminated()) << arg;
        app.Deliver(Msg(form.Handle(), kWmActivateApp, 0));
        EXPECT_EQ(app.Terminated(), saver) << arg;
        EXPECT_EQ(form.Running(), !saver) << arg;
    }
}

TEST_F(MainFormTest, TheSizeableWindowLetsEveryMessagePass) {
    TfrmMainForm form(App, Args({}));
    form.Show();
    for (int i = 0; i < 40; ++i) EXPECT_FALSE(App.Hooked(Msg(form.Handle(), kWmMouseMove)));
    for (std::uint32_t message : {kWmKeyDown, kWmRButtonDown, kWmMButtonDown, kWmMouseWheel})
        EXPECT_FALSE(App.Hooked(Msg(form.Handle(), message, 0x41)));
    EXPECT_FALSE(App.Hooked(Msg(form.Handle(), kWmKeyDown, kVkPause)));
    EXPECT_TRUE(form.Running());
    EXPECT_FALSE(App.Terminated());
}

TEST_F(MainFormTest, OnlyTheSizeableWindowFitsTheEngineToANewSize) {
    TfrmMainForm test(App, Args({}));
    App.Binding.OuterRect = Rect{0, 0, 640, 480};
    App.Deliver(Msg(test.Handle(), kWmSize));
    EXPECT_EQ(test.Engine()->Width(), 640.0f);
    EXPECT_EQ(test.Engine()->Budget(), 614);

    FakeApplication other;
    TfrmMainForm saver(other, Args({"/s"}));
    other.Binding.OuterRect = Rect{0, 0, 640, 480};
    other.Deliver(Msg(saver.Handle(), kWmSize));
    EXPECT_EQ(saver.Engine()->Width(), 1024.0f);
}

TEST_F(MainFormTest, AClickInTheTestWindowShowsTheSettingsWhileFramesGoOn) {
    TfrmMainForm form(App, Args({}));
    form.Show();
    bool dialogUp = false;
    App.WhileModal = [&] { dialogUp = App.Only(WindowKind::Dialog) != nullptr; };
    const int swaps = App.Binding.Swaps;
    App.Deliver(Msg(form.Handle(), kWmLButtonDown, 0, MakePointParam(5, 5)));
    App.Deliver(Msg(form.Handle(), kWmLButtonUp, 0, MakePointParam(5, 5)));
    EXPECT_EQ(App.ModalRuns, 1);
    EXPECT_TRUE(dialogUp);
    // The modal loop's idle passes went on drawing the main form's frames.
    EXPECT_EQ(App.Binding.Swaps - swaps, App.IdlePasses);
    EXPECT_EQ(App.Only(WindowKind::Dialog), nullptr);  // freed after the modal run
    EXPECT_FALSE(App.Terminated());
}

TEST_F(MainFormTest, AButtonReleasedOutsideTheClientAreaIsNoClick) {
    TfrmMainForm form(App, Args({}));
    App.Deliver(Msg(form.Handle(), kWmLButtonDown, 0, MakePointParam(5, 5)));
    App.Deliver(Msg(form.Handle(), kWmLButtonUp, 0, MakePointParam(-1, 5)));
    App.Deliver(Msg(form.Handle(), kWmLButtonUp, 0, MakePointParam(5, 5)));  // no press before it
    EXPECT_EQ(App.ModalRuns, 0);
}

TEST_F(MainFormTest, ABorderlessWindowNeverShowsTheSettings) {
    TfrmMainForm form(App, Args({"-pdebug"}));
    App.Deliver(Msg(form.Handle(), kWmLButtonUp, 0, MakePointParam(5, 5)));
    App.Deliver(Msg(form.Handle(), kWmLButtonDown, 0, MakePointParam(5, 5)));
    EXPECT_EQ(App.ModalRuns, 0);
}

TEST_F(MainFormTest, AnEngineFailureShowsItsMessageAndEndsTheRunUnshown) {
    App.Binding.FailInitOpenGL = true;
    TfrmMainForm form(App, Args({"/s"}));
    EXPECT_FALSE(form.HasEngine());
    ASSERT_EQ(App.Shown.size(), 1u);
    EXPECT_EQ(App.Shown[0], velora::msg::kInitOpenGlFailed);
    EXPECT_TRUE(App.Terminated());
    EXPECT_FALSE(WindowOf(form).Shown);
    // The device context taken before the failure was given back.
    EXPECT_EQ(App.Binding.Calls.back(), "ReleaseDC");
}

TEST_F(MainFormTest, APlatformErrorTextReachesTheMessageBoxUnchanged) {
    App.Binding.ContextErrorCode = 2000;
    TfrmMainForm form(App, Args({"-pdebug"}));
    ASSERT_EQ(App.Shown.size(), 1u);
    EXPECT_EQ(App.Shown[0], "System Error.  Code: 2000.\nThe pixel format is invalid.");
}

TEST_F(MainFormTest, ClosingEndsTheLoopAndDestructionGivesTheContextsBack) {
    {
        TfrmMainForm form(App, Args({}));
        form.Show();
        App.Deliver(Msg(form.Handle(), kWmClose));
        EXPECT_TRUE(App.Terminated());
        EXPECT_FALSE(WindowOf(form).Destroyed);  // the form goes with the program, not before
    }
    EXPECT_EQ(App.Binding.Calls.back(), "ReleaseDC");
    EXPECT_TRUE(App.Windows.empty());
    EXPECT_FALSE(App.Hook);  // nothing calls into the freed form
    EXPECT_FALSE(App.Idle);
}

TEST_F(MainFormTest, AWindowDestroyedByAnotherProgramEndsTheRun) {
    TfrmMainForm form(App, Args({"/s"}));
    form.Show();
    App.Deliver(Msg(form.Handle(), kWmDestroy));
    EXPECT_FALSE(form.Running());
    EXPECT_TRUE(App.Terminated());
}

}  // namespace
}  // namespace velora
