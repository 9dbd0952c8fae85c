#include "XvfbServer.h"

#include <X11/Xlib.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace velora::testing {

namespace {

constexpr int kFirstDisplay = 90;
constexpr int kLastDisplay = 140;
constexpr auto kStartTimeout = std::chrono::seconds(15);
constexpr auto kPollStep = std::chrono::milliseconds(20);

// Appended piece by piece: GCC 12 at -O3 warns falsely about "a" + b + "c".
std::string LockPath(int number) { return std::string("/tmp/.X").append(std::to_string(number)).append("-lock"); }
std::string SocketPath(int number) { return std::string("/tmp/.X11-unix/X").append(std::to_string(number)); }

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// The pid recorded in a display's lock file, or -1.
pid_t LockHolder(int number) {
    std::ifstream lock(LockPath(number));
    long pid = -1;
    return lock >> pid ? static_cast<pid_t>(pid) : -1;
}

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

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace

XvfbServer::XvfbServer(int width, int height) {
    // Test programs run side by side: each starts its search somewhere else.
    const int count = kLastDisplay - kFirstDisplay + 1;
    const int first = static_cast<int>(getpid() % count);
    for (int i = 0; i < count; ++i) {
        const int number = kFirstDisplay + (first + i) % count;
        if (Exists(LockPath(number)) || Exists(SocketPath(number))) continue;
        if (TryStart(number, width, height)) return;
    }
}

bool XvfbServer::TryStart(int number, int width, int height) {
    const std::string display = std::string(":").append(std::to_string(number));
    const std::string screen =
        std::to_string(width).append("x").append(std::to_string(height)).append("x24");
    std::vector<std::string> argv{"Xvfb", display, "-nolisten", "tcp", "-terminate", "-screen", "0", screen};
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, "Xvfb", &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;

    // The server takes the display's lock file first; one that finds it
    // taken gives up and exits.
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return false;
        if (LockHolder(number) == pid && Accepts(number)) {
            FKeepAlive = XOpenDisplay(display.c_str());
            if (FKeepAlive == nullptr) break;
            FPid = pid;
            FNumber = number;
            FDisplay = display;
            return true;
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
