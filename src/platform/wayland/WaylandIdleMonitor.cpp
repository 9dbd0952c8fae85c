// IdleMonitor for a Wayland session: a connection of its own to the
// compositor, kept across the saver's runs, with the compositor's idle
// notification where it has one; else GNOME's idle monitor on the session
// bus. The session bus, where there is one, also tells of the lock screen.
#include <poll.h>
#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>

#include "base/Errors.h"
#include "ext-idle-notify-v1-client-protocol.h"
#include "kde-idle-client-protocol.h"
#include "platform/Platform.h"
#include "platform/wayland/WaylandOutputSurfaces.h"
#if defined(VELORA_HAVE_SDBUS)
#include "platform/dbus/DbusSession.h"
#endif

namespace velora::platform::wayland {

namespace {

struct IdleListeners;

class WaylandIdleMonitor : public IdleMonitor {
public:
    explicit WaylandIdleMonitor(std::uint32_t seconds);
    ~WaylandIdleMonitor() override;
    WaylandIdleMonitor(const WaylandIdleMonitor&) = delete;
    WaylandIdleMonitor& operator=(const WaylandIdleMonitor&) = delete;

    // Whether the session tells the idle time in one of the ways known.
    bool Watching() const { return FSource != nullptr; }
    const char* Source() const override { return FSource; }
    Event Next(int timeoutMs) override;

private:
    friend struct IdleListeners;

    void Global(std::uint32_t name, const char* interface, std::uint32_t version);
    void Wait(int timeoutMs);
    [[noreturn]] void Lost() const;

    wl_display* FDisplay = nullptr;
    wl_registry* FRegistry = nullptr;
    wl_seat* FSeat = nullptr;
    ext_idle_notifier_v1* FNotifier = nullptr;
    org_kde_kwin_idle* FKdeIdle = nullptr;
    ext_idle_notification_v1* FNotification = nullptr;
    org_kde_kwin_idle_timeout* FKdeTimeout = nullptr;
#if defined(VELORA_HAVE_SDBUS)
    std::unique_ptr<dbus::DbusSession> FBus;
#endif
    const char* FSource = nullptr;
    std::deque<Event> FEvents;
};

struct IdleListeners {
    static void Global(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version) {
        static_cast<WaylandIdleMonitor*>(data)->Global(name, interface, version);
    }
    static void GlobalRemove(void*, wl_registry*, std::uint32_t) {}
    static constexpr wl_registry_listener kRegistry = {Global, GlobalRemove};

    static void Idled(void* data, ext_idle_notification_v1*) {
        static_cast<WaylandIdleMonitor*>(data)->FEvents.push_back(IdleMonitor::Event::Idle);
    }
    // The saver's own input rules end its run; the user's return needs no event.
    static void Resumed(void*, ext_idle_notification_v1*) {}
    static constexpr ext_idle_notification_v1_listener kNotification = {Idled, Resumed};

