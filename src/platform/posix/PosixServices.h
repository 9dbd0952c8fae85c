#pragma once
// The operating-system services that need no window system, shared by the
// x11/ and wayland/ backends: the standard descriptors, the clocks, the
// locale test and starting the desktop's document opener.
#include <string>
#include <vector>

#include "base/Clock.h"

namespace velora::platform::posix {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Run
// before the display connection is made: a connection that landed on 2
// would take every warning written to stderr as X protocol.
void ReserveStandardDescriptors();

// CLOCK_MONOTONIC: the tick in milliseconds (low 32 bits), the counter in
// nanoseconds.
class MonotonicClock : public Clock {
public:
    Tick GetTickCount() override;
    bool QueryPerformanceCounter(std::uint64_t& counter) override;
};

// The names under which glibc may know an installed Russian locale.
inline constexpr const char* kRussianLocaleNames[] = {"ru_RU.UTF-8", "ru_RU.utf8", "ru_RU", "ru_RU.KOI8-R",
                                                      "ru_RU.CP1251"};

// True when the C library can load one of them (it honours LOCPATH).
bool RussianLocaleInstalled();

// Starts argv[0], looked up in PATH, with the given arguments and without a
// shell; does not wait for it, yet never leaves it behind as a zombie.
// False when it could not be started.
bool SpawnDetached(const std::vector<std::string>& argv);

}  // namespace velora::platform::posix
