#include "ui/Program.h"

#include <gtest/gtest.h>

#include "FakeApplication.h"
#include "ui/Texts.h"
#include "CommandLineArgs.h"

namespace velora {
namespace {

using namespace platform;
using testing::FakeApplication;
using testing::Msg;

using testing::Args;

TEST(RunProgram, TheSettingsRequestShowsTheDialogAndEnds) {
    FakeApplication app;
    app.WhileModal = [&] { app.Queue.push_back(Msg(app.Only(WindowKind::Dialog)->Handle(), kWmClose)); };
    EXPECT_EQ(RunProgram(app, Args({"/c:4242"})), kExitSuccess);
    EXPECT_EQ(app.Title(), kApplicationTitle);
    EXPECT_EQ(app.ModalRuns, 1);
    ASSERT_EQ(app.Created.size(), 1u);
    EXPECT_EQ(app.Created[0].Kind, WindowKind::Dialog);
}

TEST(RunProgram, APreviewOfALiveWindowDrawsIntoItAndEnds) {
    FakeApplication app;
    app.ForeignWindows[4242] = Rect{0, 0, 150, 110};
    app.OnProcessMessages = [&] { app.ForeignWindows.erase(4242); };
    EXPECT_EQ(RunProgram(app, Args({"-p", "4242"})), kExitSuccess);
    ASSERT_EQ(app.Created.size(), 1u);
    EXPECT_EQ(app.Created[0].Parent, 4242u);
    EXPECT_EQ(app.Binding.Swaps, 1);
}

TEST(RunProgram, APreviewOfAVanishedWindowOpensTheTestWindow) {
    FakeApplication app;
    app.Queue.push_back(Msg(0x400001, kWmClose));  // the first window opened
    EXPECT_EQ(RunProgram(app, Args({"/p", "4242"})), kExitSuccess);
    ASSERT_EQ(app.Created.size(), 1u);
    EXPECT_EQ(app.Created[0].Kind, WindowKind::Sizeable);
    EXPECT_TRUE(app.Terminated());
    EXPECT_TRUE(app.Windows.empty());
}

TEST(RunProgram, TheSaverRunsTheLoopUntilInputClosesIt) {
    FakeApplication app;
    app.IdlePasses = 1000;
    app.Queue.push_back(Msg(0x400001, kWmKeyDown, 0x41));
    EXPECT_EQ(RunProgram(app, Args({"/s"})), kExitSuccess);
    EXPECT_EQ(app.Created[0].Kind, WindowKind::FullScreen);
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(app.Binding.Calls.back(), "ReleaseDC");
}

TEST(RunProgram, AnEngineFailureShowsTheMessageAndFails) {
    FakeApplication app;
    app.Binding.FailGetDC = true;
    EXPECT_EQ(RunProgram(app, Args({"-pdebug"})), kExitFailure);
    EXPECT_EQ(app.Shown, std::vector<std::string>{"GetDC() failed"});
    EXPECT_EQ(app.IdleCalls, 0);  // the loop never ran
}

}  // namespace
}  // namespace velora
