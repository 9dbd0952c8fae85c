#pragma once
// RunSaver: the screensaver daemon's saver. The preview host draws into the
// window the daemon names (or on the desktop, or into a sizeable window of
// its own) at full spark size, follows that window's size, and takes no
// input: the daemon watches the user. It ends when the window goes away, its
// own window is closed, or a stop is requested.
#include <csignal>
#include <ostream>
#include <string>

#include "engine/VeloraPreview.h"
#include "platform/Platform.h"
#include "shell/SaverOptions.h"

namespace velora {

// How the saver runs the preview host: full-size sparks, following the
// host's size, with the given pause and stop request.
PreviewOptions SaverPreviewOptions(const SaverOptions& options, const volatile std::sig_atomic_t* stopRequest);

// A message text on one line, as the saver writes it to stderr.
std::string OneLine(std::string text);

// Returns the exit status; a failure is told in one line on `errors`.
int RunSaver(platform::Application& app, const SaverOptions& options, std::ostream& errors,
             const volatile std::sig_atomic_t* stopRequest);

}  // namespace velora
