#pragma once
// The DOM's input in Windows' terms. Pure functions of what a DOM event
// carries, so they run without a browser.
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/Platform.h"

namespace velora::platform::web {

// The virtual-key code for a KeyboardEvent's `code` (the physical key);
// 0 for keys that have none.
std::uintptr_t VirtualKeyOf(std::string_view code);

// A key press: WM_KEYDOWN, or WM_SYSKEYDOWN for F10, the Alt keys and any key
// pressed while Alt is held.
Message TranslateKeyDown(WindowHandle window, std::string_view code, bool altHeld);

// A MouseEvent's `button` (0 main, 1 middle, 2 secondary, 3 and 4 the extra
// buttons) going down or up at a client position in device pixels.
std::optional<Message> TranslateButton(WindowHandle window, bool pressed, int button, int x, int y);

// A WheelEvent's deltas (any unit): one notch each way that moved, down and
// right being positive in the DOM, up and right in Windows.
struct WheelMessages {
    std::optional<Message> Vertical;
    std::optional<Message> Horizontal;
};
WheelMessages TranslateWheel(WindowHandle window, double deltaX, double deltaY, int x, int y);

// A CSS pixel offset in the element, in the device pixels of its drawing
// buffer.
int DevicePixel(double cssOffset, double devicePixelRatio);

}  // namespace velora::platform::web
