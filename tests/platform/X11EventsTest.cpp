#include "platform/x11/X11Events.h"

// Before X.h, whose None macro would garble it.
#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

namespace velora::platform::x11 {
namespace {

constexpr WindowHandle kWnd = 0x600003;

TEST(TranslateKeyPress, PauseIsAKeyDownWithVkPause) {
    const Message msg = TranslateKeyPress(kWnd, XK_Pause, 0);
    EXPECT_EQ(msg.window, kWnd);
    EXPECT_EQ(msg.message, kWmKeyDown);
    EXPECT_EQ(msg.wParam, kVkPause);
}

TEST(TranslateKeyPress, KeysGetTheirVirtualKeyCodes) {
    const std::pair<unsigned long, std::uintptr_t> keys[] = {
        {XK_a, 'A'},       {XK_Z, 'Z'},        {XK_0, '0'},          {XK_9, '9'},     {XK_space, 0x20},
        {XK_Return, 0x0D}, {XK_Escape, 0x1B},  {XK_F1, 0x70},        {XK_F12, 0x7B},  {XK_Left, 0x25},
        {XK_Down, 0x28},   {XK_Shift_R, 0x10}, {XK_Control_R, 0x11}, {XK_KP_7, 0x67}, {XK_Delete, 0x2E}};
    for (const auto& [keysym, code] : keys) {
        const Message msg = TranslateKeyPress(kWnd, keysym, ShiftMask | ControlMask);
        EXPECT_EQ(msg.message, kWmKeyDown) << std::hex << keysym;
        EXPECT_EQ(msg.wParam, code) << std::hex << keysym;
    }
}

TEST(TranslateKeyPress, KeysWithoutACodeStillArriveAsKeyDowns) {
    const Message msg = TranslateKeyPress(kWnd, XK_EuroSign, 0);
    EXPECT_EQ(msg.message, kWmKeyDown);
    EXPECT_EQ(msg.wParam, 0u);
}

TEST(TranslateKeyPress, AltHeldF10AndTheAltKeysAreSystemKeys) {
    EXPECT_EQ(TranslateKeyPress(kWnd, XK_x, Mod1Mask).message, kWmSysKeyDown);
    EXPECT_EQ(TranslateKeyPress(kWnd, XK_Pause, Mod1Mask).message, kWmSysKeyDown);
    EXPECT_EQ(TranslateKeyPress(kWnd, XK_F10, 0).message, kWmSysKeyDown);
    EXPECT_EQ(TranslateKeyPress(kWnd, XK_F10, 0).wParam, 0x79u);
    EXPECT_EQ(TranslateKeyPress(kWnd, XK_Alt_L, 0).message, kWmSysKeyDown);
    EXPECT_EQ(TranslateKeyPress(kWnd, XK_Alt_R, 0).wParam, 0x12u);
    EXPECT_EQ(TranslateKeyPress(kWnd, XK_F9, Mod2Mask).message, kWmKeyDown);  // NumLock is no Alt
}

TEST(TranslateButton, TheThreeMainButtonsInWindowsOrder) {
    EXPECT_EQ(TranslateButton(kWnd, true, Button1, 0, 0)->message, kWmLButtonDown);
    EXPECT_EQ(TranslateButton(kWnd, true, Button2, 0, 0)->message, kWmMButtonDown);
    EXPECT_EQ(TranslateButton(kWnd, true, Button3, 0, 0)->message, kWmRButtonDown);
    EXPECT_EQ(TranslateButton(kWnd, false, Button1, 0, 0)->message, kWmLButtonUp);
    EXPECT_EQ(TranslateButton(kWnd, false, Button2, 0, 0)->message, kWmMButtonUp);
    EXPECT_EQ(TranslateButton(kWnd, false, Button3, 0, 0)->message, kWmRButtonUp);
}

TEST(TranslateButton, ThePositionIsPackedAsSignedHalves) {
    const auto msg = TranslateButton(kWnd, true, Button1, 399, 349);
    EXPECT_EQ(PointX(msg->lParam), 399);
    EXPECT_EQ(PointY(msg->lParam), 349);
    const auto outside = TranslateButton(kWnd, false, Button1, -3, -7);
    EXPECT_EQ(PointX(outside->lParam), -3);
    EXPECT_EQ(PointY(outside->lParam), -7);
}

TEST(TranslateButton, WheelButtonsScrollOnPressOnly) {
    const auto up = TranslateButton(kWnd, true, Button4, 0, 0);
    const auto down = TranslateButton(kWnd, true, Button5, 0, 0);
    EXPECT_EQ(up->message, kWmMouseWheel);
    EXPECT_EQ(static_cast<std::int16_t>(up->wParam >> 16), 120);
    EXPECT_EQ(static_cast<std::int16_t>(down->wParam >> 16), -120);
    EXPECT_EQ(TranslateButton(kWnd, true, 6, 0, 0)->message, kWmMouseHWheel);
    EXPECT_EQ(static_cast<std::int16_t>(TranslateButton(kWnd, true, 7, 0, 0)->wParam >> 16), 120);
    for (unsigned int button : {4u, 5u, 6u, 7u}) EXPECT_FALSE(TranslateButton(kWnd, false, button, 0, 0));
}

TEST(TranslateButton, ExtraButtonsAreXButtons) {
    const auto first = TranslateButton(kWnd, true, 8, 0, 0);
    EXPECT_EQ(first->message, kWmXButtonDown);
    EXPECT_EQ(first->wParam >> 16, 1u);
    EXPECT_EQ(TranslateButton(kWnd, true, 9, 0, 0)->wParam >> 16, 2u);
    EXPECT_EQ(TranslateButton(kWnd, false, 8, 0, 0)->message, kWmXButtonUp);
    EXPECT_FALSE(TranslateButton(kWnd, true, 0, 0, 0));
}

TEST(IsInputMessage, CoversKeysAndTheMouseOnly) {
    for (std::uint32_t message : {kWmKeyDown, kWmSysKeyDown, kWmMouseMove, kWmLButtonUp, kWmMouseWheel, kWmMouseHWheel})
        EXPECT_TRUE(IsInputMessage(message)) << message;
    for (std::uint32_t message : {kWmPaint, kWmClose, kWmSize, kWmEraseBkgnd, kWmDestroy})
        EXPECT_FALSE(IsInputMessage(message)) << message;
}

}  // namespace
}  // namespace velora::platform::x11
