#include <thread>

#include "Layout.h"
#include "harness/Session.h"

namespace itest {
namespace {

// The part of the test window that the centred settings dialog leaves free.
const Rect kLeftOfDialog{kTestWindow.x, kTestWindow.y, kDialog.x - kTestWindow.x, kTestWindow.height};

class TestWindow : public XSessionTest {
 protected:
  void SetUp() override {
    XSessionTest::SetUp();
    if (HasFatalFailure()) return;
    velora_ = &launch({});
    const auto window = waitForWindow(kTitle, kTestWindow.width, kTestWindow.height);
    ASSERT_TRUE(window) << "no test window";
    window_ = window->id;
    ASSERT_GE(waitForStars(kTestWindow).countStarPixels(kTestWindow), 10) << "the test window shows no stars";
  }

  Process* velora_ = nullptr;
  Window window_ = 0;
};

TEST_F(TestWindow, KeysButtonsAndMouseMovesDoNotCloseIt) {
  // With no window manager the keyboard follows the pointer.
  xdotool({"mousemove", "500", "400", "key", "Escape", "key", "x", "key", "Return", "key", "Pause"});
  xdotool(pointerMoves(25, 300));
  xdotool({"click", "3", "click", "2", "click", "4", "click", "5"});

  std::this_thread::sleep_for(1s);
  ASSERT_TRUE(velora_->running()) << "the input closed the test window";
  EXPECT_FALSE(x().cursorInvisible()) << "the test window hid the cursor";
  const auto window = x().info(window_);
  EXPECT_TRUE(window && window->viewable);
  EXPECT_TRUE(waitForChange(x().grab(kLeftOfDialog))) << "the test window stopped drawing";
}

TEST_F(TestWindow, ClickOpensTheSettingsDialogAndDrawingGoesOn) {
  xdotool({"mousemove", "200", "300", "click", "1"});

  const auto dialog = waitForWindow(kTitle, kDialog.width, kDialog.height);
  ASSERT_TRUE(dialog) << "no settings dialog after a click";
  EXPECT_EQ(dialog->rect, kDialog);
  const auto window = x().info(window_);
  EXPECT_TRUE(window && window->viewable);
  EXPECT_TRUE(waitForChange(x().grab(kLeftOfDialog))) << "the test window stopped drawing behind the dialog";
  EXPECT_TRUE(velora_->running());
}

TEST_F(TestWindow, FollowsAResizeAndDrawsOverTheWholeNewSize) {
  const int width = kTestWindow.width + 96;
  const int height = kTestWindow.height + 92;
  xdotool({"windowsize", std::to_string(window_), std::to_string(width), std::to_string(height)});
  ASSERT_TRUE(waitUntil([&] {
    const auto now = x().info(window_);
    return now && now->rect.width == width && now->rect.height == height;
  })) << "the window did not take its new size";

  // A viewport left at the old size would leave these strips black: on the
  // right the new columns, at the top the new rows (GL counts from the bottom).
  const Rect newColumns{kTestWindow.x + kTestWindow.width, kTestWindow.y, width - kTestWindow.width, height};
  const Rect newRows{kTestWindow.x, kTestWindow.y, width, height - kTestWindow.height};
  EXPECT_TRUE(waitForStarsInEach({newColumns, newRows}, 15s)) << "no stars in the area the resize added";
  EXPECT_TRUE(velora_->running());
}

}  // namespace
}  // namespace itest
