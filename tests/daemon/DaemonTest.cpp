#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "DaemonFixture.h"
#include "Layout.h"

namespace itest {
namespace {

using std::chrono::steady_clock;

TEST_F(DaemonTest, BlanksWithStarsPastTheReRaiseAndLeavesNothingWhenTheUserReturns) {
  writeSettings(saver() + " --root");
  Process& daemon = start(asUser({"xscreensaver", "--no-splash", "--verbose"}));
  ASSERT_TRUE(waitUntil([&] { return runTool({"xscreensaver-command", "-time"}) == 0; }))
      << "the daemon did not start: " << readFile(daemon.stderrPath());

  ASSERT_EQ(runTool({"xscreensaver-command", "-activate"}), 0);
  const auto activated = steady_clock::now();
  EXPECT_TRUE(waitForStarsInAllQuarters(kScreen)) << "stars never reached every part of the screen";
  const auto savers = saverProcesses();
  ASSERT_EQ(savers.size(), 1U) << readFile(daemon.stderrPath());

  // The daemon raises its own window again 27 to 57 s after activating: the
  // stars must stay in front all along.
  while (steady_clock::now() < activated + 70s) {
    EXPECT_GE(waitForStars(kScreen, 10, 3s).countStarPixels(kScreen), 10)
        << "no stars " << std::chrono::duration_cast<std::chrono::seconds>(steady_clock::now() - activated).count()
        << " s after activation";
    std::this_thread::sleep_for(5s);
  }
  EXPECT_TRUE(waitForStarsInAllQuarters(kScreen)) << "stars no longer reach every part of the screen";
  EXPECT_TRUE(waitForChange(x().grabScreen())) << "the picture stands still";
  EXPECT_EQ(saverProcesses(), savers) << "the saver was started again";

  ASSERT_EQ(runTool({"xscreensaver-command", "-deactivate"}), 0);
  EXPECT_TRUE(waitUntil([&] { return saverProcesses().empty(); }, 1s, 10ms))
      << "the saver outlived the deactivation by a second";
  EXPECT_TRUE(waitUntil([&] { return x().grabScreen().countStarPixels(kScreen) == 0; }))
      << "stars stay on the screen";

  ASSERT_EQ(runTool({"xscreensaver-command", "-exit"}), 0);
  expectExit(daemon);
  EXPECT_TRUE(waitUntil([&] { return helpersGone(); })) << "the daemon's helpers outlived it";
}

TEST_F(DaemonTest, TheSettingsProgramTakesTheDescriptionWithoutWarningsAndPreviewsTheSaver) {
  if (runTool({"unshare", "-m", "true"}) != 0) GTEST_SKIP() << "no private mount namespace here (unshare -m)";
  writeSettings(saver() + " --root");
  Process& settings = startSettingsProgram();
  const auto log = [&] { return readFile(settings.stderrPath()); };
  ASSERT_TRUE(waitUntil([&] { return log().find("forked") != std::string::npos; })) << log();

  EXPECT_NE(log().find("reading /usr/share/xscreensaver/config/velora-skyshow.xml"), std::string::npos) << log();
  EXPECT_EQ(log().find("WARNING"), std::string::npos) << log();
  EXPECT_EQ(log().find("does not exist"), std::string::npos) << log();
  EXPECT_GE(waitForStars(kScreen).countStarPixels(kScreen), 10) << "the preview pane shows no stars";

  settings.signalGroup(SIGTERM);
  expectExit(settings);
  EXPECT_TRUE(waitUntil([&] { return saverProcesses().empty(); })) << "the preview outlived the settings program";
}

TEST_F(DaemonTest, AUserWithoutSettingsAddsTheSaverInOneStepThenTheDaemonAndTheSettingsProgramHaveIt) {
  const std::string settingsFile = home() + "/.xscreensaver";
  ASSERT_FALSE(std::filesystem::exists(settingsFile));
  std::string output;
  ASSERT_EQ(runTool(asUser({adder()}), &output), 0) << output;
  const std::string added = readFile(settingsFile);
  // The system's list, then ours, under the name the user's file gives it.
  EXPECT_EQ(added.rfind("programs:", 0), 0U) << added;
  const std::string entry = "  GL: " + saver() + " --root \\n\n";
  ASSERT_TRUE(added.ends_with(entry)) << added;
  EXPECT_NE(added.find("maze --root"), std::string::npos) << "the system's savers are gone";

  ASSERT_EQ(runTool(asUser({adder()}), &output), 0) << output;
  EXPECT_EQ(readFile(settingsFile), added) << "the second run changed the file";
  struct stat status {};
  ASSERT_EQ(stat(settingsFile.c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, kNobody);

  // The user picks it, the last of the list, and turns off what would slow the test down.
  int entries = 0;
  for (auto at = added.find("\\n"); at != std::string::npos; at = added.find("\\n", at + 2)) ++entries;
  {
    std::ofstream out(settingsFile, std::ios::app);
    out << "mode:\tone\nselected:\t" << entries - 1 << "\nlock:\tFalse\nsplash:\tFalse\nfade:\tFalse\n";
  }
  Process& daemon = start(asUser({"xscreensaver", "--no-splash"}));
  ASSERT_TRUE(waitUntil([&] { return runTool({"xscreensaver-command", "-time"}) == 0; }))
      << "the daemon did not start: " << readFile(daemon.stderrPath());
  ASSERT_EQ(runTool({"xscreensaver-command", "-activate"}), 0);
  EXPECT_TRUE(waitForStarsInAllQuarters(kScreen)) << readFile(daemon.stderrPath());
  EXPECT_EQ(saverProcesses().size(), 1U) << readFile(daemon.stderrPath());
  ASSERT_EQ(runTool({"xscreensaver-command", "-exit"}), 0);
  expectExit(daemon);
  EXPECT_TRUE(waitUntil([&] { return saverProcesses().empty(); }));

  if (runTool({"unshare", "-m", "true"}) != 0) GTEST_SKIP() << "no private mount namespace here (unshare -m)";
  Process& settings = startSettingsProgram();
  const auto log = [&] { return readFile(settings.stderrPath()); };
  EXPECT_TRUE(waitUntil([&] {
    return log().find("reading /usr/share/xscreensaver/config/velora-skyshow.xml") != std::string::npos;
  })) << log();
  settings.signalGroup(SIGTERM);
  expectExit(settings);
}

}  // namespace
}  // namespace itest
