#include "harness/XConnection.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "CloseBox.h"

namespace velora::testing {

namespace {

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

void CollectNamed(XConnection& x, Window parent, const std::string& name, std::vector<WindowInfo>& found) {
    for (Window child : x.Children(parent)) {
        if (auto info = x.Info(child); info && info->Viewable) {
            if (x.WmName(child) == name) found.push_back(*info);
            CollectNamed(x, child, name, found);
        }
    }
}

}  // namespace

XConnection::XConnection(const std::string& display) {
    XSetErrorHandler(IgnoreXError);
    FDisplay = XOpenDisplay(display.c_str());
    if (FDisplay == nullptr) throw std::runtime_error("cannot open display " + display);
}

XConnection::~XConnection() { XCloseDisplay(FDisplay); }

Rect XConnection::ScreenRect() const {
    const int s = DefaultScreen(FDisplay);
    return Rect{0, 0, DisplayWidth(FDisplay, s), DisplayHeight(FDisplay, s)};
}

std::optional<WindowInfo> XConnection::Info(Window window) {
    XWindowAttributes attr;
    if (XGetWindowAttributes(FDisplay, window, &attr) == 0) return std::nullopt;
    int rootX = 0;
    int rootY = 0;
    Window unused;
    if (!XTranslateCoordinates(FDisplay, window, DefaultRootWindow(FDisplay), 0, 0, &rootX, &rootY, &unused)) {
        return std::nullopt;
    }
    WindowInfo result;
    result.Id = window;
    result.Bounds = Rect{rootX, rootY, attr.width, attr.height};
    result.Viewable = attr.map_state == IsViewable;
    result.OverrideRedirect = attr.override_redirect != 0;
    return result;
}

std::vector<Window> XConnection::Children(Window parent) {
    Window root = 0;
    Window up = 0;
    Window* list = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (XQueryTree(FDisplay, parent, &root, &up, &list, &count) != 0 && list != nullptr) {
        result.assign(list, list + count);
    }
    if (list != nullptr) XFree(list);
    return result;
}

std::vector<WindowInfo> XConnection::ViewableTopLevels() {
    std::vector<WindowInfo> result;
    for (Window child : Children(DefaultRootWindow(FDisplay))) {
        if (auto state = Info(child); state && state->Viewable) result.push_back(*state);
    }
    return result;
}

std::vector<WindowInfo> XConnection::ViewableWindowsNamed(const std::string& name) {
    std::vector<WindowInfo> found;
    CollectNamed(*this, DefaultRootWindow(FDisplay), name, found);
    return found;
}

std::string XConnection::WmName(Window window) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(FDisplay, window, &name) != 0 && name != nullptr) result = name;
    if (name != nullptr) XFree(name);
    return result;
}

std::string XConnection::NetWmName(Window window) {
    const Atom property = XInternAtom(FDisplay, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(FDisplay, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string result;
    if (XGetWindowProperty(FDisplay, window, property, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && type == utf8 && format == 8) {
        result.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data != nullptr) XFree(data);
    return result;
}

Image XConnection::Grab(const Rect& area) {
    XImage* image = XGetImage(FDisplay, DefaultRootWindow(FDisplay), area.X, area.Y, static_cast<unsigned>(area.Width),
                              static_cast<unsigned>(area.Height), AllPlanes, ZPixmap);
    if (image == nullptr) throw std::runtime_error("XGetImage failed for " + ToString(area));
    // Channels of fewer than 8 bits (a 15-bit screen) are scaled to 0..255.
    auto channel = [](unsigned long pixel, unsigned long mask) {
        if (mask == 0) return std::uint8_t{0};
        while ((mask & 1UL) == 0) {
            mask >>= 1;
            pixel >>= 1;
        }
        return static_cast<std::uint8_t>((pixel & mask) * 255 / mask);
    };
    std::vector<Rgb> pixels;
    pixels.reserve(static_cast<std::size_t>(area.Width) * static_cast<std::size_t>(area.Height));
    for (int y = 0; y < area.Height; ++y) {
        for (int x = 0; x < area.Width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            pixels.push_back(
                Rgb{channel(p, image->red_mask), channel(p, image->green_mask), channel(p, image->blue_mask)});
        }
    }
    XDestroyImage(image);
    return Image(area, std::move(pixels));
}

Window XConnection::CreateHostWindow(const Rect& rect) {
    const int s = DefaultScreen(FDisplay);
    const Window window =
        XCreateSimpleWindow(FDisplay, DefaultRootWindow(FDisplay), rect.X, rect.Y, static_cast<unsigned>(rect.Width),
                            static_cast<unsigned>(rect.Height), 0, BlackPixel(FDisplay, s), BlackPixel(FDisplay, s));
    XStoreName(FDisplay, window, "preview host");
    XMapWindow(FDisplay, window);
    XSync(FDisplay, False);
    for (int i = 0; i < 200; ++i) {
        if (auto state = Info(window); state && state->Viewable) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return window;
}

void XConnection::ResizeWindow(Window window, int width, int height) {
    XResizeWindow(FDisplay, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(FDisplay, False);
}

void XConnection::DestroyWindow(Window window) {
    XDestroyWindow(FDisplay, window);
    XSync(FDisplay, False);
}

void XConnection::SendDeleteWindow(Window window) { testing::SendDeleteWindow(FDisplay, window); }

bool XConnection::PointerGrabbedElsewhere() {
    const int rc = XGrabPointer(FDisplay, DefaultRootWindow(FDisplay), False, ButtonPressMask, GrabModeAsync,
                                GrabModeAsync, None, None, CurrentTime);
    if (rc == GrabSuccess) XUngrabPointer(FDisplay, CurrentTime);
    XSync(FDisplay, False);
    return rc == AlreadyGrabbed;
}

bool XConnection::KeyboardGrabbedElsewhere() {
    const int rc =
        XGrabKeyboard(FDisplay, DefaultRootWindow(FDisplay), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (rc == GrabSuccess) XUngrabKeyboard(FDisplay, CurrentTime);
    XSync(FDisplay, False);
    return rc == AlreadyGrabbed;
}

bool XConnection::CursorInvisible() {
    int major = 2;
    int minor = 0;
    XFixesQueryVersion(FDisplay, &major, &minor);
    XFixesCursorImage* cursor = XFixesGetCursorImage(FDisplay);
    if (cursor == nullptr) throw std::runtime_error("XFixesGetCursorImage failed");
    bool invisible = true;
    const std::size_t count = static_cast<std::size_t>(cursor->width) * cursor->height;
    for (std::size_t i = 0; i < count; ++i) {
        if ((cursor->pixels[i] >> 24) != 0) invisible = false;  // ARGB: any opaque bit shows
    }
    XFree(cursor);
    return invisible;
}

}  // namespace velora::testing
