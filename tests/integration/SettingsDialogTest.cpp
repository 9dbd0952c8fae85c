#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "Layout.h"
#include "harness/Jpeg.h"
#include "harness/Session.h"

namespace velora::testing {
namespace {

struct PictureDistance {
    double English = 0;
    double Russian = 0;
};

// A line of the stand-in's log: one argument, an http or https URL.
bool IsOneHttpUrl(const std::string& call) {
    for (const std::string prefix : {"1 http://", "1 https://"}) {
        if (call.size() > prefix.size() && call.starts_with(prefix) &&
            call.find(' ', prefix.size()) == std::string::npos) {
            return true;
        }
    }
    return false;
}

class SettingsDialog : public XSessionTest {
protected:
    void SetUp() override {
        XSessionTest::SetUp();
        if (HasFatalFailure()) return;
        try {
            FEnglish = DecodeJpeg(std::string(VELORA_ASSET_DIR) + "/donate-en.jpg");
            FRussian = DecodeJpeg(std::string(VELORA_ASSET_DIR) + "/donate-ru.jpg");
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
        for (const DecodedPicture* picture : {&FEnglish, &FRussian}) {
            ASSERT_EQ(picture->Width, kDialog.Width);
            ASSERT_EQ(picture->Height, kDialog.Height);
        }
        InstallFakeXdgOpen();
    }

    // A stand-in first on PATH that records how it was called: the argument
    // count, then the arguments.
    void InstallFakeXdgOpen() {
        FBinDir = Scratch() + "/bin";
        FOpenLog = Scratch() + "/xdg-open.log";
        std::filesystem::create_directories(FBinDir);
        const std::string script = FBinDir + "/xdg-open";
        std::ofstream(script) << "#!/bin/sh\n"
                              << "{ printf '%s' \"$#\"; for a in \"$@\"; do printf ' %s' \"$a\"; done; echo; } >> '"
                              << FOpenLog << "'\n";
        ASSERT_EQ(chmod(script.c_str(), 0755), 0);
    }

    Environment DialogEnvironment(const std::string& localeDir) const {
        return {{"PATH", FBinDir + ":" + ProgramEnvironment().at("PATH")}, {"LOCPATH", localeDir}};
    }

    // Waits until the dialog shows one of the two pictures.
    PictureDistance WaitForPicture() {
        PictureDistance d;
        WaitUntil([&] {
            const Image shown = X().Grab(kDialog);
            d = {shown.MeanAbsDiff(FEnglish.Pixels), shown.MeanAbsDiff(FRussian.Pixels)};
            return std::min(d.English, d.Russian) < 10;
        });
        return d;
    }

    Process& OpenDialog(const std::vector<std::string>& args, const std::string& localeDir) {
        Process& velora = Launch(args, DialogEnvironment(localeDir));
        FDialog = WaitForWindow(kTitle, kDialog.Width, kDialog.Height);
        return velora;
    }

    DecodedPicture FEnglish;
    DecodedPicture FRussian;
    std::string FBinDir;
    std::string FOpenLog;
    std::optional<WindowInfo> FDialog;
};

TEST_F(SettingsDialog, ShowsEnglishWithoutRussianLocaleAndOpensThePageOnEveryClick) {
    const std::string noLocales = Scratch() + "/no-locales";
    std::filesystem::create_directories(noLocales);
    Process& velora = OpenDialog({"/c"}, noLocales);
    ASSERT_TRUE(FDialog) << "no settings dialog";
    EXPECT_EQ(FDialog->Bounds, kDialog);
    EXPECT_EQ(X().ViewableWindowsNamed(kTitle).size(), 1U) << "more than the dialog is shown";

    const PictureDistance d = WaitForPicture();
    EXPECT_LT(d.English, d.Russian / 2) << "English " << d.English << ", Russian " << d.Russian;

    // The centre, then a spot in the picture's margin.
    const std::vector<std::pair<int, int>> clicks = {{kDialog.X + 200, kDialog.Y + 175},
                                                     {kDialog.X + 3, kDialog.Y + 3}};
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        Xdotool({"mousemove", std::to_string(clicks[i].first), std::to_string(clicks[i].second), "click", "1"});
        EXPECT_TRUE(WaitUntil([&] { return ReadLines(FOpenLog).size() == i + 1; }))
            << "click " << i + 1 << " did not run xdg-open once; calls so far: " << ReadLines(FOpenLog).size();
    }
    const auto calls = ReadLines(FOpenLog);
    for (const auto& call : calls) {
        EXPECT_TRUE(IsOneHttpUrl(call)) << "xdg-open called as: " << call;
    }
    if (calls.size() == 2) {
        EXPECT_EQ(calls[0], calls[1]);
    }
    const auto after = X().Info(FDialog->Id);
    EXPECT_TRUE(after && after->Viewable) << "the dialog closed after a click";

    X().SendDeleteWindow(FDialog->Id);
    const auto status = ExpectExit(velora);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->Exited && status->Code == 0) << "ended with " << *status;
}

TEST_F(SettingsDialog, ShowsRussianWithRussianLocale) {
    const std::string locales = Scratch() + "/locales";
    std::filesystem::create_directories(locales);
    SpawnOptions compile;
    compile.Argv = {"localedef", "-i", "ru_RU", "-f", "UTF-8", locales + "/ru_RU.UTF-8"};
    compile.Env = InheritedEnvironment();
    compile.StderrPath = Scratch() + "/localedef.err";
    Process localedef(compile);
    ASSERT_TRUE(localedef.Wait(30s)) << "localedef hung";
    ASSERT_TRUE(std::filesystem::exists(locales + "/ru_RU.UTF-8/LC_CTYPE"))
        << "cannot compile the ru_RU locale (package locales): " << ReadFile(compile.StderrPath);

    OpenDialog({"/c:1234"}, locales);
    ASSERT_TRUE(FDialog) << "no settings dialog";
    EXPECT_EQ(FDialog->Bounds, kDialog);
    const PictureDistance d = WaitForPicture();
    EXPECT_LT(d.Russian, d.English / 2) << "English " << d.English << ", Russian " << d.Russian;
}

}  // namespace
}  // namespace velora::testing
