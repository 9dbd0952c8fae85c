#pragma once
// The program's start-up: the application title, the choice of the one
// mode to run, and the exit status.
#include "base/ExitCodes.h"
#include "base/Handles.h"
#include "platform/Platform.h"
#include "shell/ScreenSaveMisc.h"

namespace velora {

enum class StartMode { Settings, Preview, MainForm };

// The command-line tests in their fixed order: a settings request wins, a
// preview needs a live window (set in previewWnd), everything else gets the
// main form.
StartMode ChooseStartMode(const Arguments& args, const WindowExists& isWindow, WindowHandle& previewWnd);

// Runs the mode the command line asks for and returns the exit status:
// failure after an error was shown (the engine could not be created).
int RunProgram(platform::Application& app, const Arguments& args);

}  // namespace velora
