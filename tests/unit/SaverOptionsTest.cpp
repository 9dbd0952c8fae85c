#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "shell/SaverOptions.h"
#include "CommandLineArgs.h"

namespace velora {
namespace {

using testing::SkyshowArgs;

SaverOptions Parsed(const Arguments& args, const char* daemonWindow = nullptr) {
    std::string error;
    const auto options = ParseSaverOptions(args, daemonWindow, error);
    EXPECT_TRUE(options.has_value()) << error;
    EXPECT_TRUE(error.empty());
    return options.value_or(SaverOptions{});
}

std::string Refusal(const Arguments& args) {
    std::string error;
    EXPECT_FALSE(ParseSaverOptions(args, nullptr, error).has_value());
    return error;
}

TEST(SaverOptionsTest, TheHostIsTheNamedWindowThenTheDaemonsThenTheDesktopThenOurOwn) {
    EXPECT_EQ(Parsed(SkyshowArgs({})).Host, SaverHost::OwnWindow);
    EXPECT_EQ(Parsed(SkyshowArgs({}), "").Host, SaverHost::OwnWindow);
    EXPECT_EQ(Parsed(SkyshowArgs({"--root"})).Host, SaverHost::Desktop);

    const SaverOptions daemon = Parsed(SkyshowArgs({"--root"}), "0x1A00003");
    EXPECT_EQ(daemon.Host, SaverHost::Window);
    EXPECT_EQ(daemon.Window, 0x1A00003u);
    EXPECT_EQ(daemon.WindowSource, "XSCREENSAVER_WINDOW=0x1A00003");

    // The settings program appends its preview window to the daemon's command.
    const SaverOptions preview =
        Parsed(SkyshowArgs({"--root", "--delay", "10000", "--window-id", "4242"}), "0x1A00003");
    EXPECT_EQ(preview.Host, SaverHost::Window);
    EXPECT_EQ(preview.Window, 4242u);
    EXPECT_EQ(preview.WindowSource, "--window-id 4242");
    EXPECT_EQ(preview.DelayMicroseconds, 10000u);
}

TEST(SaverOptionsTest, OneHyphenWillDoAndTheLastValueCounts) {
    const SaverOptions options =
        Parsed(SkyshowArgs({"-window-id", "0x10", "-delay", "5", "--delay", "1000000", "-root"}));
    EXPECT_EQ(options.Window, 16u);
    EXPECT_EQ(options.DelayMicroseconds, 1000000u);
    EXPECT_EQ(Parsed(SkyshowArgs({})).DelayMicroseconds, 0u);
    EXPECT_TRUE(Parsed(SkyshowArgs({"--help"})).Help);
    EXPECT_TRUE(Parsed(SkyshowArgs({"-h"})).Help);
}

TEST(SaverOptionsTest, AWindowIdThatIsNoNumberIsKeptForTheMessage) {
    for (const char* text : {"12abc", "-5", "0", ""}) {
        const SaverOptions options = Parsed(SkyshowArgs({"--window-id", text}));
        EXPECT_EQ(options.Host, SaverHost::Window) << text;
        EXPECT_EQ(options.Window, 0u) << text;
        EXPECT_EQ(options.WindowSource, std::string("--window-id ") + text);
    }
    EXPECT_EQ(Parsed(SkyshowArgs({}), "junk").Window, 0u);
}

TEST(SaverOptionsTest, UnknownOptionsAndBadValuesAreRefusedWithOneLine) {
    EXPECT_EQ(Refusal(SkyshowArgs({"--fps"})), "unknown option \"--fps\"");
    EXPECT_EQ(Refusal(SkyshowArgs({"/s"})), "unknown option \"/s\"");
    EXPECT_EQ(Refusal(SkyshowArgs({"root"})), "unknown option \"root\"");
    EXPECT_EQ(Refusal(SkyshowArgs({"--root", "--window-id"})), "--window-id needs a value");
    EXPECT_EQ(Refusal(SkyshowArgs({"-delay"})), "-delay needs a value");
    for (const char* delay : {"1000001", "-1", "+5", "1e3", "", "99999999999"})
        EXPECT_EQ(Refusal(SkyshowArgs({"--delay", delay})),
                  std::string("--delay takes 0 to 1000000 microseconds, not \"") + delay + "\"");
}

TEST(SaverOptionsTest, AWaylandSessionWithNoXHostNamedDrawsOnWaylandUnlessABackendIsForced) {
    constexpr const char* kCompositor = "wayland-1";
    EXPECT_EQ(ChooseSaverBackend(Parsed(SkyshowArgs({})), kCompositor), SaverBackend::Wayland);
    EXPECT_EQ(ChooseSaverBackend(Parsed(SkyshowArgs({})), nullptr), SaverBackend::X11);
    EXPECT_EQ(ChooseSaverBackend(Parsed(SkyshowArgs({})), ""), SaverBackend::X11);
    // An X host named anywhere keeps it on X11 (XWayland).
    EXPECT_EQ(ChooseSaverBackend(Parsed(SkyshowArgs({"--root"})), kCompositor), SaverBackend::X11);
    EXPECT_EQ(ChooseSaverBackend(Parsed(SkyshowArgs({"--window-id", "42"})), kCompositor), SaverBackend::X11);
    EXPECT_EQ(ChooseSaverBackend(Parsed(SkyshowArgs({}), "0x1A00003"), kCompositor), SaverBackend::X11);

    EXPECT_EQ(ChooseSaverBackend(Parsed(SkyshowArgs({"--x11"})), kCompositor), SaverBackend::X11);
    EXPECT_EQ(ChooseSaverBackend(Parsed(SkyshowArgs({"-wayland"})), nullptr), SaverBackend::Wayland);
    EXPECT_EQ(ChooseSaverBackend(Parsed(SkyshowArgs({"--wayland"}), "0x1A00003"), nullptr), SaverBackend::Wayland);
    EXPECT_EQ(ChooseSaverBackend(Parsed(SkyshowArgs({"--wayland", "--x11"})), kCompositor), SaverBackend::X11);
}

TEST(SaverOptionsTest, WaylandTakesNoXHost) {
    const std::string refusal = "--wayland covers every output; it takes no --root or --window-id";
    EXPECT_EQ(Refusal(SkyshowArgs({"--wayland", "--root"})), refusal);
    EXPECT_EQ(Refusal(SkyshowArgs({"--window-id", "42", "--wayland"})), refusal);
}

TEST(SaverOptionsTest, OnIdleTakesOneSecondToADayAndWaitsOnWaylandAlone) {
    EXPECT_EQ(Parsed(SkyshowArgs({})).IdleSeconds, 0u);
    const SaverOptions resident = Parsed(SkyshowArgs({"--on-idle", "300", "--delay", "5"}));
    EXPECT_EQ(resident.IdleSeconds, 300u);
    EXPECT_EQ(resident.DelayMicroseconds, 5u);
    EXPECT_EQ(ChooseSaverBackend(resident, nullptr), SaverBackend::Wayland);
    EXPECT_EQ(Parsed(SkyshowArgs({"-on-idle", "1", "--wayland"})).IdleSeconds, 1u);
    EXPECT_EQ(Parsed(SkyshowArgs({"--on-idle", "86400"}), "0x1A00003").IdleSeconds, 86400u);

    for (const char* seconds : {"0", "86401", "-5", "5s", "", "1e3", "99999999999"})
        EXPECT_EQ(Refusal(SkyshowArgs({"--on-idle", seconds})),
                  std::string("--on-idle takes 1 to 86400 seconds, not \"") + seconds + "\"");
    EXPECT_EQ(Refusal(SkyshowArgs({"--on-idle"})), "--on-idle needs a value");
    const std::string refusal = "--on-idle waits on the Wayland compositor; it takes no --x11, --root or --window-id";
    EXPECT_EQ(Refusal(SkyshowArgs({"--on-idle", "60", "--x11"})), refusal);
    EXPECT_EQ(Refusal(SkyshowArgs({"--root", "--on-idle", "60"})), refusal);
    EXPECT_EQ(Refusal(SkyshowArgs({"--on-idle", "60", "--window-id", "42"})), refusal);
}

std::string FileText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(in.good()) << path;
    return text.str();
}

const SaverOption* OptionNamed(std::string_view word) {
    for (const SaverOption& option : kSaverOptions)
        if ("--" + std::string(option.Name) == word) return &option;
    return nullptr;
}

TEST(SaverOptionsTest, TheManualPageDescribesEveryOptionAndTheDaemonPassesOnlyThese) {
    const std::string manual = FileText(VELORA_SAVER_MANUAL_PAGE);
    for (const SaverOption& option : kSaverOptions) {
        std::string roff = "\\-\\-";  // roff's hyphens
        for (const char c : option.Name) roff += c == '-' ? std::string("\\-") : std::string(1, c);
        const std::string entry = option.Value.empty() ? "\n.B " + roff + "\n" : "\n.BI " + roff + " \"";
        EXPECT_NE(manual.find(entry), std::string::npos) << "the manual page has no entry " << entry;
    }

    // Each arg="..." of the daemon's description: an option, with "%" after it for its value.
    const std::string description = FileText(VELORA_SAVER_DESCRIPTION);
    int passed = 0;
    for (auto at = description.find("arg=\""); at != std::string::npos; at = description.find("arg=\"", at + 1)) {
        const auto start = at + 5;
        std::istringstream words(description.substr(start, description.find('"', start) - start));
        std::string word;
        words >> word;
        const SaverOption* option = OptionNamed(word);
        ASSERT_NE(option, nullptr) << "the daemon passes " << word;
        std::string value;
        words >> value;
        EXPECT_EQ(value == "%", !option->Value.empty()) << word;
        ++passed;
    }
    EXPECT_GT(passed, 0);
}

}  // namespace
}  // namespace velora
