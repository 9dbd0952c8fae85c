#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
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
  // The settings program reads descriptions from the system's folder only:
  // in a mount namespace of its own that folder shows ours alone.
  if (runTool({"unshare", "-m", "true"}) != 0) GTEST_SKIP() << "no private mount namespace here (unshare -m)";
  const std::string config = scratch() + "/config";
  std::filesystem::create_directory(config);
  ASSERT_EQ(chmod(config.c_str(), 0755), 0);
  std::filesystem::copy_file(VELORA_SKYSHOW_XML, config + "/velora-skyshow.xml");
  writeSettings(saver() + " --root");

  std::vector<std::string> argv{"unshare", "-m", "sh", "-c",
                                "mount --bind \"$0\" /usr/share/xscreensaver/config && exec \"$@\"", config};
  const auto user = asUser({"xscreensaver-settings", "--debug"});
  argv.insert(argv.end(), user.begin(), user.end());
  Process& settings = start(argv);
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

}  // namespace
}  // namespace itest
