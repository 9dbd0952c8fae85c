// velora-test-pointer: a pointer device for the tests, made with the
// compositor's virtual-pointer protocol. It reads one command a line from
// stdin and answers "ok" once the compositor has handled it:
//   move N DX DY    N motions of (DX, DY), each its own pointer frame
//   button CODE     press and release of a Linux button code (272 left)
//   wheel           one step of the vertical wheel
// The device lives until stdin closes, so that the seat keeps its pointer.
#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

struct Globals {
    wl_seat* Seat = nullptr;
    zwlr_virtual_pointer_manager_v1* Manager = nullptr;
};

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->Seat == nullptr)
        globals->Seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        globals->Manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
void GlobalRemove(void*, wl_registry*, std::uint32_t) {}
constexpr wl_registry_listener kRegistryListener = {Global, GlobalRemove};

std::uint32_t gTime = 0;

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "velora-test-pointer: no compositor\n");
        return 1;
    }
    Globals globals;
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.Manager == nullptr) {
        std::fprintf(stderr, "velora-test-pointer: the compositor has no virtual pointers\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.Manager, globals.Seat);
    wl_display_roundtrip(display);
    std::cout << "ok" << std::endl;

    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "move") {
            int count = 0;
            double dx = 0;
            double dy = 0;
            words >> count >> dx >> dy;
            for (int i = 0; i < count; ++i) {
                zwlr_virtual_pointer_v1_motion(pointer, ++gTime, wl_fixed_from_double(dx), wl_fixed_from_double(dy));
                zwlr_virtual_pointer_v1_frame(pointer);
            }
        } else if (command == "button") {
            std::uint32_t code = BTN_LEFT;
            words >> code;
            zwlr_virtual_pointer_v1_button(pointer, ++gTime, code, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, ++gTime, code, WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (command == "wheel") {
            zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
            zwlr_virtual_pointer_v1_axis_discrete(pointer, ++gTime, WL_POINTER_AXIS_VERTICAL_SCROLL,
                                                  wl_fixed_from_int(15), 1);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else {
            std::cerr << "velora-test-pointer: unknown command \"" << line << "\"" << std::endl;
            return 2;
        }
        if (wl_display_roundtrip(display) < 0) return 1;
        std::cout << "ok" << std::endl;
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_disconnect(display);
    return 0;
}
