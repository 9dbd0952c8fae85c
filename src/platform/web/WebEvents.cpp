#include "platform/web/WebEvents.h"

#include <cmath>

namespace velora::platform::web {

namespace {

constexpr int kWheelDelta = 120;

struct KeyCode {
    std::string_view Code;
    std::uintptr_t VirtualKey;
};

constexpr KeyCode kKeyCodes[] = {
    {"Backspace", 0x08},
    {"Tab", 0x09},
    {"Enter", 0x0D},
    {"NumpadEnter", 0x0D},
    {"Pause", kVkPause},
    {"CapsLock", 0x14},
    {"Escape", 0x1B},
    {"Space", 0x20},
    {"PageUp", 0x21},
    {"PageDown", 0x22},
    {"End", 0x23},
    {"Home", 0x24},
    {"ArrowLeft", 0x25},
    {"ArrowUp", 0x26},
    {"ArrowRight", 0x27},
    {"ArrowDown", 0x28},
    {"PrintScreen", 0x2C},
    {"Insert", 0x2D},
    {"Delete", 0x2E},
    {"MetaLeft", 0x5B},
    {"MetaRight", 0x5C},
    {"ContextMenu", 0x5D},
    {"NumpadMultiply", 0x6A},
    {"NumpadAdd", 0x6B},
    {"NumpadSubtract", 0x6D},
    {"NumpadDecimal", 0x6E},
    {"NumpadDivide", 0x6F},
    {"NumLock", 0x90},
    {"ScrollLock", 0x91},
    {"Semicolon", 0xBA},
    {"Equal", 0xBB},
    {"Comma", 0xBC},
    {"Minus", 0xBD},
    {"Period", 0xBE},
    {"Slash", 0xBF},
    {"Backquote", 0xC0},
    {"BracketLeft", 0xDB},
    {"Backslash", 0xDC},
    {"BracketRight", 0xDD},
    {"Quote", 0xDE},
    {"ShiftLeft", 0x10},
    {"ShiftRight", 0x10},
    {"ControlLeft", 0x11},
    {"ControlRight", 0x11},
    {"AltLeft", 0x12},
    {"AltRight", 0x12},
};

// "KeyA", "Digit7", "Numpad3", "F12": a prefix and a number or letter.
std::uintptr_t NumberedKey(std::string_view code) {
    auto after = [&code](std::string_view prefix) {
        return code.starts_with(prefix) ? code.substr(prefix.size()) : std::string_view{};
    };
    if (const auto letter = after("Key"); letter.size() == 1 && letter[0] >= 'A' && letter[0] <= 'Z')
        return 0x41 + static_cast<std::uintptr_t>(letter[0] - 'A');
    if (const auto digit = after("Digit"); digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9')
        return 0x30 + static_cast<std::uintptr_t>(digit[0] - '0');
    if (const auto digit = after("Numpad"); digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9')
        return 0x60 + static_cast<std::uintptr_t>(digit[0] - '0');
    if (const auto number = after("F"); !number.empty() && number.size() <= 2) {
        int n = 0;
        for (const char c : number) {
            if (c < '0' || c > '9') return 0;
            n = n * 10 + (c - '0');
        }
        if (n >= 1 && n <= 24) return 0x70 + static_cast<std::uintptr_t>(n - 1);
    }
    return 0;
}

constexpr std::uintptr_t WheelParam(int delta) {
    return static_cast<std::uintptr_t>(static_cast<std::uint16_t>(delta)) << 16;
}

}  // namespace

std::uintptr_t VirtualKeyOf(std::string_view code) {
    for (const KeyCode& key : kKeyCodes)
        if (key.Code == code) return key.VirtualKey;
    return NumberedKey(code);
}

Message TranslateKeyDown(WindowHandle window, std::string_view code, bool altHeld) {
    const bool system = altHeld || code == "F10" || code == "AltLeft" || code == "AltRight";
    return Message{window, system ? kWmSysKeyDown : kWmKeyDown, VirtualKeyOf(code), 0};
}

std::optional<Message> TranslateButton(WindowHandle window, bool pressed, int button, int x, int y) {
    const std::intptr_t point = MakePointParam(x, y);
    switch (button) {
        case 0:
            return Message{window, pressed ? kWmLButtonDown : kWmLButtonUp, 0, point};
        case 1:
            return Message{window, pressed ? kWmMButtonDown : kWmMButtonUp, 0, point};
        case 2:
            return Message{window, pressed ? kWmRButtonDown : kWmRButtonUp, 0, point};
        case 3:
        case 4:
            // XBUTTON1 and XBUTTON2 in wParam's high word.
            return Message{window, pressed ? kWmXButtonDown : kWmXButtonUp,
                           static_cast<std::uintptr_t>(button - 2) << 16, point};
        default:
            return std::nullopt;
    }
}

WheelMessages TranslateWheel(WindowHandle window, double deltaX, double deltaY, int x, int y) {
    const std::intptr_t point = MakePointParam(x, y);
    WheelMessages wheel;
    if (deltaY != 0)
        wheel.Vertical = Message{window, kWmMouseWheel, WheelParam(deltaY < 0 ? kWheelDelta : -kWheelDelta), point};
    if (deltaX != 0)
        wheel.Horizontal = Message{window, kWmMouseHWheel, WheelParam(deltaX > 0 ? kWheelDelta : -kWheelDelta), point};
    return wheel;
}

int DevicePixel(double cssOffset, double devicePixelRatio) {
    return static_cast<int>(std::floor(cssOffset * devicePixelRatio));
}

}  // namespace velora::platform::web
