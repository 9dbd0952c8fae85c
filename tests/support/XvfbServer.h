#pragma once
// A private X server for a test: Xvfb on a display number that the server
// picks itself among the free ones, with a black root window and no TCP
// port. The constructor returns once the server accepts connections; the
// destructor stops it and waits for it. The server also ends when the test
// program dies, however it dies, so nothing outlives the tests.
#include <sys/types.h>

#include <string>
#include <vector>

struct _XDisplay;

namespace velora::testing {

// ":N"
std::string DisplayName(int number);

// True when no live X server holds display number `number`.
bool DisplayNumberFree(int number);

class XvfbServer {
public:
    // `extraArguments` go to the server after the screen, e.g. "+extension" lists.
    XvfbServer(int width, int height, const std::vector<std::string>& extraArguments = {});
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool Running() const { return FPid > 0; }
    // ":N", or empty when no server could be started.
    const std::string& Display() const { return FDisplay; }
    int Number() const { return FNumber; }
    pid_t Pid() const { return FPid; }
    // Why no server runs, with the path of the log of its own messages.
    const std::string& Failure() const { return FFailure; }

private:
    void Start(int width, int height, const std::vector<std::string>& extraArguments);

    pid_t FPid = -1;
    // Xvfb -terminate exits with its last client: this one lives as long as
    // the server is wanted, so the server never resets under a test either.
    _XDisplay* FKeepAlive = nullptr;
    int FNumber = -1;
    std::string FDisplay;
    std::string FLogPath;
    std::string FFailure;
};

}  // namespace velora::testing
