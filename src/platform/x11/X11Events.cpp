#include "platform/x11/X11Events.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace velora::platform::x11 {

namespace {

constexpr int kWheelDelta = 120;

struct KeyRange {
    unsigned long First;
    unsigned long Last;
    std::uintptr_t FirstCode;
};

constexpr KeyRange kKeyRanges[] = {
    {XK_0, XK_9, 0x30},    {XK_a, XK_z, 0x41},       {XK_A, XK_Z, 0x41},
    {XK_F1, XK_F24, 0x70}, {XK_KP_0, XK_KP_9, 0x60}, {XK_Left, XK_Down, 0x25},
};

struct KeyCode {
    unsigned long Keysym;
    std::uintptr_t Code;
};

constexpr KeyCode kKeyCodes[] = {
    {XK_BackSpace, 0x08},  {XK_Tab, 0x09},         {XK_ISO_Left_Tab, 0x09}, {XK_Return, 0x0D},
    {XK_KP_Enter, 0x0D},   {XK_Pause, kVkPause},   {XK_Caps_Lock, 0x14},    {XK_Escape, 0x1B},
    {XK_space, 0x20},      {XK_Prior, 0x21},       {XK_Next, 0x22},         {XK_End, 0x23},
    {XK_Home, 0x24},       {XK_Print, 0x2C},       {XK_Insert, 0x2D},       {XK_Delete, 0x2E},
    {XK_Super_L, 0x5B},    {XK_Super_R, 0x5C},     {XK_Menu, 0x5D},         {XK_KP_Multiply, 0x6A},
    {XK_KP_Add, 0x6B},     {XK_KP_Subtract, 0x6D}, {XK_KP_Decimal, 0x6E},   {XK_KP_Divide, 0x6F},
    {XK_Num_Lock, 0x90},   {XK_Scroll_Lock, 0x91}, {XK_semicolon, 0xBA},    {XK_equal, 0xBB},
    {XK_comma, 0xBC},      {XK_minus, 0xBD},       {XK_period, 0xBE},       {XK_slash, 0xBF},
    {XK_grave, 0xC0},      {XK_bracketleft, 0xDB}, {XK_backslash, 0xDC},    {XK_bracketright, 0xDD},
    {XK_apostrophe, 0xDE}, {XK_Shift_L, 0x10},     {XK_Shift_R, 0x10},      {XK_Control_L, 0x11},
    {XK_Control_R, 0x11},  {XK_Alt_L, 0x12},       {XK_Alt_R, 0x12},        {XK_Meta_L, 0x12},
    {XK_Meta_R, 0x12},
};

constexpr bool IsAltKey(unsigned long keysym) {
    return keysym == XK_Alt_L || keysym == XK_Alt_R || keysym == XK_Meta_L || keysym == XK_Meta_R;
}

constexpr std::uintptr_t WheelParam(int delta) {
    return static_cast<std::uintptr_t>(static_cast<std::uint16_t>(delta)) << 16;
}

}  // namespace

std::uintptr_t VirtualKeyOf(unsigned long keysym) {
    for (const KeyRange& range : kKeyRanges)
        if (keysym >= range.First && keysym <= range.Last) return range.FirstCode + (keysym - range.First);
    for (const KeyCode& key : kKeyCodes)
        if (key.Keysym == keysym) return key.Code;
    return 0;
}

Message TranslateKeyPress(WindowHandle window, unsigned long keysym, unsigned int state) {
    const bool system = (state & Mod1Mask) != 0 || keysym == XK_F10 || IsAltKey(keysym);
    return Message{window, system ? kWmSysKeyDown : kWmKeyDown, VirtualKeyOf(keysym), 0};
}

std::optional<Message> TranslateButton(WindowHandle window, bool pressed, unsigned int button, int x, int y) {
    const std::intptr_t point = MakePointParam(x, y);
    switch (button) {
        case Button1:
            return Message{window, pressed ? kWmLButtonDown : kWmLButtonUp, 0, point};
        case Button2:
            return Message{window, pressed ? kWmMButtonDown : kWmMButtonUp, 0, point};
        case Button3:
            return Message{window, pressed ? kWmRButtonDown : kWmRButtonUp, 0, point};
        case Button4:
        case Button5:
            if (!pressed) return std::nullopt;
            return Message{window, kWmMouseWheel, WheelParam(button == Button4 ? kWheelDelta : -kWheelDelta), point};
        case 6:
        case 7:
            if (!pressed) return std::nullopt;
            return Message{window, kWmMouseHWheel, WheelParam(button == 7 ? kWheelDelta : -kWheelDelta), point};
        default:
            if (button == 0) return std::nullopt;
            // Windows numbers its extra buttons from 1 (XBUTTON1) in wParam's high word.
            return Message{window, pressed ? kWmXButtonDown : kWmXButtonUp,
                           static_cast<std::uintptr_t>(button - 7) << 16, point};
    }
}

}  // namespace velora::platform::x11
