#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

#include "harness/Image.h"

namespace velora::testing {

struct WindowInfo {
    Window Id = 0;
    Rect Bounds;  // the window's inside, in root coordinates
    bool Viewable = false;
    bool OverrideRedirect = false;
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

    Rect ScreenRect() const;

    std::optional<WindowInfo> Info(Window window);
    std::vector<Window> Children(Window parent);
    std::vector<WindowInfo> ViewableTopLevels();
    // Viewable windows anywhere below the root whose WM_NAME is `name`.
    std::vector<WindowInfo> ViewableWindowsNamed(const std::string& name);

    std::string WmName(Window window);
    std::string NetWmName(Window window);

    Image Grab(const Rect& area);
    Image GrabScreen() { return Grab(ScreenRect()); }

    // A mapped top-level window with a black background, the stand-in for the
    // screensaver host's preview window.
    Window CreateHostWindow(const Rect& rect);
    void DestroyWindow(Window window);
    void ResizeWindow(Window window, int width, int height);
    void SendDeleteWindow(Window window);

    // Whether another client holds the pointer or keyboard grab.
    bool PointerGrabbedElsewhere();
    bool KeyboardGrabbedElsewhere();

    // Whether the pointer currently shows an all-transparent cursor.
    bool CursorInvisible();

private:
    Display* FDisplay = nullptr;
};

}  // namespace velora::testing
