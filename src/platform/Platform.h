#pragma once
// The platform layer: everything the program asks of the window system and
// the operating system, in one place.
//
//   Application  the connection to the window system and the message loop:
//                an application-wide message hook that sees every queued
//                message before dispatch, an idle handler, modal loops, the
//                message box, window creation, screen metrics, and the
//                services below.
//   Window       one window of ours: full screen, a borderless popup, a
//                sizeable frame, a fixed dialog, or a child of a foreign
//                window. Dispatched messages reach it through its WindowProc.
//   Graphics()   the engine's GraphicsBinding (OpenGL loading, contexts).
//   SystemClock  the millisecond tick and the high-resolution counter.
//
// Messages carry Windows' numbers and meanings (kWmKeyDown is WM_KEYDOWN,
// with a virtual-key code in wParam; mouse positions packed into lParam), so
// the forms read like the product's own tables on every backend. The names
// are not Windows' own: <windows.h> defines those as macros, and this header
// must compile before or after it.
//
// Backends, each in files named <Backend><Role>:
//   x11/      Xlib + GLX: X11Application, X11Window, X11Graphics, X11Events
//             (key and button translation), X11Errors, X11MessageBox.
//   win32/    user32, gdi32 + WGL: Win32Application, Win32Window,
//             Win32Graphics, Win32Errors, Win32DpiAwareness.
//   wayland/  libwayland-client + EGL: WaylandOutputSurfaces (registry,
//             outputs, event loop), WaylandSurface, WaylandSeat (keyboard and
//             pointer), WaylandEvents (key, button and scale arithmetic),
//             WaylandGraphics, WaylandIdleMonitor (the session's idle time).
//   dbus/     sd-bus: DbusSession, GNOME's idle monitor and the lock
//             screens' signals for WaylandIdleMonitor.
//   web/      Emscripten, the DOM + WebGL 2: WebApplication, WebWindow,
//             WebEvents, WebGraphics, WebGlLines (OpenGL 1.1's lines drawn
//             with WebGL 2).
// x11/, win32/ and web/ implement Application and Window; wayland/ implements
// OutputSurfaces, for the saver alone: Wayland has no window over the whole
// screen and no foreign window to draw into. posix/ holds the operating
// system's services that x11/ and wayland/ share (PosixServices: clock,
// standard descriptors, locale, starting programs).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/Errors.h"
#include "base/Handles.h"
#include "engine/GraphicsBinding.h"

namespace velora::platform {

inline constexpr std::uint32_t kWmDestroy = 2;
inline constexpr std::uint32_t kWmSize = 5;
inline constexpr std::uint32_t kWmPaint = 15;
inline constexpr std::uint32_t kWmClose = 16;
inline constexpr std::uint32_t kWmEraseBkgnd = 20;
// wParam 0: the activation goes to another program.
inline constexpr std::uint32_t kWmActivateApp = 28;
inline constexpr std::uint32_t kWmKeyDown = 256;
inline constexpr std::uint32_t kWmSysKeyDown = 260;
// A command of the window menu, or the system's, in wParam (its four low
// bits are the system's own).
inline constexpr std::uint32_t kWmSysCommand = 274;
inline constexpr std::uint32_t kWmMouseMove = 512;
inline constexpr std::uint32_t kWmLButtonDown = 513;
inline constexpr std::uint32_t kWmLButtonUp = 514;
inline constexpr std::uint32_t kWmRButtonDown = 516;
inline constexpr std::uint32_t kWmRButtonUp = 517;
inline constexpr std::uint32_t kWmMButtonDown = 519;
inline constexpr std::uint32_t kWmMButtonUp = 520;
inline constexpr std::uint32_t kWmMouseWheel = 522;
inline constexpr std::uint32_t kWmXButtonDown = 523;
inline constexpr std::uint32_t kWmXButtonUp = 524;
inline constexpr std::uint32_t kWmMouseHWheel = 526;

inline constexpr std::uintptr_t kVkPause = 19;
inline constexpr std::uintptr_t kScScreenSave = 0xF140;  // the system starts the configured saver

struct Message {
    WindowHandle window = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

// Mouse messages pack the client position as two signed 16-bit halves.
constexpr std::intptr_t MakePointParam(int x, int y) {
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(y) & 0xFFFFu) << 16 |
                                      (static_cast<std::uint32_t>(x) & 0xFFFFu));
}
constexpr int PointX(std::intptr_t lParam) { return static_cast<std::int16_t>(lParam & 0xFFFF); }
constexpr int PointY(std::intptr_t lParam) { return static_cast<std::int16_t>((lParam >> 16) & 0xFFFF); }

