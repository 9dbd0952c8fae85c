#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

#include "harness/Image.h"

namespace itest {

struct WindowInfo {
  Window id = 0;
  Rect rect;  // the window's inside, in root coordinates
  bool viewable = false;
  bool overrideRedirect = false;
};

// The test's own client connection: looks at windows, reads pixels back from
// the server and plays the host in the preview tests.  X errors (windows that
// vanish while we look at them) are never fatal.
class XConnection {
 public:
  explicit XConnection(const std::string& display);
  ~XConnection();
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  Rect screen() const;

  std::optional<WindowInfo> info(Window window);
  std::vector<Window> children(Window parent);
  std::vector<WindowInfo> viewableTopLevels();
  // Viewable windows anywhere below the root whose WM_NAME is `name`.
  std::vector<WindowInfo> viewableWindowsNamed(const std::string& name);

  std::string wmName(Window window);
  std::string netWmName(Window window);

  Image grab(const Rect& area);
  Image grabScreen() { return grab(screen()); }

  // A mapped top-level window with a black background, the stand-in for the
  // screensaver host's preview window.
  Window createHostWindow(const Rect& rect);
  void destroyWindow(Window window);
  void resizeWindow(Window window, int width, int height);
  void sendDeleteWindow(Window window);

  // Whether another client holds the pointer or keyboard grab.
  bool pointerGrabbedElsewhere();
  bool keyboardGrabbedElsewhere();

  // Whether the pointer currently shows an all-transparent cursor.
  bool cursorInvisible();

 private:
  Display* display_ = nullptr;
};

}  // namespace itest
