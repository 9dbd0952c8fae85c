// Where the compositor has no layer-shell (weston here, GNOME's Mutter on
// desktops) velora-skyshow covers the output with a fullscreen toplevel.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "Compositor.h"

namespace velora::testing {
namespace {

class WestonFallbackTest : public CompositorTest {
protected:
    WestonFallbackTest() : CompositorTest({"/usr/bin/weston", "/usr/bin/weston-screenshooter", "/bin/sh"}) {}
};

TEST_F(WestonFallbackTest, WithoutLayerShellAFullscreenToplevelDraws) {
    // The scratch directory is 0700: weston's runtime directory.
    Environment env{{"PATH", "/usr/bin:/bin"}, {"XDG_RUNTIME_DIR", Dir()}, {"WAYLAND_DISPLAY", "velora-weston"}};
    env.merge(SanitizerEnv());
    // --debug offers the screenshooter, weston's only way to take a picture.
    Process& weston = Start({"/usr/bin/weston", "--backend=headless-backend.so", "--socket=velora-weston",
                             "--width=1280", "--height=720", "--use-pixman", "--debug", "--idle-time=0"},
                            env);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(Dir() + "/velora-weston"); })) << "weston did not start";
    Process& saver = Start({SaverPath(), "--wayland"}, env);

    const auto colouredPixels = [&] {
        SpawnOptions options;
        options.Argv = {"/bin/sh", "-c",
                        "cd " + Dir() +
                            " && rm -f wayland-screenshot-*.png && weston-screenshooter && "
                            "convert wayland-screenshot-*.png ppm:shot.ppm"};
        options.Env = env;
        Process shooter(options);
        if (shooter.Wait(kPatience) != ExitedWith(0)) return 0;
        const auto shot = ParsePpm(ReadFile(Dir() + "/shot.ppm"));
        return shot ? shot->ColouredPixels() : 0;
    };
    EXPECT_TRUE(WaitUntil([&] { return colouredPixels() > 2000; })) << "no stars on weston; " << saver.Stderr();
    saver.SignalGroup(SIGTERM);
    EXPECT_EQ(saver.Wait(kPatience), ExitedWith(0)) << saver.Stderr();
    weston.SignalGroup(SIGTERM);
    weston.Wait(kPatience);
}

TEST_F(WestonFallbackTest, OnIdleWhereNoIdleTimeIsToldSaysSoInOneLine) {
    Environment env{{"PATH", "/usr/bin:/bin"}, {"XDG_RUNTIME_DIR", Dir()}, {"WAYLAND_DISPLAY", "velora-weston"}};
    env.merge(SanitizerEnv());
    Process& weston = Start({"/usr/bin/weston", "--backend=headless-backend.so", "--socket=velora-weston",
                             "--width=1280", "--height=720", "--use-pixman", "--idle-time=0"},
                            env);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(Dir() + "/velora-weston"); })) << "weston did not start";
    // No session bus either: Dir() holds none.
    Process& saver = Start({SaverPath(), "--on-idle", "2"}, env);
    EXPECT_EQ(saver.Wait(kPatience), ExitedWith(1));
    EXPECT_EQ(saver.Stderr(),
              "velora-skyshow: the session tells no idle time: its compositor offers neither ext-idle-notify-v1 nor "
              "org_kde_kwin_idle, and no GNOME idle monitor answers on the session bus\n");
    weston.SignalGroup(SIGTERM);
    weston.Wait(kPatience);
}

}  // namespace
}  // namespace velora::testing
