#pragma once
// A private X server for one test program: Xvfb on a display number
// between :90 and :140 that nobody holds, listening on no TCP port. The
// constructor returns once the server accepts connections; the destructor
// stops it and waits for it. The server also ends by itself when the test
// program dies, so nothing outlives the tests.
#include <sys/types.h>

#include <string>

struct _XDisplay;

namespace velora::testing {

class XvfbServer {
public:
    XvfbServer(int width, int height);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return FPid > 0; }
    // ":N", or empty when no server could be started.
    const std::string& Display() const { return FDisplay; }
    int Number() const { return FNumber; }

private:
    bool TryStart(int number, int width, int height);

    pid_t FPid = -1;
    // Xvfb -terminate exits with its last client: this one lives as long as
    // the test program.
    _XDisplay* FKeepAlive = nullptr;
    int FNumber = -1;
    std::string FDisplay;
};

}  // namespace velora::testing
