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
    bool operator==(const ExitStatus&) const = default;
};

// The status of a program that exited with `code`, as Process::Wait gives it.
inline std::optional<ExitStatus> ExitedWith(int code) { return ExitStatus{true, code}; }

std::ostream& operator<<(std::ostream& out, const ExitStatus& status);

using Environment = std::map<std::string, std::string>;

Environment InheritedEnvironment();

struct SpawnOptions {
    std::vector<std::string> Argv;
    Environment Env;
    std::string StdoutPath = "/dev/null";
    std::string StderrPath = "/dev/null";
    // Stdin and stdout are pipes to the test (StdoutPath unused), for
    // Ask and ReadLine.
    bool Talk = false;
};

// The whole of a file, such as what a program wrote to stdout or stderr.
std::string ReadFile(const std::string& path);

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

    std::string Stderr() const { return ReadFile(FStderrPath); }

    bool Running();
    std::optional<ExitStatus> Wait(std::chrono::milliseconds timeout);
    void SignalGroup(int signal) const;
    void Kill();

    // With SpawnOptions::Talk: writes a line and waits for the program's
    // one-line answer; empty when none came in time.
    std::string Ask(const std::string& line, std::chrono::milliseconds timeout);
    std::string ReadLine(std::chrono::milliseconds timeout);

private:
    bool Reap(bool block);
    void CloseTalk();

    pid_t FPid = -1;
    std::string FName;
    std::string FStderrPath;
    std::optional<ExitStatus> FStatus;
    int FIn = -1;   // the program's stdin, with Talk
    int FOut = -1;  // its stdout, with Talk
    std::string FPending;
};

// Orphans of our children are handed to us instead of init, so the harness
// can see (and clean up) anything a program leaves running behind it.
void BecomeSubreaper();

struct ProcessInfo {
    pid_t Pid = 0;
    pid_t Parent = 0;
    char State = '?';  // 'Z': a zombie
    std::string CommandLine;
    std::string Executable;  // empty where it may not be read
};

// The processes of the system, as /proc lists them.
std::vector<ProcessInfo> AllProcesses();
std::vector<ProcessInfo> ChildrenOfThisProcess();

void ReapZombie(pid_t pid);

}  // namespace velora::testing
