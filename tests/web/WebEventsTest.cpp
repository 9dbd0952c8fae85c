// The DOM's input in Windows' terms, where the page test's keys and clicks
// do not reach: Alt, the wheel's direction, the extra buttons, and device
// pixels.
#include <gtest/gtest.h>

#include "platform/web/WebEvents.h"

namespace velora::platform::web {
namespace {

constexpr WindowHandle kWindow = 7;

TEST(WebEventsTest, AltAndF10AreSystemKeysThatTheSaverLetsPass) {
    EXPECT_EQ(TranslateKeyDown(kWindow, "AltLeft", true).message, kWmSysKeyDown);
    EXPECT_EQ(TranslateKeyDown(kWindow, "F10", false).message, kWmSysKeyDown);
    const Message altX = TranslateKeyDown(kWindow, "KeyX", true);
    EXPECT_EQ(altX.message, kWmSysKeyDown);
    EXPECT_EQ(altX.wParam, 0x58u);
    EXPECT_EQ(TranslateKeyDown(kWindow, "ShiftLeft", false).message, kWmKeyDown);
}

TEST(WebEventsTest, KeyCodesAreWindowsVirtualKeys) {
    EXPECT_EQ(VirtualKeyOf("Pause"), kVkPause);
    EXPECT_EQ(VirtualKeyOf("Digit7"), 0x37u);
    EXPECT_EQ(VirtualKeyOf("Numpad3"), 0x63u);
    EXPECT_EQ(VirtualKeyOf("F1"), 0x70u);
    EXPECT_EQ(VirtualKeyOf("F24"), 0x87u);
    EXPECT_EQ(VirtualKeyOf("F25"), 0u);
    EXPECT_EQ(VirtualKeyOf("Fn"), 0u);
    EXPECT_EQ(VirtualKeyOf("KeyAB"), 0u);
}

TEST(WebEventsTest, WheelNotchesPointUpAndRightAsInWindows) {
    const WheelMessages up = TranslateWheel(kWindow, 0, -3, 10, 20);
    ASSERT_TRUE(up.Vertical.has_value());
    EXPECT_FALSE(up.Horizontal.has_value());
    EXPECT_EQ(up.Vertical->message, kWmMouseWheel);
    EXPECT_EQ(static_cast<std::int16_t>(up.Vertical->wParam >> 16), 120);
    EXPECT_EQ(PointX(up.Vertical->lParam), 10);
    EXPECT_EQ(PointY(up.Vertical->lParam), 20);

    const WheelMessages downRight = TranslateWheel(kWindow, 40, 100, 0, 0);
    EXPECT_EQ(static_cast<std::int16_t>(downRight.Vertical->wParam >> 16), -120);
    ASSERT_TRUE(downRight.Horizontal.has_value());
    EXPECT_EQ(downRight.Horizontal->message, kWmMouseHWheel);
    EXPECT_EQ(static_cast<std::int16_t>(downRight.Horizontal->wParam >> 16), 120);
}

TEST(WebEventsTest, ButtonsAreLeftMiddleRightThenTheExtraOnes) {
    EXPECT_EQ(TranslateButton(kWindow, true, 0, 1, 2)->message, kWmLButtonDown);
    EXPECT_EQ(TranslateButton(kWindow, false, 1, 1, 2)->message, kWmMButtonUp);
    EXPECT_EQ(TranslateButton(kWindow, true, 2, 1, 2)->message, kWmRButtonDown);
    const auto back = TranslateButton(kWindow, true, 3, 1, 2);
    EXPECT_EQ(back->message, kWmXButtonDown);
    EXPECT_EQ(back->wParam >> 16, 1u);
    EXPECT_EQ(TranslateButton(kWindow, false, 4, 1, 2)->wParam >> 16, 2u);
    EXPECT_FALSE(TranslateButton(kWindow, true, 5, 1, 2).has_value());
}

TEST(WebEventsTest, CssOffsetsBecomeTheDevicePixelTheyFallIn) {
    EXPECT_EQ(DevicePixel(10.75, 2), 21);
    EXPECT_EQ(DevicePixel(639.9, 2), 1279);
    EXPECT_EQ(DevicePixel(3, 1.5), 4);
    EXPECT_EQ(DevicePixel(-0.5, 2), -1);
}

}  // namespace
}  // namespace velora::platform::web
