#include "platform/x11/X11Errors.h"

namespace velora::platform::x11 {

namespace {
// The innermost open trap; the handler has no other way to reach it.
ErrorTrap* gActiveTrap = nullptr;
}  // namespace

int OnXError(Display*, XErrorEvent* error) {
    ErrorTrap* trap = gActiveTrap;
    if (trap != nullptr && error->serial >= trap->FFirstSerial && trap->FCode == 0) trap->FCode = error->error_code;
    return 0;
}

void InstallErrorHandler() { XSetErrorHandler(OnXError); }

ErrorTrap::ErrorTrap(Display* display) : FDisplay(display), FOuter(gActiveTrap) {
    // Errors of earlier requests arrive now and must not count here.
    XSync(FDisplay, False);
    FFirstSerial = NextRequest(FDisplay);
    gActiveTrap = this;
}

ErrorTrap::~ErrorTrap() {
    if (FOpen) Finish();
}

int ErrorTrap::Finish() {
    if (FOpen) {
        XSync(FDisplay, False);
        gActiveTrap = FOuter;
        FOpen = false;
    }
    return FCode;
}

std::string ErrorText(Display* display, int code) {
    char text[256] = {};
    XGetErrorText(display, code, text, sizeof text);
    return text;
}

}  // namespace velora::platform::x11
