// ChildRun on fork(2) and waitpid(2).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "platform/Platform.h"

namespace velora::platform {

namespace {

class PosixChildRun : public ChildRun {
public:
    explicit PosixChildRun(pid_t pid) : FPid(pid) {}
    ~PosixChildRun() override {
        if (FStatus) return;
        kill(FPid, SIGKILL);
        while (waitpid(FPid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    PosixChildRun(const PosixChildRun&) = delete;
    PosixChildRun& operator=(const PosixChildRun&) = delete;

    std::optional<int> Ended() override {
        if (FStatus) return FStatus;
        int status = 0;
        const pid_t done = waitpid(FPid, &status, WNOHANG);
        if (done == FPid) {
            // Asked to stop, it may also have had the signal from elsewhere (a
            // session ending sends it to every process), and a second one ends
            // it the default way: that too is the end asked for.
            const bool stopped = WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM && FStopping;
            FStatus = WIFEXITED(status) ? WEXITSTATUS(status) : stopped ? 0 : 128 + WTERMSIG(status);
        } else if (done < 0 && errno != EINTR) {
            FStatus = -1;  // not ours to wait for any more
        }
        return FStatus;
    }

    void Stop() override {
        if (FStatus || FStopping) return;
        kill(FPid, SIGTERM);
        FStopping = true;
    }

private:
    pid_t FPid;
    std::optional<int> FStatus;
    bool FStopping = false;
};

}  // namespace

std::unique_ptr<ChildRun> StartChildRun(const std::function<int()>& run) {
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = fork();
    if (pid < 0) throw EOSError(errno, std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        const int status = run();
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        _exit(status);
    }
    return std::make_unique<PosixChildRun>(pid);
}

}  // namespace velora::platform
