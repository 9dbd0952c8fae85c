#pragma once
// X11 input in Windows' terms. Pure functions of the numbers an X event
// carries, so they need no display.
#include <cstdint>
#include <optional>

#include "platform/Platform.h"

namespace velora::platform::x11 {

// The virtual-key code for a keysym (as XLookupKeysym gives it for index 0);
// 0 for keys that have none.
std::uintptr_t VirtualKeyOf(unsigned long keysym);

// A key press: WM_KEYDOWN, or WM_SYSKEYDOWN for F10, the Alt keys and any key
// pressed while Alt (Mod1) is held.
Message TranslateKeyPress(WindowHandle window, unsigned long keysym, unsigned int state);

// A button press or release at a client position. Buttons 4 and 5 are the
// vertical wheel, 6 and 7 the horizontal one (no message on their release),
// 8 and up the extra buttons.
std::optional<Message> TranslateButton(WindowHandle window, bool pressed, unsigned int button, int x, int y);

// Keyboard and mouse messages: what a disabled window never gets.
constexpr bool IsInputMessage(std::uint32_t message) {
    return message == kWmKeyDown || message == kWmSysKeyDown || (message >= kWmMouseMove && message <= kWmMouseHWheel);
}

}  // namespace velora::platform::x11
