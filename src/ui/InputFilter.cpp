#include "ui/InputFilter.h"

namespace velora {

using namespace platform;

InputAction TInputFilter::Filter(const Message& msg) {
    switch (msg.message) {
        case kWmKeyDown:
            return msg.wParam == kVkPause ? InputAction::TogglePause : InputAction::Close;
        case kWmMouseMove:
            return CountMouseMove();
        case kWmLButtonDown:
        case kWmRButtonDown:
        case kWmMButtonDown:
        case kWmMouseWheel:
            return InputAction::Close;
        default:
            return InputAction::Pass;
    }
}

InputAction TInputFilter::CountMouseMove() {
    if (FLastMoveTick != 0 && TickDiff(FClock.GetTickCount(), FLastMoveTick) > kMoveGap) FMoveCountdown = kMoveCount;
    if (FMoveCountdown > 0) --FMoveCountdown;
    if (FMoveCountdown == 0) return InputAction::Close;
    FLastMoveTick = FClock.GetTickCount();
    return InputAction::Swallow;
}

}  // namespace velora
