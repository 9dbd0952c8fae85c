#include <cstdio>

#include "Layout.h"
#include "harness/Session.h"

namespace itest {
namespace {

class Preview : public XSessionTest {
 protected:
  // Starts the preview into a new host window and waits for its panel.
  void startPreview(const std::vector<std::string>& args, const std::string& exe = veloraPath()) {
    velora_ = &launch(args, {}, exe);
    ASSERT_TRUE(waitUntil([&] {
      const auto kids = x().children(host_);
      if (kids.size() != 1) return false;
      const auto panel = x().info(kids.front());
      return panel && panel->viewable;
    })) << "no panel appeared inside the host window";
    panel_ = x().children(host_).front();
  }

  void SetUp() override {
    XSessionTest::SetUp();
    if (HasFatalFailure()) return;
    host_ = x().createHostWindow(kHost);
  }

  void expectCleanExit() {
    const auto status = expectExit(*velora_);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->exited && status->code == 0) << "ended with " << *status;
  }

  Window host_ = 0;
  Window panel_ = 0;
  Process* velora_ = nullptr;
};

struct PreviewLine {
  std::string name;
  std::string flag;
  bool hexHandle;
};

void PrintTo(const PreviewLine& p, std::ostream* out) { *out << p.name; }

class PreviewCommandLine : public Preview, public ::testing::WithParamInterface<PreviewLine> {};

TEST_P(PreviewCommandLine, DrawsIntoAPanelOverTheHostWindowOnly) {
  ASSERT_NO_FATAL_FAILURE(
      startPreview({GetParam().flag, GetParam().hexHandle ? hex(host_) : decimal(host_)}));

  EXPECT_EQ(x().info(panel_).value_or(WindowInfo{}).rect, kHost);
  EXPECT_GE(waitForStars(kHost).countStarPixels(kHost), 10);
  EXPECT_EQ(x().grabScreen().countStarPixelsOutside(kHost), 0);
  const auto topLevels = x().viewableTopLevels();
  EXPECT_EQ(topLevels.size(), 1U) << "the preview showed a window of its own";
  EXPECT_TRUE(velora_->running());
}

INSTANTIATE_TEST_SUITE_P(Handles, PreviewCommandLine,
                         ::testing::Values(PreviewLine{"DecimalHandle", "/p", false},
                                           PreviewLine{"HexHandleUpperCaseSwitch", "-P", true},
                                           PreviewLine{"PdebugWithHandle", "-pdebug", false}),
                         ByName());

TEST_F(Preview, EndsNormallyWhenTheHostWindowIsDestroyed) {
  ASSERT_NO_FATAL_FAILURE(startPreview({"/p", decimal(host_)}));
  EXPECT_GE(waitForStars(kHost).countStarPixels(kHost), 10);
  x().destroyWindow(host_);
  expectCleanExit();
}

TEST_F(Preview, EndsNormallyWhenThePanelIsAskedToClose) {
  ASSERT_NO_FATAL_FAILURE(startPreview({"/p", decimal(host_)}));
  EXPECT_GE(waitForStars(kHost).countStarPixels(kHost), 10);
  x().sendDeleteWindow(panel_);
  expectCleanExit();
}

struct BadHandle {
  std::string name;
  std::string text;  // empty: the handle of a window that was just destroyed
};

void PrintTo(const BadHandle& b, std::ostream* out) { *out << b.name; }

class PreviewBadHandle : public Preview, public ::testing::WithParamInterface<BadHandle> {};

TEST_P(PreviewBadHandle, FallsThroughToTheTestWindow) {
  std::string handle = GetParam().text;
  if (handle.empty()) {
    const Window gone = x().createHostWindow(Rect{0, 0, 50, 50});
    x().destroyWindow(gone);
    handle = decimal(gone);
  }
  Process& velora = launch({"/p", handle});

  const auto window = waitForWindow(kTitle, kTestWindow.width, kTestWindow.height);
  ASSERT_TRUE(window) << "no test window";
  EXPECT_EQ(window->rect, kTestWindow);
  EXPECT_GE(waitForStars(kTestWindow).countStarPixels(kTestWindow), 10);
  EXPECT_TRUE(x().children(host_).empty()) << "something was put into an unrelated window";
  EXPECT_TRUE(velora.running());
}

INSTANTIATE_TEST_SUITE_P(Handles, PreviewBadHandle,
                         ::testing::Values(BadHandle{"DestroyedWindow", ""}, BadHandle{"Zero", "0"},
                                           BadHandle{"NotANumber", "12abc"}),
                         ByName());

}  // namespace
}  // namespace itest
