// The program entry on Windows. The screensaver host starts velora.scr with
// its command line, which the program splits itself: the C runtime's
// splitting (backslashes before quotes, only blanks and tabs as separators)
// is not the product's.
#include "platform/Platform.h"

#include <windows.h>

#include <exception>

#include "base/FloatingPoint.h"
#include "ui/Program.h"
#include "ui/Texts.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    velora::SetFloatingPointState();
    const velora::Arguments args = velora::SplitCommandLine(GetCommandLineA());
    try {
        const auto app = velora::platform::CreateApplication();
        return velora::RunProgram(*app, args);
    } catch (const std::exception& error) {
        MessageBoxA(nullptr, error.what(), velora::kApplicationTitle, MB_OK | MB_ICONERROR);
        return velora::kExitFailure;
    }
}
