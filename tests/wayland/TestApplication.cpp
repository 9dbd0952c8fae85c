// velora-test-app: an application's window for the tests, a small black
// toplevel that takes the keyboard (its protocol log, WAYLAND_DEBUG=1, tells
// the keys it got). With --inhibit it also inhibits idle, as a video player
// does, through the compositor's idle-inhibit protocol. It answers "ok" once
// the compositor has configured the window (and has the inhibitor), and
// again once "release" on stdin has taken the inhibitor away.
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

constexpr int kSize = 64;

struct App {
    wl_compositor* Compositor = nullptr;
    wl_shm* Shm = nullptr;
    wl_seat* Seat = nullptr;
    xdg_wm_base* WmBase = nullptr;
    zwp_idle_inhibit_manager_v1* Inhibitors = nullptr;
    bool Configured = false;
};

void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* app = static_cast<App*>(data);
    const auto bind = [&](const wl_interface* wanted) { return wl_registry_bind(registry, name, wanted, 1); };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0)
        app->Compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface));
    else if (std::strcmp(interface, wl_shm_interface.name) == 0)
        app->Shm = static_cast<wl_shm*>(bind(&wl_shm_interface));
    else if (std::strcmp(interface, wl_seat_interface.name) == 0 && app->Seat == nullptr)
        app->Seat = static_cast<wl_seat*>(bind(&wl_seat_interface));
    else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0)
        app->WmBase = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface));
    else if (std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0)
        app->Inhibitors = static_cast<zwp_idle_inhibit_manager_v1*>(bind(&zwp_idle_inhibit_manager_v1_interface));
}
void GlobalRemove(void*, wl_registry*, std::uint32_t) {}
constexpr wl_registry_listener kRegistryListener = {Global, GlobalRemove};

void Ping(void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); }
constexpr xdg_wm_base_listener kWmBaseListener = {Ping};

void Configure(void* data, xdg_surface* surface, std::uint32_t serial) {
    xdg_surface_ack_configure(surface, serial);
    static_cast<App*>(data)->Configured = true;
}
constexpr xdg_surface_listener kSurfaceListener = {Configure};

// The keys come to the protocol log; the seat's keyboard is all it needs.
void Capabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
    static bool bound = false;
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) == 0 || bound) return;
    bound = true;
    static const wl_keyboard_listener kKeys = {
        [](void*, wl_keyboard*, std::uint32_t, int fd, std::uint32_t) { close(fd); },
        [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
        [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
        [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
        [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
    };
    wl_keyboard_add_listener(wl_seat_get_keyboard(seat), &kKeys, data);
}
void SeatName(void*, wl_seat*, const char*) {}
constexpr wl_seat_listener kSeatListener = {Capabilities, SeatName};

wl_buffer* BlackBuffer(wl_shm* shm) {
    const int stride = kSize * 4;
    const int fd = memfd_create("velora-test-app", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, stride * kSize) != 0) return nullptr;  // zeros: black
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, stride * kSize);
    wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, kSize, kSize, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

}  // namespace

int main(int argc, char** argv) {
    const bool inhibit = argc == 2 && std::strcmp(argv[1], "--inhibit") == 0;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "velora-test-app: no compositor\n");
        return 1;
    }
    App app;
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, &app);
    wl_display_roundtrip(display);
    if (app.Compositor == nullptr || app.Shm == nullptr || app.WmBase == nullptr || app.Seat == nullptr ||
        (inhibit && app.Inhibitors == nullptr)) {
        std::fprintf(stderr, "velora-test-app: the compositor lacks what an application window needs\n");
        return 1;
    }
    xdg_wm_base_add_listener(app.WmBase, &kWmBaseListener, &app);
    wl_seat_add_listener(app.Seat, &kSeatListener, &app);
    wl_surface* surface = wl_compositor_create_surface(app.Compositor);
    xdg_surface* xdg = xdg_wm_base_get_xdg_surface(app.WmBase, surface);
    xdg_surface_add_listener(xdg, &kSurfaceListener, &app);
    xdg_toplevel_set_title(xdg_surface_get_toplevel(xdg), "velora-test-app");
    wl_surface_commit(surface);
    while (!app.Configured)
        if (wl_display_dispatch(display) < 0) return 1;
    wl_surface_attach(surface, BlackBuffer(app.Shm), 0, 0);
    wl_surface_commit(surface);
    zwp_idle_inhibitor_v1* inhibitor =
        inhibit ? zwp_idle_inhibit_manager_v1_create_inhibitor(app.Inhibitors, surface) : nullptr;
    if (wl_display_roundtrip(display) < 0) return 1;
    std::cout << "ok" << std::endl;

    // The compositor's events are handled while it waits for the test, so
    // that its protocol log shows the keys as they come.
    std::string pending;
    for (;;) {
        wl_display_flush(display);
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {wl_display_get_fd(display), POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if ((fds[1].revents & POLLIN) != 0 && wl_display_dispatch(display) < 0) return 1;
        if ((fds[0].revents & (POLLIN | POLLHUP)) == 0) continue;
        char chunk[256];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) break;
        pending.append(chunk, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            if (pending.compare(0, end, "release") != 0 || inhibitor == nullptr) {
                std::cerr << "velora-test-app: unknown command \"" << pending.substr(0, end) << "\"" << std::endl;
                return 2;
            }
            zwp_idle_inhibitor_v1_destroy(inhibitor);
            inhibitor = nullptr;
            if (wl_display_roundtrip(display) < 0) return 1;
            std::cout << "ok" << std::endl;
        }
    }
    wl_display_disconnect(display);
    return 0;
}
