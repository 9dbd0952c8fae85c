#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "DaemonFixture.h"
#include "Layout.h"

namespace velora::testing {
namespace {

using std::chrono::steady_clock;

TEST_F(DaemonTest, BlanksWithStarsPastTheReRaiseAndLeavesNothingWhenTheUserReturns) {
    WriteSettings(Saver() + " --root");
    Process& daemon = Start(AsUser({"xscreensaver", "--no-splash", "--verbose"}));
    ASSERT_TRUE(WaitForDaemon()) << "the daemon did not start: " << ReadFile(daemon.StderrPath());

    ASSERT_EQ(RunTool({"xscreensaver-command", "-activate"}), 0);
    const auto activated = steady_clock::now();
    EXPECT_TRUE(WaitForStarsInAllQuarters(kScreen)) << "stars never reached every part of the screen";
    const auto savers = SaverProcesses();
    ASSERT_EQ(savers.size(), 1U) << ReadFile(daemon.StderrPath());

    // The daemon raises its own window again 27 to 57 s after activating: the
    // stars must stay in front all along.
    while (steady_clock::now() < activated + 70s) {
        EXPECT_GE(WaitForStars(kScreen, 10, 3s).CountStarPixels(kScreen), 10)
            << "no stars " << std::chrono::duration_cast<std::chrono::seconds>(steady_clock::now() - activated).count()
            << " s after activation";
        std::this_thread::sleep_for(5s);
    }
    EXPECT_TRUE(WaitForStarsInAllQuarters(kScreen)) << "stars no longer reach every part of the screen";
    EXPECT_TRUE(WaitForChange(X().GrabScreen())) << "the picture stands still";
    EXPECT_EQ(SaverProcesses(), savers) << "the saver was started again";

    ASSERT_EQ(RunTool({"xscreensaver-command", "-deactivate"}), 0);
    // No time limit of its own: a loaded machine under the sanitizers takes
    // more than a second to end a saver.
    EXPECT_TRUE(WaitUntil([&] { return SaverProcesses().empty(); })) << "the saver outlived the deactivation";
    EXPECT_TRUE(WaitUntil([&] { return X().GrabScreen().CountStarPixels(kScreen) == 0; }))
        << "stars stay on the screen";

    ASSERT_EQ(RunTool({"xscreensaver-command", "-exit"}), 0);
    ExpectExit(daemon);
    EXPECT_TRUE(WaitUntil([&] { return HelpersGone(); })) << "the daemon's helpers outlived it";
}

TEST_F(DaemonTest, TheSettingsProgramTakesTheDescriptionWithoutWarningsAndPreviewsTheSaver) {
    if (RunTool({"unshare", "-m", "true"}) != 0) GTEST_SKIP() << "no private mount namespace here (unshare -m)";
    WriteSettings(Saver() + " --root");
    Process& settings = StartSettingsProgram();
    const auto log = [&] { return ReadFile(settings.StderrPath()); };
    ASSERT_TRUE(WaitUntil([&] { return log().find("forked") != std::string::npos; })) << log();

    EXPECT_NE(log().find("reading /usr/share/xscreensaver/config/velora-skyshow.xml"), std::string::npos) << log();
    EXPECT_EQ(log().find("WARNING"), std::string::npos) << log();
    EXPECT_EQ(log().find("does not exist"), std::string::npos) << log();
    EXPECT_GE(WaitForStars(kScreen).CountStarPixels(kScreen), 10) << "the preview pane shows no stars";

    settings.SignalGroup(SIGTERM);
    ExpectExit(settings);
    EXPECT_TRUE(WaitUntil([&] { return SaverProcesses().empty(); })) << "the preview outlived the settings program";
}

TEST_F(DaemonTest, AUserWithoutSettingsAddsTheSaverInOneStepThenTheDaemonAndTheSettingsProgramHaveIt) {
    const std::string settingsFile = Home() + "/.xscreensaver";
    ASSERT_FALSE(std::filesystem::exists(settingsFile));
    std::string output;
    ASSERT_EQ(RunTool(AsUser({Adder()}), &output), 0) << output;
    const std::string added = ReadFile(settingsFile);
    // The system's list, then ours, under the name the user's file gives it.
    EXPECT_EQ(added.rfind("programs:", 0), 0U) << added;
    const std::string entry = "  GL: " + Saver() + " --root \\n\n";
    ASSERT_TRUE(added.ends_with(entry)) << added;
    EXPECT_NE(added.find("maze --root"), std::string::npos) << "the system's savers are gone";

    ASSERT_EQ(RunTool(AsUser({Adder()}), &output), 0) << output;
    EXPECT_EQ(ReadFile(settingsFile), added) << "the second run changed the file";
    struct stat status = {};
    ASSERT_EQ(stat(settingsFile.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, kNobody);

    // The user picks it, the last of the list, and turns off what would slow the test down.
    int entries = 0;
    for (auto at = added.find("\\n"); at != std::string::npos; at = added.find("\\n", at + 2)) ++entries;
    {
        std::ofstream out(settingsFile, std::ios::app);
        out << "mode:\tone\nselected:\t" << entries - 1 << "\nlock:\tFalse\nsplash:\tFalse\nfade:\tFalse\n";
    }
    Process& daemon = Start(AsUser({"xscreensaver", "--no-splash"}));
    ASSERT_TRUE(WaitForDaemon()) << "the daemon did not start: " << ReadFile(daemon.StderrPath());
    ASSERT_EQ(RunTool({"xscreensaver-command", "-activate"}), 0);
    EXPECT_TRUE(WaitForStarsInAllQuarters(kScreen)) << ReadFile(daemon.StderrPath());
    EXPECT_EQ(SaverProcesses().size(), 1U) << ReadFile(daemon.StderrPath());
    ASSERT_EQ(RunTool({"xscreensaver-command", "-exit"}), 0);
    ExpectExit(daemon);
    EXPECT_TRUE(WaitUntil([&] { return SaverProcesses().empty(); }));

    if (RunTool({"unshare", "-m", "true"}) != 0) GTEST_SKIP() << "no private mount namespace here (unshare -m)";
    Process& settings = StartSettingsProgram();
    const auto log = [&] { return ReadFile(settings.StderrPath()); };
    EXPECT_TRUE(WaitUntil([&] {
        return log().find("reading /usr/share/xscreensaver/config/velora-skyshow.xml") != std::string::npos;
    })) << log();
    settings.SignalGroup(SIGTERM);
    ExpectExit(settings);
}

}  // namespace
}  // namespace velora::testing
