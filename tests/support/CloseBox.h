#pragma once
// What a window manager's close box sends.
#include <X11/Xlib.h>

namespace velora::testing {

// Asks the client that created `window` to close it (WM_DELETE_WINDOW),
// through `display`, and waits until the server has passed it on.
void SendDeleteWindow(Display* display, Window window);

}  // namespace velora::testing
