// Where the compositor has no layer-shell (weston here, GNOME's Mutter on
// desktops) velora-skyshow covers the output with a fullscreen toplevel.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Compositor.h"

namespace velora::testing {
namespace {

TEST(WestonFallbackTest, WithoutLayerShellAFullscreenToplevelDraws) {
    char pattern[] = "/tmp/velora-weston-XXXXXX";
    const std::string dir = mkdtemp(pattern);  // 0700: weston's runtime directory
    std::vector<std::string> env{"PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + dir, "WAYLAND_DISPLAY=velora-weston"};
    const auto sanitizers = SanitizerEnv();
    env.insert(env.end(), sanitizers.begin(), sanitizers.end());
    {
        // --debug offers the screenshooter, weston's only way to take a picture.
        Child weston({"/usr/bin/weston", "--backend=headless-backend.so", "--socket=velora-weston", "--width=1280",
                      "--height=720", "--use-pixman", "--debug", "--idle-time=0"},
                     env, dir, "weston");
        ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(dir + "/velora-weston"); }))
            << "weston did not start";
        Child saver({SaverPath(), "--wayland"}, env, dir, "saver");

        const auto colouredPixels = [&] {
            Child shooter({"/bin/sh", "-c",
                           "cd " + dir +
                               " && rm -f wayland-screenshot-*.png && weston-screenshooter && "
                               "convert wayland-screenshot-*.png ppm:shot.ppm"},
                          env, dir, "shooter");
            if (shooter.Wait() != 0) return 0;
            std::ifstream file(dir + "/shot.ppm", std::ios::binary);
            std::string magic;
            int width = 0;
            int height = 0;
            int maximum = 0;
            file >> magic >> width >> height >> maximum;
            file.get();
            Screenshot shot{width, height, std::vector<unsigned char>(static_cast<std::size_t>(width) * height * 3)};
            file.read(reinterpret_cast<char*>(shot.Rgb.data()), static_cast<std::streamsize>(shot.Rgb.size()));
            return shot.ColouredPixels();
        };
        EXPECT_TRUE(WaitUntil([&] { return colouredPixels() > 2000; })) << "no stars on weston; " << saver.Stderr();
        saver.Signal(SIGTERM);
        EXPECT_EQ(saver.Wait(), std::optional<int>(0)) << saver.Stderr();
        weston.Signal(SIGTERM);
        weston.Wait();
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velora::testing
