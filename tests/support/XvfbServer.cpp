#include "XvfbServer.h"

#include <X11/Xlib.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

namespace velora::testing {

namespace {

constexpr int kFirstDisplay = 90;
constexpr int kLastDisplay = 140;
constexpr auto kStartTimeout = std::chrono::seconds(15);
constexpr auto kStopTimeout = std::chrono::seconds(3);
constexpr auto kPollStep = std::chrono::milliseconds(20);

// Appended piece by piece: GCC 12 at -O3 warns falsely about "a" + b + "c".
std::string LockPath(int number) { return std::string("/tmp/.X").append(std::to_string(number)).append("-lock"); }
std::string SocketPath(int number) { return std::string("/tmp/.X11-unix/X").append(std::to_string(number)); }

// The pid recorded in a display's lock file, or -1.
pid_t LockHolder(int number) {
    std::ifstream lock(LockPath(number));
    long pid = -1;
    return lock >> pid ? static_cast<pid_t>(pid) : -1;
}

bool Alive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

bool Accepts(int number) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = SocketPath(number);
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// True once the child is gone: reaped now, or no longer ours to wait for.
bool Reaped(pid_t pid, bool block) {
    pid_t got = -1;
    do {
        got = waitpid(pid, nullptr, block ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    return got != 0;
}

pid_t Spawn(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid != 0) return pid;
    // The test program may have threads: only async-signal-safe calls until exec.
    setpgid(0, 0);
    // A test program killed outright closes no connection in an orderly way
    // and runs no destructor; this takes the server down with it all the same.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) signal(sig, SIG_DFL);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    execvp(args[0], args.data());
    _exit(127);
}

void Stop(pid_t pid) {
    // A clean shutdown removes the lock file and the socket; SIGKILL would not.
    kill(-pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
    while (!Reaped(pid, false)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-pid, SIGKILL);
            Reaped(pid, true);
            return;
        }
        std::this_thread::sleep_for(kPollStep);
    }
}

}  // namespace

std::string DisplayName(int number) { return std::string(":").append(std::to_string(number)); }

bool DisplayNumberFree(int number) {
    // A lock left by a server that died is stale: a new server takes it over.
    // A server started without a lock still answers on its socket.
    return !Alive(LockHolder(number)) && !Accepts(number);
}

XvfbServer::XvfbServer(int width, int height, int depth) {
    // Test programs run side by side: each starts its search somewhere else.
    const int count = kLastDisplay - kFirstDisplay + 1;
    const int first = static_cast<int>(getpid() % count);
    for (int i = 0; i < count; ++i) {
        const int number = kFirstDisplay + (first + i) % count;
        if (DisplayNumberFree(number) && TryStart(number, width, height, depth)) return;
    }
}

bool XvfbServer::TryStart(int number, int width, int height, int depth) {
    const std::string display = DisplayName(number);
    const std::string screen =
        std::to_string(width).append("x").append(std::to_string(height)).append("x").append(std::to_string(depth));
    // -terminate goes last: it would take a number after it for a delay.
    const pid_t pid = Spawn({"Xvfb", display, "-screen", "0", screen, "-nolisten", "tcp", "-br", "-terminate"});
    if (pid < 0) return false;

    // The server takes the display's lock file first, and one that finds it
    // taken gives up and exits; only a lock with our pid proves that what
    // answers on the display is ours.
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Reaped(pid, false)) return false;
        if (LockHolder(number) == pid) {
            FKeepAlive = XOpenDisplay(display.c_str());
            if (FKeepAlive != nullptr) {
                FPid = pid;
                FNumber = number;
                FDisplay = display;
                return true;
            }
        }
        std::this_thread::sleep_for(kPollStep);
    }
    Stop(pid);
    return false;
}

XvfbServer::~XvfbServer() {
    if (FPid <= 0) return;
    XCloseDisplay(FKeepAlive);
    Stop(FPid);
}

}  // namespace velora::testing
