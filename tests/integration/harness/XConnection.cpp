#include "harness/XConnection.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace itest {

namespace {

int ignoreXError(Display*, XErrorEvent*) { return 0; }

void collectNamed(XConnection& x, Window parent, const std::string& name, std::vector<WindowInfo>& found) {
  for (Window child : x.children(parent)) {
    if (auto info = x.info(child); info && info->viewable) {
      if (x.wmName(child) == name) found.push_back(*info);
      collectNamed(x, child, name, found);
    }
  }
}

}  // namespace

XConnection::XConnection(const std::string& display) {
  XSetErrorHandler(ignoreXError);
  display_ = XOpenDisplay(display.c_str());
  if (display_ == nullptr) throw std::runtime_error("cannot open display " + display);
}

XConnection::~XConnection() { XCloseDisplay(display_); }

Rect XConnection::screen() const {
  const int s = DefaultScreen(display_);
  return Rect{0, 0, DisplayWidth(display_, s), DisplayHeight(display_, s)};
}

std::optional<WindowInfo> XConnection::info(Window window) {
  XWindowAttributes attr;
  if (XGetWindowAttributes(display_, window, &attr) == 0) return std::nullopt;
  int rootX = 0;
  int rootY = 0;
  Window unused;
  if (!XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &rootX, &rootY, &unused)) {
    return std::nullopt;
  }
  WindowInfo result;
  result.id = window;
  result.rect = Rect{rootX, rootY, attr.width, attr.height};
  result.viewable = attr.map_state == IsViewable;
  result.overrideRedirect = attr.override_redirect != 0;
  return result;
}

std::vector<Window> XConnection::children(Window parent) {
  Window root = 0;
  Window up = 0;
  Window* list = nullptr;
  unsigned count = 0;
  std::vector<Window> result;
  if (XQueryTree(display_, parent, &root, &up, &list, &count) != 0 && list != nullptr) {
    result.assign(list, list + count);
  }
  if (list != nullptr) XFree(list);
  return result;
}

std::vector<WindowInfo> XConnection::viewableTopLevels() {
  std::vector<WindowInfo> result;
  for (Window child : children(DefaultRootWindow(display_))) {
    if (auto state = info(child); state && state->viewable) result.push_back(*state);
  }
  return result;
}

std::vector<WindowInfo> XConnection::viewableWindowsNamed(const std::string& name) {
  std::vector<WindowInfo> found;
  collectNamed(*this, DefaultRootWindow(display_), name, found);
  return found;
}

std::string XConnection::wmName(Window window) {
  char* name = nullptr;
  std::string result;
  if (XFetchName(display_, window, &name) != 0 && name != nullptr) result = name;
  if (name != nullptr) XFree(name);
  return result;
}

std::string XConnection::netWmName(Window window) {
  const Atom property = XInternAtom(display_, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string result;
  if (XGetWindowProperty(display_, window, property, 0, 1024, False, utf8, &type, &format, &count, &after,
                         &data) == Success &&
      data != nullptr && type == utf8 && format == 8) {
    result.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data != nullptr) XFree(data);
  return result;
}

Image XConnection::grab(const Rect& area) {
  XImage* image = XGetImage(display_, DefaultRootWindow(display_), area.x, area.y,
                            static_cast<unsigned>(area.width), static_cast<unsigned>(area.height), AllPlanes,
                            ZPixmap);
  if (image == nullptr) throw std::runtime_error("XGetImage failed for " + toString(area));
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
  pixels.reserve(static_cast<std::size_t>(area.width) * static_cast<std::size_t>(area.height));
  for (int y = 0; y < area.height; ++y) {
    for (int x = 0; x < area.width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      pixels.push_back(Rgb{channel(p, image->red_mask), channel(p, image->green_mask), channel(p, image->blue_mask)});
    }
  }
  XDestroyImage(image);
  return Image(area, std::move(pixels));
}

Window XConnection::createHostWindow(const Rect& rect) {
  const int s = DefaultScreen(display_);
  const Window window =
      XCreateSimpleWindow(display_, DefaultRootWindow(display_), rect.x, rect.y, static_cast<unsigned>(rect.width),
                          static_cast<unsigned>(rect.height), 0, BlackPixel(display_, s), BlackPixel(display_, s));
  XStoreName(display_, window, "preview host");
  XMapWindow(display_, window);
  XSync(display_, False);
  for (int i = 0; i < 200; ++i) {
    if (auto state = info(window); state && state->viewable) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return window;
}

void XConnection::resizeWindow(Window window, int width, int height) {
  XResizeWindow(display_, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(display_, False);
}

void XConnection::destroyWindow(Window window) {
  XDestroyWindow(display_, window);
  XSync(display_, False);
}

void XConnection::sendDeleteWindow(Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  // An empty event mask delivers the event to the client that created the window.
  XSendEvent(display_, window, False, NoEventMask, &event);
  XSync(display_, False);
}

bool XConnection::pointerGrabbedElsewhere() {
  const int rc = XGrabPointer(display_, DefaultRootWindow(display_), False, ButtonPressMask, GrabModeAsync,
                              GrabModeAsync, None, None, CurrentTime);
  if (rc == GrabSuccess) XUngrabPointer(display_, CurrentTime);
  XSync(display_, False);
  return rc == AlreadyGrabbed;
}

bool XConnection::keyboardGrabbedElsewhere() {
  const int rc =
      XGrabKeyboard(display_, DefaultRootWindow(display_), False, GrabModeAsync, GrabModeAsync, CurrentTime);
  if (rc == GrabSuccess) XUngrabKeyboard(display_, CurrentTime);
  XSync(display_, False);
  return rc == AlreadyGrabbed;
}

bool XConnection::cursorInvisible() {
  int major = 2;
  int minor = 0;
  XFixesQueryVersion(display_, &major, &minor);
  XFixesCursorImage* cursor = XFixesGetCursorImage(display_);
  if (cursor == nullptr) throw std::runtime_error("XFixesGetCursorImage failed");
  bool invisible = true;
  const std::size_t count = static_cast<std::size_t>(cursor->width) * cursor->height;
  for (std::size_t i = 0; i < count; ++i) {
    if ((cursor->pixels[i] >> 24) != 0) invisible = false;  // ARGB: any opaque bit shows
  }
  XFree(cursor);
  return invisible;
}

}  // namespace itest
