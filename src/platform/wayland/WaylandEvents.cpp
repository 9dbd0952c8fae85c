#include "platform/wayland/WaylandEvents.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>

namespace velora::platform::wayland {

namespace {

constexpr int kWheelDelta = 120;

struct KeyRange {
    std::uint32_t First;
    std::uint32_t Last;
    std::uintptr_t FirstCode;
};

constexpr KeyRange kKeyRanges[] = {
    {XKB_KEY_0, XKB_KEY_9, 0x30},    {XKB_KEY_a, XKB_KEY_z, 0x41},       {XKB_KEY_A, XKB_KEY_Z, 0x41},
    {XKB_KEY_F1, XKB_KEY_F24, 0x70}, {XKB_KEY_KP_0, XKB_KEY_KP_9, 0x60}, {XKB_KEY_Left, XKB_KEY_Down, 0x25},
};

struct KeyCode {
    std::uint32_t Keysym;
    std::uintptr_t Code;
};

constexpr KeyCode kKeyCodes[] = {
    {XKB_KEY_BackSpace, 0x08},  {XKB_KEY_Tab, 0x09},         {XKB_KEY_ISO_Left_Tab, 0x09}, {XKB_KEY_Return, 0x0D},
    {XKB_KEY_KP_Enter, 0x0D},   {XKB_KEY_Pause, kVkPause},   {XKB_KEY_Caps_Lock, 0x14},    {XKB_KEY_Escape, 0x1B},
    {XKB_KEY_space, 0x20},      {XKB_KEY_Prior, 0x21},       {XKB_KEY_Next, 0x22},         {XKB_KEY_End, 0x23},
    {XKB_KEY_Home, 0x24},       {XKB_KEY_Print, 0x2C},       {XKB_KEY_Insert, 0x2D},       {XKB_KEY_Delete, 0x2E},
    {XKB_KEY_Super_L, 0x5B},    {XKB_KEY_Super_R, 0x5C},     {XKB_KEY_Menu, 0x5D},         {XKB_KEY_KP_Multiply, 0x6A},
    {XKB_KEY_KP_Add, 0x6B},     {XKB_KEY_KP_Subtract, 0x6D}, {XKB_KEY_KP_Decimal, 0x6E},   {XKB_KEY_KP_Divide, 0x6F},
    {XKB_KEY_Num_Lock, 0x90},   {XKB_KEY_Scroll_Lock, 0x91}, {XKB_KEY_semicolon, 0xBA},    {XKB_KEY_equal, 0xBB},
    {XKB_KEY_comma, 0xBC},      {XKB_KEY_minus, 0xBD},       {XKB_KEY_period, 0xBE},       {XKB_KEY_slash, 0xBF},
    {XKB_KEY_grave, 0xC0},      {XKB_KEY_bracketleft, 0xDB}, {XKB_KEY_backslash, 0xDC},    {XKB_KEY_bracketright, 0xDD},
    {XKB_KEY_apostrophe, 0xDE}, {XKB_KEY_Shift_L, 0x10},     {XKB_KEY_Shift_R, 0x10},      {XKB_KEY_Control_L, 0x11},
    {XKB_KEY_Control_R, 0x11},  {XKB_KEY_Alt_L, 0x12},       {XKB_KEY_Alt_R, 0x12},        {XKB_KEY_Meta_L, 0x12},
    {XKB_KEY_Meta_R, 0x12},
};

constexpr bool IsAltKey(std::uint32_t keysym) {
    return keysym == XKB_KEY_Alt_L || keysym == XKB_KEY_Alt_R || keysym == XKB_KEY_Meta_L || keysym == XKB_KEY_Meta_R;
}

constexpr std::uintptr_t WheelParam(int delta) {
    return static_cast<std::uintptr_t>(static_cast<std::uint16_t>(delta)) << 16;
}

}  // namespace

int PreferredScale(std::uint32_t numerator) {
    constexpr std::uint32_t kLargest = kScaleDenominator * kScaleDenominator;
    return static_cast<int>(std::min(numerator, kLargest));
}

int ToPixels(std::int32_t fixed, int scale) {
    return static_cast<int>(static_cast<std::int64_t>(fixed) * scale / (256 * kScaleDenominator));
}

int ScaledSize(int size, int scale) {
    const auto pixels = (static_cast<std::int64_t>(size) * scale + kScaleDenominator / 2) / kScaleDenominator;
    return static_cast<int>(std::max<std::int64_t>(1, pixels));
}

int CoverSize(int configured, int logical, int mode, int scale) {
    if (configured <= 0) configured = logical > 0 ? logical : mode / scale;
    return std::max(1, configured);
}

std::uintptr_t VirtualKeyOf(std::uint32_t keysym) {
    for (const KeyRange& range : kKeyRanges)
        if (keysym >= range.First && keysym <= range.Last) return range.FirstCode + (keysym - range.First);
    for (const KeyCode& key : kKeyCodes)
        if (key.Keysym == keysym) return key.Code;
    return 0;
}

Message TranslateKeyPress(WindowHandle window, std::uint32_t keysym, bool alt) {
    const bool system = alt || keysym == XKB_KEY_F10 || IsAltKey(keysym);
    return Message{window, system ? kWmSysKeyDown : kWmKeyDown, VirtualKeyOf(keysym), 0};
}

std::optional<Message> TranslateButton(WindowHandle window, bool pressed, std::uint32_t button, int x, int y) {
    const std::intptr_t point = MakePointParam(x, y);
    switch (button) {
        case BTN_LEFT:
            return Message{window, pressed ? kWmLButtonDown : kWmLButtonUp, 0, point};
        case BTN_MIDDLE:
            return Message{window, pressed ? kWmMButtonDown : kWmMButtonUp, 0, point};
        case BTN_RIGHT:
            return Message{window, pressed ? kWmRButtonDown : kWmRButtonUp, 0, point};
        default:
            if (button < BTN_SIDE || button >= BTN_JOYSTICK) return std::nullopt;
            // Windows numbers its extra buttons from 1 (XBUTTON1) in wParam's high word.
            return Message{window, pressed ? kWmXButtonDown : kWmXButtonUp,
                           static_cast<std::uintptr_t>(button - BTN_SIDE + 1) << 16, point};
    }
}

std::optional<Message> TranslateAxis(WindowHandle window, bool vertical, std::int32_t value, int x, int y) {
    if (value == 0) return std::nullopt;
    // Positive values scroll down (or right); Windows' wheel delta is positive up.
    const int delta = value > 0 ? -kWheelDelta : kWheelDelta;
    return Message{window, vertical ? kWmMouseWheel : kWmMouseHWheel, WheelParam(delta), MakePointParam(x, y)};
}

}  // namespace velora::platform::wayland
