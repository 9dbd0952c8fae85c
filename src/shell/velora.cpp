// The program entry: the screensaver host starts us with its command line,
// and we run exactly one mode.
#include <cstdio>
#include <exception>

#include "platform/Platform.h"
#include "ui/Program.h"

int main(int argc, char** argv) {
    const velora::Arguments args(argv, argv + argc);
    try {
        const auto app = velora::platform::CreateApplication();
        return velora::RunProgram(*app, args);
    } catch (const std::exception& error) {
        // No display to show it on (or nothing left to show it with).
        std::fprintf(stderr, "velora: %s\n", error.what());
        return velora::kExitFailure;
    }
}
