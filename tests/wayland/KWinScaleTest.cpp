// KDE Plasma's compositor, KWin, on a virtual framebuffer with two outputs at
// a scale of 1.5: velora-skyshow gets layer-shell surfaces there and draws
// them at the outputs' own pixels through the fractional scale. KWin takes no
// screenshots without a D-Bus session, so the client's protocol log tells
// what it made.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>

#include "Compositor.h"

namespace velora::testing {
namespace {

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

using KWinScaleTest = KWinTest;

TEST_F(KWinScaleTest, AtAFractionalScaleEachOutputIsDrawnAtItsOwnPixels) {
    const Environment env = StartKWin({"--scale", "1.5"});
    ASSERT_FALSE(HasFailure());
    Process& saver = Start({SaverPath()}, env);

    // KWin 6 makes its virtual outputs 1920x1080 pixels for this
    // command line but leaves them at scale 1 (its output configuration
    // chooses the scale), so there is no fractional scale to follow.
    const auto configured = [&] { return protocol::HasLine(saver.Stderr(), {"layer_surface_v1", ".configure("}); };
    ASSERT_TRUE(WaitUntil(configured)) << "no layer-shell surface on KWin";
    if (protocol::HasLine(saver.Stderr(), {"layer_surface_v1", ".configure(", ", 1920, 1080)"}))
        GTEST_SKIP() << "this KWin keeps its virtual outputs at scale 1";

    // Once both surfaces have been told the scale, frames of 1920x1080
    // pixels in a 1280x720 viewport.
    const std::string scaled = "preferred_scale(180)";
    const auto drawnScaled = [&] {
        const std::string log = saver.Stderr();
        if (Count(log, scaled) < 2) return false;
        const std::size_t told = log.rfind(scaled);
        const auto sizes = protocol::AttachedBufferSizes(log, told);
        return log.find("set_destination(1280, 720)", told) != std::string::npos &&
               std::count_if(sizes.begin(), sizes.end(), [](const protocol::BufferSize& size) {
                   return size.Width == 1920 && size.Height == 1080;
               }) >= 4;
    };
    EXPECT_TRUE(WaitUntil(drawnScaled)) << "never drawn at the fractional scale; " << saver.Stderr().substr(0, 4000);
    EXPECT_TRUE(protocol::HasLine(saver.Stderr(), {"layer_surface_v1", ".configure(", ", 1280, 720)"}))
        << "no layer-shell surface on KWin";

    saver.SignalGroup(SIGTERM);
    EXPECT_EQ(saver.Wait(kPatience), ExitedWith(0));
}

}  // namespace
}  // namespace velora::testing
