#pragma once
// The clock seam: the engine and the main window read time only through it,
// so tests and the simulator can script every reading.
#include <cstdint>

#include "base/Numeric.h"

namespace velora {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary origin, low 32 bits.
    virtual Tick GetTickCount() = 0;
    // The high-resolution counter; false when the platform has none.
    virtual bool QueryPerformanceCounter(std::uint64_t& counter) = 0;
};

}  // namespace velora
