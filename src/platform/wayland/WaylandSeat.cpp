#include "platform/wayland/WaylandSeat.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstring>

#include "platform/wayland/WaylandEvents.h"
#include "platform/wayland/WaylandSurface.h"

namespace velora::platform::wayland {

// Every event of the versions bound has a handler. Listeners are filled by
// name where the system's headers may add members (libwayland 1.22 added one
// to wl_pointer_listener): those stay null, since the versions bound never
// send their events.
struct SeatListeners {
    static WaylandSeat& Of(void* data) { return *static_cast<WaylandSeat*>(data); }

    static void Capabilities(void* data, wl_seat*, std::uint32_t capabilities) { Of(data).Capabilities(capabilities); }
    static void Name(void*, wl_seat*, const char*) {}
    static constexpr wl_seat_listener kSeat = {Capabilities, Name};

    static void KeyboardKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1) Of(data).Keymap(fd, size);
        close(fd);
    }
    static void KeyboardEnter(void* data, wl_keyboard*, std::uint32_t, wl_surface* surface, wl_array*) {
        Of(data).FKeyboardFocus = WaylandSurface::Of(surface);
    }
    static void KeyboardLeave(void* data, wl_keyboard*, std::uint32_t, wl_surface*) {
        Of(data).FKeyboardFocus = nullptr;
    }
    static void KeyboardKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
                            std::uint32_t state) {
        WaylandSeat& seat = Of(data);
        if (state != WL_KEYBOARD_KEY_STATE_PRESSED) return;
        // Without a keymap every key is some key other than Pause.
        xkb_keysym_t keysym = XKB_KEY_NoSymbol;
        bool alt = false;
        if (seat.FKeys != nullptr) {
            keysym = xkb_state_key_get_one_sym(seat.FKeys, key + 8);  // evdev to XKB key codes
            alt = xkb_state_mod_name_is_active(seat.FKeys, XKB_MOD_NAME_ALT, XKB_STATE_MODS_EFFECTIVE) > 0;
        }
        seat.Post(seat.FKeyboardFocus, TranslateKeyPress(0, keysym, alt));
    }
    static void KeyboardModifiers(void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed,
                                  std::uint32_t latched, std::uint32_t locked, std::uint32_t group) {
        WaylandSeat& seat = Of(data);
        if (seat.FKeys != nullptr) xkb_state_update_mask(seat.FKeys, depressed, latched, locked, 0, 0, group);
    }
    static void KeyboardRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
    static constexpr wl_keyboard_listener kKeyboard = {KeyboardKeymap, KeyboardEnter,     KeyboardLeave,
                                                       KeyboardKey,    KeyboardModifiers, KeyboardRepeatInfo};

    static void PointerEnter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface, wl_fixed_t x,
                             wl_fixed_t y) {
        WaylandSeat& seat = Of(data);
        seat.FPointerFocus = WaylandSurface::Of(surface);
        seat.PointerAt(x, y);
        wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);  // no cursor over our surfaces
    }
    static void PointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface*) { Of(data).FPointerFocus = nullptr; }
    static void PointerMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
        WaylandSeat& seat = Of(data);
        seat.PointerAt(x, y);
        seat.Post(seat.FPointerFocus, Message{0, kWmMouseMove, 0, MakePointParam(seat.FPointerX, seat.FPointerY)});
    }
    static void PointerButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                              std::uint32_t state) {
        WaylandSeat& seat = Of(data);
        const bool pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
        if (const auto msg = TranslateButton(0, pressed, button, seat.FPointerX, seat.FPointerY))
            seat.Post(seat.FPointerFocus, *msg);
    }
    static void PointerAxis(void* data, wl_pointer*, std::uint32_t, std::uint32_t axis, wl_fixed_t value) {
        WaylandSeat& seat = Of(data);
        if (const auto msg =
                TranslateAxis(0, axis == WL_POINTER_AXIS_VERTICAL_SCROLL, value, seat.FPointerX, seat.FPointerY))
            seat.Post(seat.FPointerFocus, *msg);
    }
    static void PointerFrame(void*, wl_pointer*) {}
    static void PointerAxisSource(void*, wl_pointer*, std::uint32_t) {}
    static void PointerAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
    static void PointerAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
    static constexpr wl_pointer_listener kPointer = [] {
        wl_pointer_listener listener{};
        listener.enter = PointerEnter;
        listener.leave = PointerLeave;
        listener.motion = PointerMotion;
        listener.button = PointerButton;
        listener.axis = PointerAxis;
        listener.frame = PointerFrame;
        listener.axis_source = PointerAxisSource;
        listener.axis_stop = PointerAxisStop;
        listener.axis_discrete = PointerAxisDiscrete;
        return listener;
    }();
};

WaylandSeat::WaylandSeat(wl_seat* seat, std::uint32_t name, xkb_context* xkb, std::vector<Message>& input)
    : FProxy(seat), FName(name), FXkb(xkb), FInput(input) {
    wl_seat_add_listener(FProxy, &SeatListeners::kSeat, this);
}

WaylandSeat::~WaylandSeat() {
    Capabilities(0);
    if (FKeys != nullptr) xkb_state_unref(FKeys);
    if (FKeymap != nullptr) xkb_keymap_unref(FKeymap);
    wl_seat_destroy(FProxy);
}

void WaylandSeat::Forget(const WaylandSurface& surface) {
    if (FKeyboardFocus == &surface) FKeyboardFocus = nullptr;
    if (FPointerFocus == &surface) FPointerFocus = nullptr;
}

void WaylandSeat::Capabilities(std::uint32_t capabilities) {
    const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    if (keyboard && FKeyboard == nullptr) {
        FKeyboard = wl_seat_get_keyboard(FProxy);
        wl_keyboard_add_listener(FKeyboard, &SeatListeners::kKeyboard, this);
    } else if (!keyboard && FKeyboard != nullptr) {
        wl_keyboard_release(FKeyboard);
        FKeyboard = nullptr;
        FKeyboardFocus = nullptr;
    }
    if (pointer && FPointer == nullptr) {
        FPointer = wl_seat_get_pointer(FProxy);
        wl_pointer_add_listener(FPointer, &SeatListeners::kPointer, this);
    } else if (!pointer && FPointer != nullptr) {
        wl_pointer_release(FPointer);
        FPointer = nullptr;
        FPointerFocus = nullptr;
    }
}

void WaylandSeat::Keymap(int fd, std::uint32_t size) {
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (text == MAP_FAILED) return;
    xkb_keymap* keymap =
        xkb_keymap_new_from_buffer(FXkb, static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size),
                                   XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (keymap == nullptr) return;
    if (FKeys != nullptr) xkb_state_unref(FKeys);
    if (FKeymap != nullptr) xkb_keymap_unref(FKeymap);
    FKeymap = keymap;
    FKeys = xkb_state_new(keymap);
}

void WaylandSeat::PointerAt(std::int32_t x, std::int32_t y) {
    const int scale = FPointerFocus != nullptr ? FPointerFocus->Scale() : kScaleDenominator;
    FPointerX = ToPixels(x, scale);
    FPointerY = ToPixels(y, scale);
}

void WaylandSeat::Post(const WaylandSurface* surface, Message msg) {
    msg.window = surface != nullptr ? surface->Handle() : 0;
    FInput.push_back(msg);
}

}  // namespace velora::platform::wayland
