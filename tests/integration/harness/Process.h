#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace itest {

struct ExitStatus {
  bool exited = false;  // false: ended by a signal
  int code = 0;         // the exit code, or the signal number
};

std::ostream& operator<<(std::ostream& out, const ExitStatus& status);

using Environment = std::map<std::string, std::string>;

Environment inheritedEnvironment();

struct SpawnOptions {
  std::vector<std::string> argv;
  Environment env;
  std::string stdoutPath = "/dev/null";
  std::string stderrPath = "/dev/null";
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

  pid_t pid() const { return pid_; }
  const std::string& stderrPath() const { return stderrPath_; }
  const std::string& name() const { return name_; }

  bool running();
  std::optional<ExitStatus> wait(std::chrono::milliseconds timeout);
  void signalGroup(int signal) const;
  void kill();

 private:
  bool reap(bool block);

  pid_t pid_ = -1;
  std::string name_;
  std::string stderrPath_;
  std::optional<ExitStatus> status_;
};

// Orphans of our children are handed to us instead of init, so the harness
// can see (and clean up) anything a program leaves running behind it.
void becomeSubreaper();

struct ChildInfo {
  pid_t pid;
  char state;
  std::string commandLine;
};

std::vector<ChildInfo> childrenOfThisProcess();

void reapZombie(pid_t pid);

}  // namespace itest
