#include "ui/InputFilter.h"

namespace velora {

using namespace platform;

InputAction TInputFilter::Filter(const Message& msg) {
    switch (msg.message) {
        case WM_KEYDOWN:
            return msg.wParam == VK_PAUSE ? InputAction::TogglePause : InputAction::Close;
        case WM_MOUSEMOVE:
            return CountMouseMove();
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_MOUSEWHEEL:
            return InputAction::Close;
        default:
            return InputAction::Pass;
    }
}

InputAction TInputFilter::CountMouseMove() {
    if (FLastMoveTick != 0 && TickDiff(FClock.GetTickCount(), FLastMoveTick) > kMoveGap)
        FMoveCountdown = kMoveCount;
    if (FMoveCountdown > 0) --FMoveCountdown;
    if (FMoveCountdown == 0) return InputAction::Close;
    FLastMoveTick = FClock.GetTickCount();
    return InputAction::Swallow;
}

}  // namespace velora
