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

namespace velora::testing {

std::ostream& operator<<(std::ostream& out, const ExitStatus& status) {
    if (status.Exited) return out << "exit code " << status.Code;
    return out << "signal " << status.Code << " (" << strsignal(status.Code) << ")";
}

Environment InheritedEnvironment() {
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
    SpawnFileActions() { posix_spawn_file_actions_init(&FActions); }
    ~SpawnFileActions() { posix_spawn_file_actions_destroy(&FActions); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    posix_spawn_file_actions_t* Get() { return &FActions; }

private:
    posix_spawn_file_actions_t FActions;
};

class SpawnAttributes {
public:
    SpawnAttributes() { posix_spawnattr_init(&FAttr); }
    ~SpawnAttributes() { posix_spawnattr_destroy(&FAttr); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* Get() { return &FAttr; }

private:
    posix_spawnattr_t FAttr;
};

}  // namespace

Process::Process(const SpawnOptions& options)
    : FName(options.Argv.empty() ? std::string() : options.Argv.front()), FStderrPath(options.StderrPath) {
    if (options.Argv.empty()) throw std::invalid_argument("empty argv");

    SpawnFileActions actions;
    posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(actions.Get(), 1, options.StdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(actions.Get(), 2, options.StderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    SpawnAttributes attr;
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(attr.Get(), &none);
    posix_spawnattr_setsigdefault(attr.Get(), &defaults);
    posix_spawnattr_setpgroup(attr.Get(), 0);
    posix_spawnattr_setflags(attr.Get(), POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (const auto& arg : options.Argv) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    for (const auto& [key, value] : options.Env) envText.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : envText) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const int rc = posix_spawnp(&FPid, argv[0], actions.Get(), attr.Get(), argv.data(), envp.data());
    if (rc != 0) {
        FPid = -1;
        throw std::runtime_error("cannot start " + options.Argv.front() + ": " + std::strerror(rc));
    }
}

Process::~Process() { Kill(); }

bool Process::Reap(bool block) {
    if (FStatus) return true;
    int raw = 0;
    pid_t got;
    do {
        got = waitpid(FPid, &raw, block ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got != FPid) return false;
    if (WIFEXITED(raw)) {
        FStatus = ExitStatus{true, WEXITSTATUS(raw)};
    } else {
        FStatus = ExitStatus{false, WTERMSIG(raw)};
    }
    return true;
}

bool Process::Running() { return FPid > 0 && !Reap(false); }

std::optional<ExitStatus> Process::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return FStatus;
}

void Process::SignalGroup(int signal) const {
    if (FPid > 0 && !FStatus) ::kill(-FPid, signal);
}

void Process::Kill() {
    // Once the leader is reaped its pid, and so the group id, may be reused by
    // a stranger; what the group left behind is found by the subreaper instead.
    if (FPid <= 0 || FStatus) return;
    SignalGroup(SIGKILL);
    Reap(true);
}

void BecomeSubreaper() { prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); }

std::vector<ChildInfo> ChildrenOfThisProcess() {
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

void ReapZombie(pid_t pid) {
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace velora::testing
