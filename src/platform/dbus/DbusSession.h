#pragma once
// The user's session bus, through sd-bus: what GNOME's compositor tells of
// the idle time (org.gnome.Mutter.IdleMonitor, whose idle watches wait while
// gnome-session's inhibitors hold idle back) and the lock screens' ActiveChanged
// signals (org.gnome.ScreenSaver, org.freedesktop.ScreenSaver).
#include <cstdint>
#include <deque>
#include <memory>

#include "platform/Platform.h"

struct sd_bus;

namespace velora::platform::dbus {

class DbusSession {
public:
    using Event = IdleMonitor::Event;

    // Null when the session has no bus to connect to.
    static std::unique_ptr<DbusSession> Connect();
    ~DbusSession();
    DbusSession(const DbusSession&) = delete;
    DbusSession& operator=(const DbusSession&) = delete;

    // Asks GNOME's idle monitor to report `ms` of idle time, each time it
    // comes; false where no such monitor answers.
    bool WatchMutterIdle(std::uint64_t ms);

    int Fd() const;
    // The poll(2) events to wait for.
    short PollEvents() const;
    // Handles whatever has come and adds what it tells to `events`. Throws
    // DisplayError when the bus is lost.
    void Process(std::deque<Event>& events);

private:
    friend struct DbusHandlers;

    explicit DbusSession(sd_bus* bus) : FBus(bus) {}
    void WatchUserActive();

    sd_bus* FBus;
    std::uint32_t FIdleWatch = 0;          // 0: none
    std::uint32_t FActiveWatch = 0;        // 0: none waiting
    std::deque<Event>* FEvents = nullptr;  // while Process runs
};

}  // namespace velora::platform::dbus
