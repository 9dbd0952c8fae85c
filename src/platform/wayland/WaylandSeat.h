#pragma once
// A seat of the compositor: its keyboard (with the keymap it sends, through
// xkbcommon) and its pointer, turned into the messages of the surface they
// are over. The pointer is hidden over our surfaces.
#include <cstdint>
#include <vector>

#include "platform/Platform.h"

struct wl_keyboard;
struct wl_pointer;
struct wl_seat;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace velora::platform::wayland {

class WaylandSurface;

class WaylandSeat {
public:
    // Takes the bound `seat`, known in the registry by `name`; keymaps are
    // compiled in `xkb`, and messages are added to `input`. Both must outlive it.
    WaylandSeat(wl_seat* seat, std::uint32_t name, xkb_context* xkb, std::vector<Message>& input);
    // Releases the keyboard and pointer and destroys the seat.
    ~WaylandSeat();
    WaylandSeat(const WaylandSeat&) = delete;
    WaylandSeat& operator=(const WaylandSeat&) = delete;

    std::uint32_t Name() const { return FName; }
    // The surface goes away: neither the keyboard nor the pointer is on it.
    void Forget(const WaylandSurface& surface);

private:
    friend struct SeatListeners;

    void Capabilities(std::uint32_t capabilities);
    void Keymap(int fd, std::uint32_t size);
    void PointerAt(std::int32_t x, std::int32_t y);
    // Queues `msg` as the surface's (null: no window's).
    void Post(const WaylandSurface* surface, Message msg);

    wl_seat* FProxy;
    std::uint32_t FName;
    xkb_context* FXkb;
    std::vector<Message>& FInput;
    wl_keyboard* FKeyboard = nullptr;
    wl_pointer* FPointer = nullptr;
    xkb_keymap* FKeymap = nullptr;
    xkb_state* FKeys = nullptr;
    WaylandSurface* FKeyboardFocus = nullptr;
    WaylandSurface* FPointerFocus = nullptr;
    int FPointerX = 0;  // pixels in FPointerFocus
    int FPointerY = 0;
};

}  // namespace velora::platform::wayland
