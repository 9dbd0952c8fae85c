#pragma once
// How the borderless layouts read the application's input messages: a key,
// a button or the wheel ends the run, Pause halts and resumes it, and a
// sustained run of mouse movement ends it too.
#include <cstdint>

#include "base/Clock.h"
#include "platform/Platform.h"

namespace velora {

enum class InputAction {
    Pass,         // not an input message of the saver: dispatch as usual
    Swallow,      // consumed, nothing to do
    TogglePause,  // consumed: pause or resume
    Close,        // consumed: end the saver
};

class TInputFilter {
public:
    // Mouse moves that end the run, and the longest gap (ms) within one run.
    static constexpr std::int32_t kMoveCount = 20;
    static constexpr Tick kMoveGap = 100;

    explicit TInputFilter(Clock& clock) : FClock(clock) {}

    InputAction Filter(const platform::Message& msg);

    std::int32_t MoveCountdown() const { return FMoveCountdown; }
    Tick LastMoveTick() const { return FLastMoveTick; }

private:
    InputAction CountMouseMove();

    Clock& FClock;
    std::int32_t FMoveCountdown = kMoveCount;
    Tick FLastMoveTick = 0;  // 0: no move counted yet
};

}  // namespace velora
