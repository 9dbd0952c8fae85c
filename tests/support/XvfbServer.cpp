#include "XvfbServer.h"

#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

namespace velora::testing {

namespace {

constexpr auto kStartTimeout = std::chrono::seconds(15);
constexpr auto kStopTimeout = std::chrono::seconds(3);
constexpr auto kPollStep = std::chrono::milliseconds(20);
// The descriptor on which the server writes the display number it chose.
constexpr int kDisplayFd = 3;

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

// Starts argv with stdin and stdout on /dev/null, stderr on `log` and
// `numberFd` as descriptor kDisplayFd.
pid_t Spawn(std::vector<std::string> argv, int log, int numberFd) {
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
    dup2(log, 2);
    dup2(numberFd, kDisplayFd);
    fcntl(kDisplayFd, F_SETFD, 0);
    execvp(args[0], args.data());
    _exit(127);
}

// The display number the server writes once it accepts connections, or -1
// when it exits or stays silent.
int ReadDisplayNumber(int fd) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (text.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return -1;
        pollfd wanted{fd, POLLIN, 0};
        const int ready = poll(&wanted, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return -1;
        char chunk[32];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return -1;
        text.append(chunk, static_cast<std::size_t>(got));
    }
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && number >= 0 ? static_cast<int>(number) : -1;
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

XvfbServer::XvfbServer(int width, int height, const std::vector<std::string>& extraArguments) {
    Start(width, height, extraArguments);
    if (FPid > 0) return;
    FFailure = std::string("Xvfb did not start; its messages are in ").append(FLogPath);
}

void XvfbServer::Start(int width, int height, const std::vector<std::string>& extraArguments) {
    char logPath[] = "/tmp/velora-xvfb-XXXXXX.log";
    const int log = mkostemps(logPath, 4, O_CLOEXEC);
    if (log < 0) return;
    FLogPath = logPath;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        close(log);
        return;
    }

    const std::string screen = std::to_string(width).append("x").append(std::to_string(height)).append("x24");
    std::vector<std::string> argv{"Xvfb", "-displayfd", std::to_string(kDisplayFd), "-screen", "0", screen};
    argv.insert(argv.end(), extraArguments.begin(), extraArguments.end());
    // -terminate goes last: it would take a number after it for a delay.
    argv.insert(argv.end(), {"-nolisten", "tcp", "-br", "-terminate"});
    const pid_t pid = Spawn(argv, log, pipeFds[1]);
    close(log);
    close(pipeFds[1]);
    // The server picks a display nobody holds and names it only once it
    // listens there, so what answers on that display is ours.
    const int number = pid > 0 ? ReadDisplayNumber(pipeFds[0]) : -1;
    close(pipeFds[0]);
    if (pid <= 0) return;
    if (number >= 0) {
        const std::string display = DisplayName(number);
        FKeepAlive = XOpenDisplay(display.c_str());
        if (FKeepAlive != nullptr) {
            FPid = pid;
            FNumber = number;
            FDisplay = display;
            return;
        }
    }
    Stop(pid);
}

XvfbServer::~XvfbServer() {
    if (FPid <= 0) return;
    XCloseDisplay(FKeepAlive);
    Stop(FPid);
    unlink(FLogPath.c_str());
}

}  // namespace velora::testing