// Sees every queued message before dispatch; setting `handled` drops it.
using MessageHook = std::function<void(Message& msg, bool& handled)>;
// Runs whenever the queue is empty; leaving `done` true lets the loop wait
// for the next message, false makes it look again at once.
using IdleHandler = std::function<void(bool& done)>;
// A window's own handling of a dispatched message. False lets the default
// handling run: kWmClose destroys the window, kWmEraseBkgnd fills it with
// its background colour (if it has one), kWmPaint draws its picture.
// kWmDestroy tells that the window is gone, also when another program
// destroyed it.
using WindowProc = std::function<bool(const Message& msg)>;

enum class WindowKind {
    FullScreen,  // over the whole virtual screen, topmost, takes keyboard and pointer
    Popup,       // borderless, topmost, at the given place
    Sizeable,    // caption, sizeable frame, system menu; not topmost
    Dialog,      // caption and close box, fixed size
    Child,       // a visible child of Parent, which may belong to another program
                 // (the desktop window included)
};

enum class PointerShape { Arrow, Hidden, Hand };

struct WindowSpec {
    WindowKind Kind = WindowKind::Sizeable;
    std::string Caption;
    Rect Bounds;       // client area; root coordinates, a child's in its parent's
    int MinWidth = 0;  // the frame cannot be made smaller (Sizeable)
    int MinHeight = 0;
    WindowHandle Parent = 0;    // Child only
    bool FollowParent = false;  // Child only: keeps covering the parent as it is resized (X11 only)
    // The pixel format the engine will ask for when it draws into the window:
    // X fixes a window's visual when the window is created, not later.
    std::optional<ContextOption> OpenGl;
    bool HasBackground = false;       // erased with BackgroundRgb; otherwise never erased
    std::uint32_t BackgroundRgb = 0;  // 0xRRGGBB
};

// A width x height rectangle centred in `area` (integer halves towards zero).
constexpr Rect CentredIn(const Rect& area, int width, int height) {
    const int left = area.Left + (area.Right - area.Left - width) / 2;
    const int top = area.Top + (area.Bottom - area.Top - height) / 2;
    return Rect{left, top, left + width, top + height};
}

// RGB888 pixels, rows top to bottom.
struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<unsigned char> Rgb;
};

class Window {
public:
    virtual ~Window() = default;  // destroys the window if it still exists

    virtual WindowHandle Handle() const = 0;
    // Maps the window; a full-screen window then takes keyboard and pointer.
    // A full-screen window that cannot take them is told kWmActivateApp with
    // wParam 0, as if the activation had gone elsewhere.
    virtual void Show() = 0;
    // Destroys the window; harmless when it is gone already.
    virtual void Destroy() = 0;
    virtual void SetCursor(PointerShape shape) = 0;
    // Shown at the client area's top-left corner on every paint.
    virtual void SetPicture(const Picture& picture) = 0;
    virtual Rect ClientRect() const = 0;
};

// The window system cannot be reached.
class DisplayError : public Exception {
public:
    using Exception::Exception;
};

class Application {
public:
    virtual ~Application() = default;

    // The name under which the running application is listed; also the
    // message box's title.
    virtual void SetTitle(const std::string& title) = 0;
    virtual std::string Title() const = 0;

    virtual void SetMessageHook(MessageHook hook) = 0;
    virtual void SetIdleHandler(IdleHandler idle) = 0;
    // The message loop: returns once Terminate has been called.
    virtual void Run() = 0;
    virtual void Terminate() = 0;
    virtual bool Terminated() const = 0;
    // Handles every waiting message and returns when none is left.
    virtual void ProcessMessages() = 0;
    // Shows `dialog` and runs the loop (hook and idle handler included) until
    // EndModal or Terminate; input for other windows is dropped meanwhile.
    virtual void RunModal(Window& dialog) = 0;
    virtual void EndModal() = 0;
    // A modal box with `text` and a single OK button.
    virtual void ShowMessage(const std::string& text) = 0;

    // Throws Exception when the window cannot be created.
    virtual std::unique_ptr<Window> OpenWindow(const WindowSpec& request, WindowProc proc) = 0;
    // Any window of any program; never fails.
    virtual bool IsWindow(WindowHandle wnd) = 0;
    virtual bool GetClientRect(WindowHandle wnd, Rect& rect) = 0;
    // The window that the whole screen belongs to (the root window).
    virtual WindowHandle DesktopWindow() = 0;
    virtual Rect VirtualScreen() = 0;
    // The primary screen less what a desktop reserves for its panels.
    virtual Rect WorkArea() = 0;

