#include "X11Fixture.h"

#include <X11/Xutil.h>

namespace velora::testing {

XvfbServer& X11Test::Server() {
    // Started by the first test that needs it, stopped when the program ends.
    static XvfbServer server(kScreenWidth, kScreenHeight);
    return server;
}

void X11Test::SetUp() {
    ASSERT_TRUE(Server().Running()) << Server().Failure();
    App = platform::CreateApplication(Server().Display());
    Other = XOpenDisplay(Server().Display().c_str());
    ASSERT_NE(Other, nullptr);
}

void X11Test::TearDown() {
    App.reset();
    if (Other != nullptr) XCloseDisplay(Other);
}

::Window X11Test::ForeignWindow(int width, int height, unsigned long background) {
    const ::Window window = XCreateSimpleWindow(Other, DefaultRootWindow(Other), 10, 10, static_cast<unsigned>(width),
                                                static_cast<unsigned>(height), 0, 0, background);
    XMapWindow(Other, window);
    XSync(Other, False);
    return window;
}

void X11Test::SendKey(::Window target, unsigned long keysym) {
    XEvent event{};
    event.xkey.type = KeyPress;
    event.xkey.window = target;
    event.xkey.root = DefaultRootWindow(Other);
    event.xkey.same_screen = True;
    event.xkey.keycode = XKeysymToKeycode(Other, keysym);
    XSendEvent(Other, target, True, KeyPressMask, &event);
    XSync(Other, False);
}

void X11Test::Pump() {
    // IsWindow makes a round trip.
    App->IsWindow(DefaultRootWindow(Other));
    App->ProcessMessages();
    App->IsWindow(DefaultRootWindow(Other));
}

XWindowAttributes X11Test::AttributesOf(::Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(Other, window, &attributes);
    return attributes;
}

unsigned long X11Test::PixelAt(::Window window, int x, int y) {
    XImage* image = XGetImage(Other, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return ~0ul;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

}  // namespace velora::testing
