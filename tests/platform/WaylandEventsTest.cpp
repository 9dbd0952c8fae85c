#include "platform/wayland/WaylandEvents.h"

// Before X.h, whose None macro would garble it.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <X11/X.h>

#include "platform/x11/X11Events.h"

namespace velora::platform::wayland {
namespace {

constexpr WindowHandle kWnd = 0x5A7E;

// XKB's keysyms are X11's: every key and Alt state gives what the X11
// backend gives, so the saver reads the same keys on both.
TEST(WaylandKeys, EveryKeysymTranslatesAsOnX11) {
    for (std::uint32_t keysym = 0; keysym <= 0xFFFF; ++keysym) {
        for (const bool alt : {false, true}) {
            const Message ours = TranslateKeyPress(kWnd, keysym, alt);
            const Message x11 = x11::TranslateKeyPress(kWnd, keysym, alt ? Mod1Mask : 0);
            ASSERT_EQ(ours.message, x11.message) << std::hex << keysym << " alt " << alt;
            ASSERT_EQ(ours.wParam, x11.wParam) << std::hex << keysym << " alt " << alt;
        }
    }
    EXPECT_EQ(TranslateKeyPress(kWnd, XKB_KEY_Pause, false).wParam, kVkPause);
    EXPECT_EQ(TranslateKeyPress(kWnd, XKB_KEY_F10, false).message, kWmSysKeyDown);
}

TEST(WaylandPointer, ButtonsAndWheelBecomeMouseMessagesAtThePointer) {
    const std::intptr_t at = MakePointParam(-3, 700);
    const struct {
        std::uint32_t Button;
        std::uint32_t Down;
        std::uint32_t Up;
        std::uintptr_t WParam;
    } buttons[] = {
        {BTN_LEFT, kWmLButtonDown, kWmLButtonUp, 0},         {BTN_RIGHT, kWmRButtonDown, kWmRButtonUp, 0},
        {BTN_MIDDLE, kWmMButtonDown, kWmMButtonUp, 0},       {BTN_SIDE, kWmXButtonDown, kWmXButtonUp, 1u << 16},
        {BTN_EXTRA, kWmXButtonDown, kWmXButtonUp, 2u << 16}, {BTN_TASK, kWmXButtonDown, kWmXButtonUp, 5u << 16}};
    for (const auto& button : buttons) {
        const auto down = TranslateButton(kWnd, true, button.Button, -3, 700);
        const auto up = TranslateButton(kWnd, false, button.Button, -3, 700);
        ASSERT_TRUE(down && up) << std::hex << button.Button;
        EXPECT_EQ(down->window, kWnd);
        EXPECT_EQ(down->message, button.Down);
        EXPECT_EQ(up->message, button.Up);
        EXPECT_EQ(down->wParam, button.WParam);
        EXPECT_EQ(up->wParam, button.WParam);
        EXPECT_EQ(down->lParam, at);
    }
    // Neither a joystick's nor a tablet's buttons, nor BTN_0.
    for (const std::uint32_t other : {BTN_0, BTN_MOUSE - 1, BTN_JOYSTICK, BTN_TOOL_PEN})
        EXPECT_FALSE(TranslateButton(kWnd, true, other, 0, 0)) << std::hex << other;

    // Wayland scrolls down with positive values; Windows' wheel turns up with positive deltas.
    const auto down = TranslateAxis(kWnd, true, 2560, -3, 700);
    ASSERT_TRUE(down);
    EXPECT_EQ(down->message, kWmMouseWheel);
    EXPECT_EQ(down->wParam, std::uintptr_t{0xFF88} << 16);
    EXPECT_EQ(down->lParam, at);
    const auto left = TranslateAxis(kWnd, false, -1, 0, 0);
    ASSERT_TRUE(left);
    EXPECT_EQ(left->message, kWmMouseHWheel);
    EXPECT_EQ(left->wParam, std::uintptr_t{120} << 16);
    EXPECT_FALSE(TranslateAxis(kWnd, true, 0, 0, 0));
}

TEST(WaylandScale, SizesAndPositionsInPixelsOfTheOutput) {
    EXPECT_EQ(ScaledSize(1920, 120), 1920);
    EXPECT_EQ(ScaledSize(1280, 180), 1920);  // 1.5
    EXPECT_EQ(ScaledSize(1, 180), 2);        // 1.5 rounds away from zero
    EXPECT_EQ(ScaledSize(3, 100), 3);        // 2.5 too
    EXPECT_EQ(ScaledSize(0, 240), 1);
    EXPECT_EQ(ToPixels(10 * 256, 180), 15);
    EXPECT_EQ(ToPixels(10 * 256 + 255, 120), 10);        // rounded down
    EXPECT_EQ(ToPixels(100000 * 256, 14400), 12000000);  // the largest scale without overflow

    EXPECT_EQ(PreferredScale(150), 150);
    EXPECT_EQ(PreferredScale(0xFFFFFFFFu), 14400);

    // A configured size wins; else xdg-output's; else the mode over the scale.
    EXPECT_EQ(CoverSize(800, 1280, 2560, 2), 800);
    EXPECT_EQ(CoverSize(0, 1280, 2560, 2), 1280);
    EXPECT_EQ(CoverSize(0, 0, 2560, 2), 1280);
    EXPECT_EQ(CoverSize(0, 0, 0, 1), 1);
}

}  // namespace
}  // namespace velora::platform::wayland
