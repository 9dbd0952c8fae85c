#pragma once
// GNOME's compositor for the tests: a headless mutter with two virtual
// monitors of 1280x720 on a session bus of its own (dbus-run-session), with
// what its D-Bus side offers a test: input through its RemoteDesktop
// interface, and the idle inhibitors of a gnome-session that the test
// stands in for (org.gnome.SessionManager's InhibitedActions, which mutter
// reads) with the lock screen's ActiveChanged signal.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "Compositor.h"

struct sd_bus;

namespace velora::testing {

// What gnome-session would serve on the bus, from a thread of its own.
class SessionManagerStandIn {
public:
    explicit SessionManagerStandIn(const std::string& busAddress);
    ~SessionManagerStandIn();
    SessionManagerStandIn(const SessionManagerStandIn&) = delete;
    SessionManagerStandIn& operator=(const SessionManagerStandIn&) = delete;

    // gnome-session's inhibited actions (8: idle), told to whoever watches.
    void SetInhibitedActions(std::uint32_t flags);
    // How often the property has been read (mutter reads it when it sees the name).
    int Reads() const { return FReads; }
    // org.gnome.ScreenSaver's ActiveChanged: the lock screen came on (true)
    // or went (false).
    void SetScreenLocked(bool locked) { FLockSignal = locked ? 1 : 0; }

private:
    friend struct StandInHandlers;
    void Serve();

    sd_bus* FBus = nullptr;
    std::atomic<std::uint32_t> FInhibited{0};
    std::atomic<bool> FChanged{false};
    std::atomic<int> FLockSignal{-1};  // -1: none to send
    std::atomic<int> FReads{0};
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

class MutterTest : public CompositorTest {
protected:
    MutterTest() : CompositorTest({"/usr/bin/mutter", "/usr/bin/dbus-run-session", "/bin/sh"}) {}

    void SetUp() override;
    void TearDown() override;

    const std::string& BusAddress() const { return FBusAddress; }
    // The environment of a client: the display, the bus, the sanitizers'.
    Environment ClientEnv() const;

    // Input through org.gnome.Mutter.RemoteDesktop, from one session: the
    // compositor takes a session's input only from the connection that made it.
    void StartRemoteDesktop();
    void Key(std::uint32_t keysym);  // pressed and released
    void PointerMove(double dx, double dy);

private:
    void CallSession(const char* method, const char* types, ...);

    std::string FBusAddress;
    sd_bus* FBus = nullptr;
    std::string FSession;  // the RemoteDesktop session's object
};

}  // namespace velora::testing
