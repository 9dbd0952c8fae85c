#pragma once
// A private X server for a test: Xvfb on a display number between :90 and
// :140 that nobody holds, with a black root window and no TCP port. The
// constructor returns once the server accepts connections; the destructor
// stops it and waits for it. The server also ends when the test program
// dies, however it dies, so nothing outlives the tests.
#include <sys/types.h>

#include <string>

struct _XDisplay;

namespace velora::testing {

// ":N"
std::string DisplayName(int number);

// True when no live X server holds display number `number`.
bool DisplayNumberFree(int number);

class XvfbServer {
public:
    // `depth` bits per pixel on the screen; the server offers its visuals for it.
    XvfbServer(int width, int height, int depth = 24);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return FPid > 0; }
    // ":N", or empty when no server could be started.
    const std::string& Display() const { return FDisplay; }
    int Number() const { return FNumber; }
    pid_t Pid() const { return FPid; }

private:
    bool TryStart(int number, int width, int height, int depth);

    pid_t FPid = -1;
    // Xvfb -terminate exits with its last client: this one lives as long as
    // the server is wanted, so the server never resets under a test either.
    _XDisplay* FKeepAlive = nullptr;
    int FNumber = -1;
    std::string FDisplay;
};

}  // namespace velora::testing
