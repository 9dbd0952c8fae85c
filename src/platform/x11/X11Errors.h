#pragma once
// X errors never end the program: one handler for the whole process records
// them, and a trap turns the errors of a stretch of requests into a code.
#include <X11/Xlib.h>

#include <string>

namespace velora::platform::x11 {

// Installs the process's error handler; errors outside a trap are dropped.
void InstallErrorHandler();
int OnXError(Display* display, XErrorEvent* error);

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the server to answer every request made so far and returns
    // the code of the first error among the trapped ones, 0 for none.
    int Finish();

private:
    friend int OnXError(Display*, XErrorEvent*);

    Display* FDisplay;
    unsigned long FFirstSerial = 0;
    int FCode = 0;
    ErrorTrap* FOuter;
    bool FOpen = true;
};

// The server's own name for an error code, as XGetErrorText gives it.
std::string ErrorText(Display* display, int code);

}  // namespace velora::platform::x11
