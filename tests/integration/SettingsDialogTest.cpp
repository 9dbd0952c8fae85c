#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "Layout.h"
#include "harness/Jpeg.h"
#include "harness/Session.h"

namespace itest {
namespace {

struct PictureDistance {
  double english = 0;
  double russian = 0;
};

// A line of the stand-in's log: one argument, an http or https URL.
bool isOneHttpUrl(const std::string& call) {
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
      english_ = decodeJpeg(std::string(VELORA_ASSET_DIR) + "/donate-en.jpg");
      russian_ = decodeJpeg(std::string(VELORA_ASSET_DIR) + "/donate-ru.jpg");
    } catch (const std::exception& e) {
      FAIL() << e.what();
    }
    for (const DecodedPicture* picture : {&english_, &russian_}) {
      ASSERT_EQ(picture->width, kDialog.width);
      ASSERT_EQ(picture->height, kDialog.height);
    }
    installFakeXdgOpen();
  }

  // A stand-in first on PATH that records how it was called: the argument
  // count, then the arguments.
  void installFakeXdgOpen() {
    binDir_ = scratch() + "/bin";
    openLog_ = scratch() + "/xdg-open.log";
    std::filesystem::create_directories(binDir_);
    const std::string script = binDir_ + "/xdg-open";
    std::ofstream(script) << "#!/bin/sh\n"
                          << "{ printf '%s' \"$#\"; for a in \"$@\"; do printf ' %s' \"$a\"; done; echo; } >> '"
                          << openLog_ << "'\n";
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);
  }

  Environment dialogEnvironment(const std::string& localeDir) const {
    return {{"PATH", binDir_ + ":" + environment().at("PATH")}, {"LOCPATH", localeDir}};
  }

  // Waits until the dialog shows one of the two pictures.
  PictureDistance waitForPicture() {
    PictureDistance d;
    waitUntil([&] {
      const Image shown = x().grab(kDialog);
      d = {shown.meanAbsDiff(english_.pixels), shown.meanAbsDiff(russian_.pixels)};
      return std::min(d.english, d.russian) < 10;
    });
    return d;
  }

  Process& openDialog(const std::vector<std::string>& args, const std::string& localeDir) {
    Process& velora = launch(args, dialogEnvironment(localeDir));
    dialog_ = waitForWindow(kTitle, kDialog.width, kDialog.height);
    return velora;
  }

  DecodedPicture english_;
  DecodedPicture russian_;
  std::string binDir_;
  std::string openLog_;
  std::optional<WindowInfo> dialog_;
};

TEST_F(SettingsDialog, ShowsEnglishWithoutRussianLocaleAndOpensThePageOnEveryClick) {
  const std::string noLocales = scratch() + "/no-locales";
  std::filesystem::create_directories(noLocales);
  Process& velora = openDialog({"/c"}, noLocales);
  ASSERT_TRUE(dialog_) << "no settings dialog";
  EXPECT_EQ(dialog_->rect, kDialog);
  EXPECT_EQ(x().viewableWindowsNamed(kTitle).size(), 1U) << "more than the dialog is shown";

  const PictureDistance d = waitForPicture();
  EXPECT_LT(d.english, d.russian / 2) << "English " << d.english << ", Russian " << d.russian;

  // The centre, then a spot in the picture's margin.
  const std::vector<std::pair<int, int>> clicks = {{kDialog.x + 200, kDialog.y + 175},
                                                   {kDialog.x + 3, kDialog.y + 3}};
  for (std::size_t i = 0; i < clicks.size(); ++i) {
    xdotool({"mousemove", std::to_string(clicks[i].first), std::to_string(clicks[i].second), "click", "1"});
    EXPECT_TRUE(waitUntil([&] { return readLines(openLog_).size() == i + 1; }))
        << "click " << i + 1 << " did not run xdg-open once; calls so far: " << readLines(openLog_).size();
  }
  const auto calls = readLines(openLog_);
  for (const auto& call : calls) {
    EXPECT_TRUE(isOneHttpUrl(call)) << "xdg-open called as: " << call;
  }
  if (calls.size() == 2) {
    EXPECT_EQ(calls[0], calls[1]);
  }
  const auto after = x().info(dialog_->id);
  EXPECT_TRUE(after && after->viewable) << "the dialog closed after a click";

  x().sendDeleteWindow(dialog_->id);
  const auto status = expectExit(velora);
  ASSERT_TRUE(status);
  EXPECT_TRUE(status->exited && status->code == 0) << "ended with " << *status;
}

TEST_F(SettingsDialog, ShowsRussianWithRussianLocale) {
  const std::string locales = scratch() + "/locales";
  std::filesystem::create_directories(locales);
  SpawnOptions compile;
  compile.argv = {"localedef", "-i", "ru_RU", "-f", "UTF-8", locales + "/ru_RU.UTF-8"};
  compile.env = inheritedEnvironment();
  compile.stderrPath = scratch() + "/localedef.err";
  Process localedef(compile);
  ASSERT_TRUE(localedef.wait(30s)) << "localedef hung";
  ASSERT_TRUE(std::filesystem::exists(locales + "/ru_RU.UTF-8/LC_CTYPE"))
      << "cannot compile the ru_RU locale (package locales): " << readFile(compile.stderrPath);

  openDialog({"/c:1234"}, locales);
  ASSERT_TRUE(dialog_) << "no settings dialog";
  EXPECT_EQ(dialog_->rect, kDialog);
  const PictureDistance d = waitForPicture();
  EXPECT_LT(d.russian, d.english / 2) << "English " << d.english << ", Russian " << d.russian;
}

}  // namespace
}  // namespace itest
