// velora-test-inhibitor: an application that inhibits idle, as a video
// player does, through the compositor's idle-inhibit protocol on a surface
// of its own. It answers "ok" once the compositor has the inhibitor, and
// again once "release" on stdin has taken it away.
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "idle-inhibit-unstable-v1-client-protocol.h"

namespace {

struct Globals {
    wl_compositor* Compositor = nullptr;
    zwp_idle_inhibit_manager_v1* Manager = nullptr;
};

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0)
        globals->Compositor =
            static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 1));
    else if (std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0)
        globals->Manager = static_cast<zwp_idle_inhibit_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
}
void GlobalRemove(void*, wl_registry*, std::uint32_t) {}
constexpr wl_registry_listener kRegistryListener = {Global, GlobalRemove};

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "velora-test-inhibitor: no compositor\n");
        return 1;
    }
    Globals globals;
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.Compositor == nullptr || globals.Manager == nullptr) {
        std::fprintf(stderr, "velora-test-inhibitor: the compositor has no idle inhibitors\n");
        return 1;
    }
    wl_surface* surface = wl_compositor_create_surface(globals.Compositor);
    zwp_idle_inhibitor_v1* inhibitor = zwp_idle_inhibit_manager_v1_create_inhibitor(globals.Manager, surface);
    if (wl_display_roundtrip(display) < 0) return 1;
    std::cout << "ok" << std::endl;

    for (std::string line; std::getline(std::cin, line);) {
        if (line != "release" || inhibitor == nullptr) {
            std::cerr << "velora-test-inhibitor: unknown command \"" << line << "\"" << std::endl;
            return 2;
        }
        zwp_idle_inhibitor_v1_destroy(inhibitor);
        inhibitor = nullptr;
        if (wl_display_roundtrip(display) < 0) return 1;
        std::cout << "ok" << std::endl;
    }
    wl_display_disconnect(display);
    return 0;
}
