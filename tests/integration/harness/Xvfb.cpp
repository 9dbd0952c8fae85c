#include "harness/Xvfb.h"

#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace itest {

namespace {

constexpr int kFirstDisplay = 90;
constexpr int kLastDisplay = 140;
constexpr auto kStartTimeout = std::chrono::seconds(10);

std::string lockPath(int number) {
  std::string path = "/tmp/.X";
  path += std::to_string(number);
  path += "-lock";
  return path;
}

// The pid written into a display's lock file, or 0 when there is none.
pid_t lockOwner(int number) {
  std::ifstream lock(lockPath(number));
  long pid = 0;
  if (!(lock >> pid)) return 0;
  return static_cast<pid_t>(pid);
}

}  // namespace

std::string displayName(int number) {
  std::string name = ":";
  name += std::to_string(number);
  return name;
}

bool displayNumberFree(int number) {
  const pid_t owner = lockOwner(number);
  // A lock left by a server that died is stale; a new server takes it over.
  return owner == 0 || (::kill(owner, 0) != 0 && errno == ESRCH);
}

Xvfb::Xvfb(const std::string& logDir, int width, int height) {
  // Spread concurrent test processes over the range instead of letting them
  // all race for the first number.
  const int span = kLastDisplay - kFirstDisplay + 1;
  const int offset = static_cast<int>(getpid() % span);
  for (int i = 0; i < span; ++i) {
    const int number = kFirstDisplay + (offset + i) % span;
    if (displayNumberFree(number) && tryStart(number, logDir, width, height)) return;
  }
  throw std::runtime_error("no free display number for Xvfb in :90..:140");
}

bool Xvfb::tryStart(int number, const std::string& logDir, int width, int height) {
  const std::string display = displayName(number);
  SpawnOptions options;
  options.argv = {"Xvfb", display, "-screen", "0",
                  std::to_string(width) + "x" + std::to_string(height) + "x24",
                  "-nolisten", "tcp", "-noreset", "-br"};
  options.env = inheritedEnvironment();
  options.stderrPath = logDir + "/xvfb" + std::to_string(number) + ".log";
  auto server = std::make_unique<Process>(options);

  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!server->running()) return false;  // lost the race for this number
    if (Display* probe = XOpenDisplay(display.c_str())) {
      XCloseDisplay(probe);
      // Someone else's server may have answered on this number while ours was
      // still starting; only a lock carrying our pid proves the server is ours.
      if (lockOwner(number) == server->pid() && server->running()) {
        display_ = display;
        server_ = std::move(server);
        return true;
      }
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

Xvfb::~Xvfb() {
  if (!server_) return;
  // A clean shutdown removes the lock file and the socket; SIGKILL would not.
  server_->signalGroup(SIGTERM);
  if (!server_->wait(std::chrono::seconds(3))) server_->kill();
}

}  // namespace itest
