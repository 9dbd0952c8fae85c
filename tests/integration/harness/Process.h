#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace velora::testing {

struct ExitStatus {
    bool Exited = false;  // false: ended by a signal
    int Code = 0;         // the exit code, or the signal number
};

std::ostream& operator<<(std::ostream& out, const ExitStatus& status);

using Environment = std::map<std::string, std::string>;

Environment InheritedEnvironment();

struct SpawnOptions {
    std::vector<std::string> Argv;
    Environment Env;
    std::string StdoutPath = "/dev/null";
    std::string StderrPath = "/dev/null";
};

// A child process that leads a process group of its own, so that killing the
// group also takes down anything it started.  The destructor kills the group
// if the leader is still there.
class Process {
public:
    explicit Process(const SpawnOptions& options);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return FPid; }
    const std::string& StderrPath() const { return FStderrPath; }
    const std::string& Name() const { return FName; }

    bool Running();
    std::optional<ExitStatus> Wait(std::chrono::milliseconds timeout);
    void SignalGroup(int signal) const;
    void Kill();

private:
    bool Reap(bool block);

    pid_t FPid = -1;
    std::string FName;
    std::string FStderrPath;
    std::optional<ExitStatus> FStatus;
};

// Orphans of our children are handed to us instead of init, so the harness
// can see (and clean up) anything a program leaves running behind it.
void BecomeSubreaper();

struct ChildInfo {
    pid_t Pid;
    char State;
    std::string CommandLine;
};

std::vector<ChildInfo> ChildrenOfThisProcess();

void ReapZombie(pid_t pid);

}  // namespace velora::testing
