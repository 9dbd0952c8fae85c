#include "Mutter.h"

#include <systemd/sd-bus.h>

#include <cstdarg>
#include <filesystem>
#include <stdexcept>

namespace velora::testing {

namespace {

constexpr const char* kRemoteDesktop = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kDisplay = "velora-mutter";

sd_bus* Connect(const std::string& address) {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) return nullptr;
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
        sd_bus_unref(bus);
        return nullptr;
    }
    return bus;
}

std::string Describe(const sd_bus_error& error, int result) {
    return error.message != nullptr ? error.message : "error " + std::to_string(result);
}

}  // namespace

struct StandInHandlers {
    static int InhibitedActions(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* data,
                                sd_bus_error*) {
        auto* standIn = static_cast<SessionManagerStandIn*>(data);
        ++standIn->FReads;
        return sd_bus_message_append(reply, "u", standIn->FInhibited.load());
    }
};

namespace {
const sd_bus_vtable kSessionManager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("InhibitedActions", "u", StandInHandlers::InhibitedActions, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_VTABLE_END,
};
}  // namespace

SessionManagerStandIn::SessionManagerStandIn(const std::string& busAddress) : FBus(Connect(busAddress)) {
    if (FBus == nullptr) throw std::runtime_error("cannot connect to the session bus " + busAddress);
    if (sd_bus_add_object_vtable(FBus, nullptr, "/org/gnome/SessionManager", "org.gnome.SessionManager",
                                 kSessionManager, this) < 0 ||
        sd_bus_request_name(FBus, "org.gnome.SessionManager", 0) < 0)
        throw std::runtime_error("cannot serve org.gnome.SessionManager");
    FThread = std::thread([this] { Serve(); });
}

SessionManagerStandIn::~SessionManagerStandIn() {
    FStop = true;
    FThread.join();
    sd_bus_flush_close_unref(FBus);
}

void SessionManagerStandIn::SetInhibitedActions(std::uint32_t flags) {
    FInhibited = flags;
    FChanged = true;
}

void SessionManagerStandIn::Serve() {
    while (!FStop) {
        if (FChanged.exchange(false))
            sd_bus_emit_properties_changed(FBus, "/org/gnome/SessionManager", "org.gnome.SessionManager",
                                           "InhibitedActions", nullptr);
        if (const int locked = FLockSignal.exchange(-1); locked >= 0)
            sd_bus_emit_signal(FBus, "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "ActiveChanged", "b", locked);
        while (sd_bus_process(FBus, nullptr) > 0) {
        }
        sd_bus_wait(FBus, 20000);  // microseconds
    }
}

void MutterTest::SetUp() {
    CompositorTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // The scratch directory is 0700: mutter's runtime directory. The shell
    // tells the test the address of the bus dbus-run-session made.
    const std::string addressFile = Dir() + "/bus-address";
    Process& mutter = Start(
        {"/usr/bin/dbus-run-session", "--", "/bin/sh", "-c",
         "echo \"$DBUS_SESSION_BUS_ADDRESS\" >" + addressFile + ".part && mv " + addressFile + ".part " + addressFile +
             " && exec mutter --headless --no-x11 --wayland-display " + kDisplay +
             " --virtual-monitor 1280x720 --virtual-monitor 1280x720"},
        {{"PATH", "/usr/bin:/bin"}, {"HOME", Dir()}, {"XDG_RUNTIME_DIR", Dir()}, {"MUTTER_DEBUG_RESET_IDLETIME", "1"}});
    ASSERT_TRUE(WaitUntil([&] {
        return std::filesystem::exists(addressFile) && std::filesystem::exists(Dir() + "/" + kDisplay);
    })) << "mutter did not start: "
        << mutter.Stderr();
    FBusAddress = ReadFile(addressFile);
    while (!FBusAddress.empty() && FBusAddress.back() == '\n') FBusAddress.pop_back();
    FBus = Connect(FBusAddress);
    ASSERT_NE(FBus, nullptr) << "cannot connect to the session bus " << FBusAddress;
}

void MutterTest::TearDown() {
    sd_bus_flush_close_unref(FBus);
    FBus = nullptr;
    CompositorTest::TearDown();
}

Environment MutterTest::ClientEnv() const {
    Environment env{{"PATH", "/usr/bin:/bin"},
                    {"HOME", Dir()},
                    {"XDG_RUNTIME_DIR", Dir()},
                    {"WAYLAND_DISPLAY", kDisplay},
                    {"DBUS_SESSION_BUS_ADDRESS", FBusAddress}};
    env.merge(SanitizerEnv());
    return env;
}

void MutterTest::StartRemoteDesktop() {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    // The compositor's D-Bus side may come a moment after its socket.
    int result = 0;
    ASSERT_TRUE(WaitUntil([&] {
        sd_bus_error_free(&error);
        result = sd_bus_call_method(FBus, kRemoteDesktop, "/org/gnome/Mutter/RemoteDesktop", kRemoteDesktop,
                                    "CreateSession", &error, &reply, "");
        return result >= 0;
    })) << "no RemoteDesktop session: "
        << Describe(error, result);
    const char* path = nullptr;
    ASSERT_GE(sd_bus_message_read(reply, "o", &path), 0);
    FSession = path;
    sd_bus_message_unref(reply);
    CallSession("Start", "");
}

void MutterTest::Key(std::uint32_t keysym) {
    CallSession("NotifyKeyboardKeysym", "ub", keysym, 1);
    CallSession("NotifyKeyboardKeysym", "ub", keysym, 0);
}

void MutterTest::PointerMove(double dx, double dy) { CallSession("NotifyPointerMotionRelative", "dd", dx, dy); }

void MutterTest::CallSession(const char* method, const char* types, ...) {
    ASSERT_FALSE(FSession.empty()) << "no RemoteDesktop session";
    sd_bus_message* call = nullptr;
    ASSERT_GE(sd_bus_message_new_method_call(FBus, &call, kRemoteDesktop, FSession.c_str(),
                                             "org.gnome.Mutter.RemoteDesktop.Session", method),
              0);
    va_list args;
    va_start(args, types);
    const int appended = sd_bus_message_appendv(call, types, args);
    va_end(args);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int result = appended < 0 ? appended : sd_bus_call(FBus, call, 0, &error, nullptr);
    sd_bus_message_unref(call);
    EXPECT_GE(result, 0) << method << ": " << Describe(error, result);
    sd_bus_error_free(&error);
}

}  // namespace velora::testing
