#include "platform/posix/PosixServices.h"

#include <fcntl.h>
#include <locale.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace velora::platform::posix {

namespace {
std::uint64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
}
}  // namespace

void ReserveStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free descriptor, which is this one.
        const int null = open("/dev/null", O_RDWR);
        if (null > 2) close(null);
    }
}

Tick MonotonicClock::GetTickCount() { return static_cast<Tick>(MonotonicNanoseconds() / 1000000u); }

bool MonotonicClock::QueryPerformanceCounter(std::uint64_t& counter) {
    counter = MonotonicNanoseconds();
    return true;
}

bool RussianLocaleInstalled() {
    for (const char* name : kRussianLocaleNames) {
        if (locale_t locale = newlocale(LC_ALL_MASK, name, locale_t{}); locale != locale_t{}) {
            freelocale(locale);
            return true;
        }
    }
    return false;
}

bool SpawnDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
    // The opener may run as long as the browser it starts, and the GUI thread
    // must not wait for it: a small thread collects its exit status instead.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

}  // namespace velora::platform::posix

// Read by LeakSanitizer when the program is built with it, ignored otherwise:
// glibc's newlocale drops its copy of LOCPATH when a locale is missing. The
// frame is named argz_add_sep, or __argz_add_sep where the C library's debug
// symbols are installed; a suppression matches any name containing it.
extern "C" const char* __lsan_default_suppressions() { return "leak:argz_add_sep\n"; }
