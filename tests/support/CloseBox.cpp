#include "CloseBox.h"

namespace velora::testing {

void SendDeleteWindow(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    // An empty event mask delivers the event to the client that created the window.
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}

}  // namespace velora::testing
