// KDE Plasma's compositor, KWin, on a virtual framebuffer with two outputs at
// a scale of 1.5: velora-skyshow gets layer-shell surfaces there and draws
// them at the outputs' own pixels through the fractional scale. KWin takes no
// screenshots without a D-Bus session, so the client's protocol log tells
// what it made.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "Compositor.h"

namespace velora::testing {
namespace {

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

TEST(KWinScaleTest, AtAFractionalScaleEachOutputIsDrawnAtItsOwnPixels) {
    char pattern[] = "/tmp/velora-kwin-XXXXXX";
    const std::string dir = mkdtemp(pattern);  // 0700: KWin's runtime directory
    // The package gives kwin_wayland a file capability, which a container's
    // bounding set may forbid at exec; a copy runs without it.
    std::filesystem::copy_file("/usr/bin/kwin_wayland", dir + "/kwin_wayland");
    std::vector<std::string> env{"PATH=/usr/bin:/bin", "HOME=" + dir, "XDG_RUNTIME_DIR=" + dir,
                                 "WAYLAND_DISPLAY=velora-kwin"};
    {
        Child kwin({dir + "/kwin_wayland", "--virtual", "--no-lockscreen", "--no-global-shortcuts", "--socket",
                    "velora-kwin", "--width", "1280", "--height", "720", "--scale", "1.5", "--output-count", "2"},
                   env, dir, "kwin");
        ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(dir + "/velora-kwin"); })) << "KWin did not start";
        const auto sanitizers = SanitizerEnv();
        env.insert(env.end(), sanitizers.begin(), sanitizers.end());
        env.push_back("WAYLAND_DEBUG=1");
        Child saver({SaverPath()}, env, dir, "saver");

        // KWin 6 makes its virtual outputs 1920x1080 pixels for this
        // command line but leaves them at scale 1 (its output configuration
        // chooses the scale), so there is no fractional scale to follow.
        const auto configured = [&] { return HasLine(saver.Stderr(), {"layer_surface_v1", ".configure("}); };
        ASSERT_TRUE(WaitUntil(configured)) << "no layer-shell surface on KWin";
        if (HasLine(saver.Stderr(), {"layer_surface_v1", ".configure(", ", 1920, 1080)"})) {
            std::filesystem::remove_all(dir);
            GTEST_SKIP() << "this KWin keeps its virtual outputs at scale 1";
        }

        // Once both surfaces have been told the scale, frames of 1920x1080
        // pixels in a 1280x720 viewport.
        const std::string scaled = "preferred_scale(180)";
        const auto drawnScaled = [&] {
            const std::string log = saver.Stderr();
            if (Count(log, scaled) < 2) return false;
            const std::string after = log.substr(log.rfind(scaled));
            return after.find("set_destination(1280, 720)") != std::string::npos &&
                   after.find(", 1920, 1080, 7680,") != std::string::npos && Count(after, ".attach(") >= 4;
        };
        EXPECT_TRUE(WaitUntil(drawnScaled))
            << "never drawn at the fractional scale; " << saver.Stderr().substr(0, 4000);
        EXPECT_TRUE(HasLine(saver.Stderr(), {"layer_surface_v1", ".configure(", ", 1280, 720)"}))
            << "no layer-shell surface on KWin";

        saver.Signal(SIGTERM);
        EXPECT_EQ(saver.Wait(), std::optional<int>(0));
        kwin.Signal(SIGTERM);
        kwin.Wait();
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace velora::testing
