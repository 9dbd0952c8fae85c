#include "Layout.h"
#include "harness/Session.h"

namespace velora::testing {
namespace {

// The part of the test window that the centred settings dialog leaves free.
const Rect kLeftOfDialog{kTestWindow.X, kTestWindow.Y, kDialog.X - kTestWindow.X, kTestWindow.Height};

class TestWindow : public XSessionTest {
protected:
    void SetUp() override {
        XSessionTest::SetUp();
        if (HasFatalFailure()) return;
        FVelora = &Launch({});
        const auto window = WaitForWindow(kTitle, kTestWindow.Width, kTestWindow.Height);
        ASSERT_TRUE(window) << "no test window";
        FWindow = window->Id;
        ASSERT_GE(WaitForStars(kTestWindow).CountStarPixels(kTestWindow), 10) << "the test window shows no stars";
    }

    Process* FVelora = nullptr;
    Window FWindow = 0;
};

TEST_F(TestWindow, KeysButtonsAndMouseMovesDoNotCloseIt) {
    // With no window manager the keyboard follows the pointer.
    Xdotool({"mousemove", "500", "400", "key", "Escape", "key", "x", "key", "Return", "key", "Pause"});
    Xdotool(PointerMoves(25, 300));
    Xdotool({"click", "3", "click", "2", "click", "4", "click", "5"});

    EXPECT_TRUE(WaitForFrames(kLeftOfDialog)) << "no frames after the input";
    ASSERT_TRUE(FVelora->Running()) << "the input closed the test window";
    EXPECT_FALSE(X().CursorInvisible()) << "the test window hid the cursor";
    const auto window = X().Info(FWindow);
    EXPECT_TRUE(window && window->Viewable);
    EXPECT_TRUE(WaitForChange(X().Grab(kLeftOfDialog))) << "the test window stopped drawing";
}

TEST_F(TestWindow, ClickOpensTheSettingsDialogAndDrawingGoesOn) {
    Xdotool({"mousemove", "200", "300", "click", "1"});

    const auto dialog = WaitForWindow(kTitle, kDialog.Width, kDialog.Height);
    ASSERT_TRUE(dialog) << "no settings dialog after a click";
    EXPECT_EQ(dialog->Bounds, kDialog);
    const auto window = X().Info(FWindow);
    EXPECT_TRUE(window && window->Viewable);
    EXPECT_TRUE(WaitForChange(X().Grab(kLeftOfDialog))) << "the test window stopped drawing behind the dialog";
    EXPECT_TRUE(FVelora->Running());
}

TEST_F(TestWindow, FollowsAResizeAndDrawsOverTheWholeNewSize) {
    const int width = kTestWindow.Width + 96;
    const int height = kTestWindow.Height + 92;
    Xdotool({"windowsize", std::to_string(FWindow), std::to_string(width), std::to_string(height)});
    ASSERT_TRUE(WaitUntil([&] {
        const auto now = X().Info(FWindow);
        return now && now->Bounds.Width == width && now->Bounds.Height == height;
    })) << "the window did not take its new size";

    // A viewport left at the old size would leave these strips black: on the
    // right the new columns, at the top the new rows (GL counts from the bottom).
    const Rect newColumns{kTestWindow.X + kTestWindow.Width, kTestWindow.Y, width - kTestWindow.Width, height};
    const Rect newRows{kTestWindow.X, kTestWindow.Y, width, height - kTestWindow.Height};
    EXPECT_TRUE(WaitForStarsInEach({newColumns, newRows}, 15s)) << "no stars in the area the resize added";
    EXPECT_TRUE(FVelora->Running());
}

}  // namespace
}  // namespace velora::testing