    static void KdeIdle(void* data, org_kde_kwin_idle_timeout*) {
        static_cast<WaylandIdleMonitor*>(data)->FEvents.push_back(IdleMonitor::Event::Idle);
    }
    static void KdeResumed(void*, org_kde_kwin_idle_timeout*) {}
    static constexpr org_kde_kwin_idle_timeout_listener kKdeTimeout = {KdeIdle, KdeResumed};
};

}  // namespace

WaylandIdleMonitor::WaylandIdleMonitor(std::uint32_t seconds) {
    FDisplay = ConnectToCompositor();
    FRegistry = wl_display_get_registry(FDisplay);
    wl_registry_add_listener(FRegistry, &IdleListeners::kRegistry, this);
    if (wl_display_roundtrip(FDisplay) < 0) Lost();
    const std::uint32_t ms = seconds * 1000;
    if (FSeat != nullptr && FNotifier != nullptr) {
        FNotification = ext_idle_notifier_v1_get_idle_notification(FNotifier, ms, FSeat);
        ext_idle_notification_v1_add_listener(FNotification, &IdleListeners::kNotification, this);
        FSource = "ext-idle-notify-v1";
    } else if (FSeat != nullptr && FKdeIdle != nullptr) {
        FKdeTimeout = org_kde_kwin_idle_get_idle_timeout(FKdeIdle, FSeat, ms);
        org_kde_kwin_idle_timeout_add_listener(FKdeTimeout, &IdleListeners::kKdeTimeout, this);
        FSource = "org_kde_kwin_idle";
    }
#if defined(VELORA_HAVE_SDBUS)
    FBus = dbus::DbusSession::Connect();
    if (FSource == nullptr && FBus && FBus->WatchMutterIdle(ms)) FSource = "org.gnome.Mutter.IdleMonitor";
#endif
    if (wl_display_flush(FDisplay) < 0 && errno != EAGAIN) Lost();
}

WaylandIdleMonitor::~WaylandIdleMonitor() {
    if (FNotification != nullptr) ext_idle_notification_v1_destroy(FNotification);
    if (FKdeTimeout != nullptr) org_kde_kwin_idle_timeout_release(FKdeTimeout);
    if (FNotifier != nullptr) ext_idle_notifier_v1_destroy(FNotifier);
    if (FKdeIdle != nullptr) org_kde_kwin_idle_destroy(FKdeIdle);
    if (FSeat != nullptr) wl_seat_destroy(FSeat);
    wl_registry_destroy(FRegistry);
    wl_display_disconnect(FDisplay);
}

void WaylandIdleMonitor::Global(std::uint32_t name, const char* interface, std::uint32_t) {
    // The first seat: idle time is the session's, whichever seat is used.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && FSeat == nullptr) {
        FSeat = static_cast<wl_seat*>(wl_registry_bind(FRegistry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
        FNotifier =
            static_cast<ext_idle_notifier_v1*>(wl_registry_bind(FRegistry, name, &ext_idle_notifier_v1_interface, 1));
    } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
        FKdeIdle = static_cast<org_kde_kwin_idle*>(wl_registry_bind(FRegistry, name, &org_kde_kwin_idle_interface, 1));
    }
}

void WaylandIdleMonitor::Lost() const {
    if (wl_display_get_error(FDisplay) == EPROTO) throw DisplayError(msg::kCompositorProtocolError);
    throw DisplayError(msg::kCompositorLost);
}

IdleMonitor::Event WaylandIdleMonitor::Next(int timeoutMs) {
    if (FEvents.empty()) Wait(timeoutMs);
    if (FEvents.empty()) return Event::None;
    const Event event = FEvents.front();
    FEvents.pop_front();
    return event;
}

// The compositor's events are read even where the bus is the source: a
// client that leaves them unread is disconnected once its queue fills.
void WaylandIdleMonitor::Wait(int timeoutMs) {
    while (wl_display_prepare_read(FDisplay) != 0)
        if (wl_display_dispatch_pending(FDisplay) < 0) Lost();
    if (wl_display_flush(FDisplay) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(FDisplay);
        Lost();
    }
    pollfd fds[2] = {{wl_display_get_fd(FDisplay), POLLIN, 0}, {-1, 0, 0}};
#if defined(VELORA_HAVE_SDBUS)
    if (FBus) fds[1] = {FBus->Fd(), FBus->PollEvents(), 0};
#endif
    const int ready = FEvents.empty() ? poll(fds, 2, timeoutMs) : 0;
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
        if (wl_display_read_events(FDisplay) < 0) Lost();
    } else {
        wl_display_cancel_read(FDisplay);
        if (ready > 0 && (fds[0].revents & (POLLERR | POLLHUP)) != 0) Lost();
    }
    if (wl_display_dispatch_pending(FDisplay) < 0) Lost();
#if defined(VELORA_HAVE_SDBUS)
    if (FBus) FBus->Process(FEvents);
#endif
}

}  // namespace velora::platform::wayland

namespace velora::platform {

std::unique_ptr<IdleMonitor> CreateIdleMonitor(std::uint32_t seconds) {
    auto monitor = std::make_unique<wayland::WaylandIdleMonitor>(seconds);
    if (!monitor->Watching()) return nullptr;
    return monitor;
}

}  // namespace velora::platform