    virtual GraphicsBinding& Graphics() = 0;
    virtual Clock& SystemClock() = 0;
    // Whether the system can handle the Russian locale (not whether it is
    // the user's language).
    virtual bool IsRussianLocaleInstalled() = 0;
    // Hands a document or address to the desktop's opener; true when it was
    // started. Does not wait for it.
    virtual bool OpenDocument(const std::string& fileName, const std::string& parameters) = 0;
};

// One surface of ours on each output of a Wayland compositor, each to be drawn
// by its own engine. A surface is named by a WindowHandle, which Graphics()
// takes as a window: GetWindowRect gives its size in pixels, and
// SwapBuffers asks the compositor for the next frame before it commits one.
// Keys, buttons, the wheel and pointer motion over the surfaces come as
// messages of the window they were for; the pointer is hidden over them.
class OutputSurfaces {
public:
    class Listener {
    public:
        // The compositor has given the surface its size: it can be drawn.
        virtual void SurfaceAdded(WindowHandle surface) = 0;
        // Its size in pixels changed (the output's mode or scale).
        virtual void SurfaceResized(WindowHandle surface) = 0;
        // It goes away once this returns: its output left, or the
        // compositor closed it.
        virtual void SurfaceRemoved(WindowHandle surface) = 0;
        virtual void Input(const Message& msg) = 0;

    protected:
        ~Listener() = default;
    };

    virtual ~OutputSurfaces() = default;
    // Sends what is pending, waits up to timeoutMs (0: not at all) for the
    // compositor and reports what it sent; returns early on a signal.
    // Throws DisplayError when the connection is lost.
    virtual void Dispatch(int timeoutMs, Listener& listener) = 0;
    // The compositor has shown the surface's last frame and wants the next.
    virtual bool FrameDue(WindowHandle surface) const = 0;
    // The compositor closed every surface it had given us.
    virtual bool AllClosed() const = 0;
    virtual GraphicsBinding& Graphics() = 0;
    virtual Clock& SystemClock() = 0;
};

// What a Wayland session tells of its user's idle time, as events; idle
// inhibitors (a video playing) hold the idle event back. Also tells when
// the session's own lock screen comes on and goes.
class IdleMonitor {
public:
    enum class Event {
        None,
        Idle,        // idle for the time asked for: once, until the user is back and idle again
        UserActive,  // after Idle, the user is back; only where the session reports it apart from Idle
        Locked,      // the session's lock screen (or GNOME's blank screen) came on
        Unlocked,    // and went away again
    };

    virtual ~IdleMonitor() = default;
    // The interface it is told by ("ext-idle-notify-v1", ...), for the user.
    virtual const char* Source() const = 0;
    // The next event; waits up to timeoutMs (0: not at all) for one and
    // returns early on a signal. Throws DisplayError when the session is lost.
    virtual Event Next(int timeoutMs) = 0;
};

// A function run in a child process of this one (forked, not executed anew),
// which takes nothing back to the parent: whatever it allocates, the
// graphics driver's memory included, goes back to the system when it ends.
// Destroying it while the child runs kills the child and waits for it.
class ChildRun {
public:
    virtual ~ChildRun() = default;
    // The child's exit status once it has ended (0 where SIGTERM ended it
    // after Stop); nothing while it runs.
    virtual std::optional<int> Ended() = 0;
    // Asks the child to end with SIGTERM, once.
    virtual void Stop() = 0;
};

// Starts `run` in a child, whose exit status is what it returns; the
// child leaves without running this process's exit handlers. Throws
// EOSError when no child can be made.
std::unique_ptr<ChildRun> StartChildRun(const std::function<int()>& run);

// Watches the idle time of the session of WAYLAND_DISPLAY, in this order of
// preference: ext-idle-notify-v1, org_kde_kwin_idle, and GNOME's
// org.gnome.Mutter.IdleMonitor on the session bus. Null when the session
// offers none of them; throws DisplayError when the compositor cannot be
// reached. Only in builds with the Wayland backend.
std::unique_ptr<IdleMonitor> CreateIdleMonitor(std::uint32_t seconds);

// Connects to the compositor of WAYLAND_DISPLAY and puts a surface on each
// output: a layer-shell overlay where the compositor has one, else a
// fullscreen toplevel. Throws DisplayError when it cannot. Only in builds
// with the Wayland backend (VELORA_HAVE_WAYLAND).
std::unique_ptr<OutputSurfaces> CreateOutputSurfaces(const std::string& title);

// The backend's application on the named display (empty: the default one).
// Throws DisplayError when it cannot be opened.
std::unique_ptr<Application> CreateApplication(const std::string& displayName = {});

}  // namespace velora::platform
