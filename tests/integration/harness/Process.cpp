#include "harness/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace itest {

std::ostream& operator<<(std::ostream& out, const ExitStatus& status) {
  if (status.exited) return out << "exit code " << status.code;
  return out << "signal " << status.code << " (" << strsignal(status.code) << ")";
}

Environment inheritedEnvironment() {
  Environment env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const auto eq = text.find('=');
    if (eq != std::string::npos) env[text.substr(0, eq)] = text.substr(eq + 1);
  }
  return env;
}

namespace {

class SpawnFileActions {
 public:
  SpawnFileActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { posix_spawnattr_init(&attr_); }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  posix_spawnattr_t* get() { return &attr_; }

 private:
  posix_spawnattr_t attr_;
};

}  // namespace

Process::Process(const SpawnOptions& options)
    : name_(options.argv.empty() ? std::string() : options.argv.front()),
      stderrPath_(options.stderrPath) {
  if (options.argv.empty()) throw std::invalid_argument("empty argv");

  SpawnFileActions actions;
  posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(actions.get(), 1, options.stdoutPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(actions.get(), 2, options.stderrPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);

  SpawnAttributes attr;
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(attr.get(), &none);
  posix_spawnattr_setsigdefault(attr.get(), &defaults);
  posix_spawnattr_setpgroup(attr.get(), 0);
  posix_spawnattr_setflags(attr.get(),
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<char*> argv;
  for (const auto& arg : options.argv) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> envText;
  for (const auto& [key, value] : options.env) envText.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (auto& entry : envText) envp.push_back(entry.data());
  envp.push_back(nullptr);

  const int rc = posix_spawnp(&pid_, argv[0], actions.get(), attr.get(), argv.data(), envp.data());
  if (rc != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + options.argv.front() + ": " + std::strerror(rc));
  }
}

Process::~Process() { kill(); }

bool Process::reap(bool block) {
  if (status_) return true;
  int raw = 0;
  pid_t got;
  do {
    got = waitpid(pid_, &raw, block ? 0 : WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got != pid_) return false;
  if (WIFEXITED(raw)) {
    status_ = ExitStatus{true, WEXITSTATUS(raw)};
  } else {
    status_ = ExitStatus{false, WTERMSIG(raw)};
  }
  return true;
}

bool Process::running() { return pid_ > 0 && !reap(false); }

std::optional<ExitStatus> Process::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!reap(false)) {
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return status_;
}

void Process::signalGroup(int signal) const {
  if (pid_ > 0 && !status_) ::kill(-pid_, signal);
}

void Process::kill() {
  // Once the leader is reaped its pid, and so the group id, may be reused by
  // a stranger; what the group left behind is found by the subreaper instead.
  if (pid_ <= 0 || status_) return;
  signalGroup(SIGKILL);
  reap(true);
}

void becomeSubreaper() { prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); }

std::vector<ChildInfo> childrenOfThisProcess() {
  std::vector<ChildInfo> children;
  const pid_t self = getpid();
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream statFile(entry.path() / "stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    // The command name in parentheses may itself contain blanks or ')'.
    const auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    char state = '?';
    pid_t parent = 0;
    rest >> state >> parent;
    if (parent != self) continue;
    std::ifstream cmdFile(entry.path() / "cmdline");
    std::string cmd((std::istreambuf_iterator<char>(cmdFile)), std::istreambuf_iterator<char>());
    for (char& c : cmd) {
      if (c == '\0') c = ' ';
    }
    children.push_back({static_cast<pid_t>(std::stol(name)), state, cmd});
  }
  return children;
}

void reapZombie(pid_t pid) {
  int raw = 0;
  while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace itest
