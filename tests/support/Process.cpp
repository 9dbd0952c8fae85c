#include "Process.h"

#include <fcntl.h>
#include <poll.h>
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

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
    int toChild[2] = {-1, -1};
    int fromChild[2] = {-1, -1};
    if (options.Talk) {
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
            throw std::runtime_error(std::string("cannot make pipes: ") + std::strerror(errno));
        FIn = toChild[1];
        FOut = fromChild[0];
        posix_spawn_file_actions_adddup2(actions.Get(), toChild[0], 0);
        posix_spawn_file_actions_adddup2(actions.Get(), fromChild[1], 1);
    } else {
        posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(actions.Get(), 1, options.StdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    }
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
    // The program's ends of the pipes are its own now.
    for (const int end : {toChild[0], fromChild[1]}) {
        if (end >= 0) close(end);
    }
    if (rc != 0) {
        FPid = -1;
        CloseTalk();
        throw std::runtime_error("cannot start " + options.Argv.front() + ": " + std::strerror(rc));
    }
}

Process::~Process() {
    Kill();
    CloseTalk();
}

void Process::CloseTalk() {
    for (int* fd : {&FIn, &FOut}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

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

std::string Process::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto end = FPending.find('\n'); end != std::string::npos) {
            std::string line = FPending.substr(0, end);
            FPending.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd fd{FOut, POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) return {};
        char buffer[256];
        const ssize_t got = read(FOut, buffer, sizeof buffer);
        if (got <= 0) return {};
        FPending.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string Process::Ask(const std::string& line, std::chrono::milliseconds timeout) {
    const std::string text = line + "\n";
    if (write(FIn, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return {};
    return ReadLine(timeout);
}

void BecomeSubreaper() { prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); }

std::vector<ProcessInfo> AllProcesses() {
    std::vector<ProcessInfo> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string stat = ReadFile(entry.path() / "stat");
        // The command name in parentheses may itself contain blanks or ')'.
        const auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        ProcessInfo info;
        info.Pid = static_cast<pid_t>(std::stol(name));
        std::istringstream rest(stat.substr(close + 1));
        rest >> info.State >> info.Parent;
        info.CommandLine = ReadFile(entry.path() / "cmdline");
        for (char& c : info.CommandLine) {
            if (c == '\0') c = ' ';
        }
        std::error_code linkError;
        info.Executable = std::filesystem::read_symlink(entry.path() / "exe", linkError).string();
        found.push_back(std::move(info));
    }
    return found;
}

std::vector<ProcessInfo> ChildrenOfThisProcess() {
    std::vector<ProcessInfo> children = AllProcesses();
    const pid_t self = getpid();
    std::erase_if(children, [&](const ProcessInfo& process) { return process.Parent != self; });
    return children;
}

void ReapZombie(pid_t pid) {
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace velora::testing
