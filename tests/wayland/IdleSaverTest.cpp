// velora-skyshow --on-idle, resident in a Wayland session: on GNOME's
// compositor (its idle monitor on the session bus), on KWin
// (ext-idle-notify-v1) and on sway 1.7 (org_kde_kwin_idle) it covers the
// outputs after the idle time, and input ends each run but not the program.
// What it made and took is read from its protocol log.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "Compositor.h"
#include "Mutter.h"

namespace velora::testing {
namespace {

constexpr std::uint32_t kShiftKeysym = 0xffe1;  // XKB_KEY_Shift_L
constexpr std::uint32_t kAKeysym = 0x61;        // XKB_KEY_a
constexpr auto kIdleTime = 2s;
// The quickest a run must end after the input that ends it.
constexpr auto kEndWithin = 1s;

// Fullscreen windows asked for, and windows given up, since it started.
int Shown(const Process& saver) {
    return protocol::CountLines(saver.Stderr(), {"-> xdg_toplevel@", ".set_fullscreen("});
}
int Freed(const Process& saver) { return protocol::CountLines(saver.Stderr(), {"-> xdg_toplevel@", ".destroy()"}); }

std::string Announcement(const std::string& source) {
    std::ostringstream line;
    line << "velora-skyshow: covers the outputs after 2 s of idle time, as " << source << " tells\n";
    return line.str();
}

class MutterIdleTest : public MutterTest {
protected:
    Process& StartSaver() {
        Environment env{{"WAYLAND_DEBUG", "1"}};
        env.merge(ClientEnv());
        return Start({SaverPath(), "--on-idle", "2"}, env);
    }
};

TEST_F(MutterIdleTest, EachIdleTimeCoversEveryMonitorAndTheInputThatEndsItReachesNoApplication) {
    // The seat gets its keyboard with the first key, which nobody sees.
    StartRemoteDesktop();
    Key(kShiftKeysym);
    // An application's window, focused, which hears a key.
    Environment appEnv{{"WAYLAND_DEBUG", "1"}};
    appEnv.merge(ClientEnv());
    Process& app = Start({VELORA_TEST_APP_EXE}, appEnv, /*talk=*/true);
    ASSERT_EQ(app.ReadLine(kPatience), "ok") << app.Stderr();
    const auto appPresses = [&] { return protocol::CountLines(app.Stderr(), {"wl_keyboard@", ".key(", ", 1)"}); };
    const auto appFocused = [&] { return protocol::CountLines(app.Stderr(), {"wl_keyboard@", ".enter("}); };
    ASSERT_TRUE(WaitUntil([&] { return appFocused() == 1; })) << "the application never had the keyboard";
    Key(kAKeysym);
    ASSERT_TRUE(WaitUntil([&] { return appPresses() == 1; })) << "the application does not hear keys";
    Process& saver = StartSaver();

    // Since the log's position `from`: a fullscreen window at each monitor's
    // size, and the keyboard's focus.
    const auto covered = [&](std::size_t from) {
        const std::string log = saver.Stderr().substr(from);
        return protocol::CountLines(log, {"xdg_toplevel@", ".configure(1280, 720,"}) >= 2 &&
               protocol::CountLines(log, {"wl_keyboard@", ".enter("}) >= 1;
    };
    ASSERT_TRUE(WaitUntil([&] { return covered(0); }))
        << "no fullscreen, focused windows; " << protocol::ProgramMessages(saver.Stderr());
    EXPECT_EQ(Shown(saver), 2);
    // One pointer move ends it, since the compositor reports the user back.
    PointerMove(4, 3);
    EXPECT_TRUE(WaitUntil([&] { return Freed(saver) == 2; }, kEndWithin)) << "the user's return did not end the run";
    EXPECT_TRUE(saver.Running()) << saver.Stderr();
    const std::size_t firstRun = saver.Stderr().size();

    // The next idle time brings new windows, on top and focused again; the
    // key that ends that run stays with them.
    ASSERT_TRUE(WaitUntil([&] { return covered(firstRun); })) << "not shown again after the next idle time";
    EXPECT_EQ(Shown(saver), 4);
    Key(kAKeysym);
    EXPECT_TRUE(WaitUntil([&] { return Freed(saver) == 4; }, kEndWithin)) << "a key did not end the run";
    EXPECT_TRUE(saver.Running());
    ASSERT_TRUE(WaitUntil([&] { return appFocused() >= 3; })) << "the application did not get the keyboard back";
    EXPECT_EQ(appPresses(), 1) << "the key that ended the run reached the application";

    // SIGTERM to the program alone, during a run, ends the run too: nothing
    // is left in its process group.
    ASSERT_TRUE(WaitUntil([&] { return Shown(saver) == 6; }));
    kill(saver.Pid(), SIGTERM);
    EXPECT_EQ(saver.Wait(kPatience), ExitedWith(0));
    EXPECT_NE(kill(-saver.Pid(), 0), 0) << "a run outlived the program";
    EXPECT_EQ(protocol::ProgramMessages(saver.Stderr()), Announcement("org.gnome.Mutter.IdleMonitor"));
}

TEST_F(MutterIdleTest, NothingShowsWhileIdleIsInhibitedOrTheScreenIsLocked) {
    SessionManagerStandIn session(BusAddress());
    session.SetInhibitedActions(8);  // idle, as a browser playing a video asks
    ASSERT_TRUE(WaitUntil([&] { return session.Reads() > 0; })) << "mutter never read the inhibited actions";
    Process& saver = StartSaver();
    ASSERT_TRUE(WaitUntil([&] { return protocol::ProgramMessages(saver.Stderr()) != ""; }));

    std::this_thread::sleep_for(2 * kIdleTime);
    EXPECT_EQ(Shown(saver), 0) << "shown while idle was inhibited";
    session.SetInhibitedActions(0);
    EXPECT_TRUE(WaitUntil([&] { return Shown(saver) == 2; })) << "not shown once the inhibitor was gone";

    // The lock screen ends the run; the program stays, shows nothing while
    // the screen is locked, and shows again at the first idle time after.
    session.SetScreenLocked(true);
    EXPECT_TRUE(WaitUntil([&] { return Freed(saver) == 2; }, kEndWithin)) << "the lock screen did not end the run";
    StartRemoteDesktop();
    PointerMove(4, 3);
    std::this_thread::sleep_for(2 * kIdleTime);
    EXPECT_EQ(Shown(saver), 2) << "shown over the lock screen";
    session.SetScreenLocked(false);
    PointerMove(-4, -3);
    EXPECT_TRUE(WaitUntil([&] { return Shown(saver) == 4; })) << "not shown after the lock screen went";
    EXPECT_TRUE(saver.Running()) << saver.Stderr();
}

// KWin's virtual backend offers ext-idle-notify-v1 but no way for a client
// to type (no virtual keyboard, no fake input), so the run is not ended
// by a key here; sway's test does that.
using KWinIdleTest = KWinTest;

TEST_F(KWinIdleTest, EveryOutputIsCoveredAfterTheIdleTime) {
    const Environment env = StartKWin();
    ASSERT_FALSE(HasFailure());
    Process& saver = Start({SaverPath(), "--on-idle", "2"}, env);
    ASSERT_TRUE(WaitUntil([&] { return protocol::ProgramMessages(saver.Stderr()) != ""; }));
    const auto announced = std::chrono::steady_clock::now();

    EXPECT_TRUE(WaitUntil([&] {
        return protocol::CountLines(saver.Stderr(), {"zwlr_layer_surface_v1@", ".configure(", ", 1280, 720)"}) >= 2;
    })) << "no layer-shell surfaces on both outputs; "
        << protocol::ProgramMessages(saver.Stderr());
    // Not before the idle time, less what the test's polling may have lost.
    EXPECT_GE(std::chrono::steady_clock::now() - announced, kIdleTime - 200ms);
    saver.SignalGroup(SIGTERM);
    EXPECT_EQ(saver.Wait(kPatience), ExitedWith(0));
    EXPECT_EQ(protocol::ProgramMessages(saver.Stderr()), Announcement("ext-idle-notify-v1"));
}

// The one step a user takes: velora-skyshow-add --wayland writes the
// autostart entry, which a desktop launches at login (here gio, as GNOME does).
TEST_F(MutterIdleTest, TheAutostartEntryStartsItAndIsWrittenOnceAndRemoved) {
    for (const char* tool : {"/usr/bin/gio", "/usr/bin/desktop-file-validate"})
        if (access(tool, X_OK) != 0) GTEST_SKIP() << tool << " is not installed";
    const std::string home = Dir() + "/home";
    const std::string autostart = home + "/.config/autostart";
    const std::string entry = autostart + "/velora-skyshow.desktop";
    const auto add = [&](const std::vector<std::string>& args) {
        std::vector<std::string> argv{VELORA_SKYSHOW_ADD_EXE};
        argv.insert(argv.end(), args.begin(), args.end());
        SpawnOptions options;
        options.Argv = argv;
        options.Env = {{"HOME", home}};
        options.Env.merge(SanitizerEnv());
        return Process(options).Wait(kPatience);
    };
    ASSERT_EQ(add({"--wayland"}), ExitedWith(0));
    const std::string written = ReadFile(entry);
    EXPECT_NE(written.find(" --on-idle 300\"\n"), std::string::npos) << written;
    SpawnOptions validate;
    validate.Argv = {"/usr/bin/desktop-file-validate", entry};
    EXPECT_EQ(Process(validate).Wait(kPatience), ExitedWith(0)) << written;

    const auto modified = std::filesystem::last_write_time(entry);
    ASSERT_EQ(add({"--wayland"}), ExitedWith(0));
    EXPECT_EQ(std::filesystem::last_write_time(entry), modified) << "a second run wrote it again";
    EXPECT_EQ(ReadFile(entry), written);

    Environment env = ClientEnv();
    env["HOME"] = home;
    Process& launched = Start({"/usr/bin/gio", "launch", entry}, env);
    EXPECT_TRUE(WaitUntil([&] {
        return launched.Stderr().find("after 300 s of idle time, as org.gnome.Mutter.IdleMonitor") != std::string::npos;
    })) << "the entry did not start the saver: "
        << launched.Stderr();

    ASSERT_EQ(add({"--wayland", "--remove"}), ExitedWith(0));
    EXPECT_TRUE(std::filesystem::is_empty(autostart)) << "left behind in " << autostart;
    EXPECT_EQ(add({"--wayland", "--remove"}), ExitedWith(0));
}

}  // namespace
}  // namespace velora::testing
