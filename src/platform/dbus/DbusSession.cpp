#include "platform/dbus/DbusSession.h"

#include <poll.h>
#include <systemd/sd-bus.h>

#include "base/Errors.h"

namespace velora::platform::dbus {

namespace {

constexpr const char* kMutter = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kMutterCore = "/org/gnome/Mutter/IdleMonitor/Core";

// A method of Mutter's idle monitor that answers a watch's id; 0 on failure.
template <typename... Args>
std::uint32_t AddWatch(sd_bus* bus, const char* method, const char* types, Args... args) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    std::uint32_t id = 0;
    if (sd_bus_call_method(bus, kMutter, kMutterCore, kMutter, method, &error, &reply, types, args...) >= 0)
        sd_bus_message_read(reply, "u", &id);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return id;
}

}  // namespace

struct DbusHandlers {
    static int WatchFired(sd_bus_message* message, void* data, sd_bus_error*) {
        auto* session = static_cast<DbusSession*>(data);
        std::uint32_t id = 0;
        if (sd_bus_message_read(message, "u", &id) < 0 || id == 0 || session->FEvents == nullptr) return 0;
        if (id == session->FIdleWatch) {
            session->FEvents->push_back(DbusSession::Event::Idle);
        } else if (id == session->FActiveWatch) {
            // A user-active watch fires once and is gone.
            session->FActiveWatch = 0;
            session->FEvents->push_back(DbusSession::Event::UserActive);
        }
        return 0;
    }
    static int ActiveChanged(sd_bus_message* message, void* data, sd_bus_error*) {
        auto* session = static_cast<DbusSession*>(data);
        int active = 0;
        if (sd_bus_message_read(message, "b", &active) >= 0 && session->FEvents != nullptr)
            session->FEvents->push_back(active != 0 ? DbusSession::Event::Locked : DbusSession::Event::Unlocked);
        return 0;
    }
};

std::unique_ptr<DbusSession> DbusSession::Connect() {
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return nullptr;
    std::unique_ptr<DbusSession> session(new DbusSession(bus));
    // Signals are matched here by path, interface and member: a well-known
    // sender name cannot be told from the unique name the signal carries.
    const bool watched = sd_bus_match_signal(bus, nullptr, nullptr, kMutterCore, kMutter, "WatchFired",
                                             DbusHandlers::WatchFired, session.get()) >= 0 &&
                         sd_bus_match_signal(bus, nullptr, nullptr, "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver",
                                             "ActiveChanged", DbusHandlers::ActiveChanged, session.get()) >= 0 &&
                         sd_bus_match_signal(bus, nullptr, nullptr, nullptr, "org.freedesktop.ScreenSaver",
                                             "ActiveChanged", DbusHandlers::ActiveChanged, session.get()) >= 0;
    return watched ? std::move(session) : nullptr;
}

DbusSession::~DbusSession() {
    if (FActiveWatch != 0)
        sd_bus_call_method(FBus, kMutter, kMutterCore, kMutter, "RemoveWatch", nullptr, nullptr, "u", FActiveWatch);
    if (FIdleWatch != 0)
        sd_bus_call_method(FBus, kMutter, kMutterCore, kMutter, "RemoveWatch", nullptr, nullptr, "u", FIdleWatch);
    sd_bus_flush_close_unref(FBus);
}

bool DbusSession::WatchMutterIdle(std::uint64_t ms) {
    FIdleWatch = AddWatch(FBus, "AddIdleWatch", "t", ms);
    return FIdleWatch != 0;
}

void DbusSession::WatchUserActive() {
    if (FActiveWatch == 0) FActiveWatch = AddWatch(FBus, "AddUserActiveWatch", "");
}

int DbusSession::Fd() const { return sd_bus_get_fd(FBus); }

short DbusSession::PollEvents() const {
    const int events = sd_bus_get_events(FBus);
    return static_cast<short>(events < 0 ? POLLIN : events);
}

void DbusSession::Process(std::deque<Event>& events) {
    const std::size_t before = events.size();
    FEvents = &events;
    int result = 0;
    while ((result = sd_bus_process(FBus, nullptr)) > 0) {
    }
    FEvents = nullptr;
    if (result < 0) throw DisplayError(msg::kSessionBusLost);
    // From the idle time on, the user's return is an event of its own.
    for (std::size_t i = before; i < events.size(); ++i)
        if (events[i] == Event::Idle) WatchUserActive();
}

}  // namespace velora::platform::dbus
