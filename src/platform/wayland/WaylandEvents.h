#pragma once
// Wayland input and scale in Windows' terms. Pure functions of the numbers
// the compositor sends (XKB keysyms, Linux button codes, 24.8 fixed-point
// positions, scales in 120ths), so they need no compositor.
#include <cstdint>
#include <optional>

#include "platform/Platform.h"

namespace velora::platform::wayland {

// Fractional scales are numerators over 120.
inline constexpr int kScaleDenominator = 120;

// The compositor's preferred fractional scale, at most 120 (in 120ths: 14400),
// which keeps the buffer sizes far inside int.
int PreferredScale(std::uint32_t numerator);

// Buffer pixels from a 24.8 fixed-point surface-local value at a scale in
// 120ths, rounded down.
int ToPixels(std::int32_t fixed, int scale);

// A surface-local size in pixels at a scale in 120ths, halves rounded away
// from zero; at least 1.
int ScaledSize(int size, int scale);

// What a surface covers of an output, surface-local, where the compositor
// configured `configured` (0: its choice left to us): the output's size in
// the compositor's space (xdg-output) where it is known, else its mode over
// its integer scale; at least 1.
int CoverSize(int configured, int logical, int mode, int scale);

// The virtual-key code for an XKB keysym; 0 for keys that have none.
std::uintptr_t VirtualKeyOf(std::uint32_t keysym);

// A key press: WM_KEYDOWN, or WM_SYSKEYDOWN for F10, the Alt keys and any key
// pressed while Alt is held.
Message TranslateKeyPress(WindowHandle window, std::uint32_t keysym, bool alt);

// A press or release of a Linux button code (BTN_LEFT...) at a client
// position: left, middle and right, and the extra buttons from BTN_SIDE on
// as XBUTTON1 and up; nothing for the others.
std::optional<Message> TranslateButton(WindowHandle window, bool pressed, std::uint32_t button, int x, int y);

// A wheel step of one axis (the vertical one or not) at a client position;
// positive values scroll down or right. Nothing for a value of 0.
std::optional<Message> TranslateAxis(WindowHandle window, bool vertical, std::int32_t value, int x, int y);

}  // namespace velora::platform::wayland
