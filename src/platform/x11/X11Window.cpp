#include "platform/x11/X11Application.h"

#include <X11/Xatom.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/x11/X11Errors.h"

namespace velora::platform::x11 {

namespace {

constexpr long kTopLevelEvents =
    ExposureMask | StructureNotifyMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
// A child panel leaves input to the window it lies on.
constexpr long kChildEvents = ExposureMask | StructureNotifyMask;

constexpr auto kMapWait = std::chrono::seconds(2);
constexpr auto kGrabWait = std::chrono::seconds(1);
constexpr auto kPollStep = std::chrono::milliseconds(5);

bool IsOverrideRedirect(WindowKind kind) { return kind == WindowKind::FullScreen || kind == WindowKind::Popup; }

void SetUtf8Property(Display* display, ::Window window, Atom property, Atom utf8, const std::string& text) {
    XChangeProperty(display, window, property, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
}

}  // namespace

X11Window::X11Window(X11Application& app, const WindowSpec& request, WindowProc proc)
    : FApp(app),
      FDisplay(app.XDisplay()),
      FKind(request.Kind),
      FVisual(DefaultVisual(FDisplay, DefaultScreen(FDisplay))),
      FDepth(DefaultDepth(FDisplay, DefaultScreen(FDisplay))),
      FProc(std::move(proc)),
      FHasBackground(request.HasBackground),
      // X has no empty windows.
      FWidth(std::max(1, request.Bounds.Right - request.Bounds.Left)),
      FHeight(std::max(1, request.Bounds.Bottom - request.Bounds.Top)) {
    const int screen = DefaultScreen(FDisplay);
    const ::Window parent = FKind == WindowKind::Child ? request.Parent : RootWindow(FDisplay, screen);
    FOnDesktop = FKind == WindowKind::Child && parent == RootWindow(FDisplay, screen);
    if (request.OpenGl) {
        if (const auto chosen = app.XGraphics().ChooseVisual(*request.OpenGl)) {
            FVisual = chosen->visual;
            FDepth = chosen->depth;
        }
    }
    ErrorTrap trap(FDisplay);
    if (FKind == WindowKind::Child && request.FollowParent) FollowParent(parent);
    XSetWindowAttributes attributes{};
    // Nothing is painted under the OpenGL frames; erasing is the window
    // procedure's business (WM_ERASEBKGND), as on Windows.
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.colormap = app.ColormapFor(FVisual);
    // A child of the root window is a top-level window, which a window
    // manager would frame and place.
    attributes.override_redirect = IsOverrideRedirect(FKind) || FOnDesktop ? True : False;
    attributes.event_mask = FKind == WindowKind::Child ? kChildEvents : kTopLevelEvents;
    FWindow =
        XCreateWindow(FDisplay, parent, request.Bounds.Left, request.Bounds.Top, static_cast<unsigned int>(FWidth),
                      static_cast<unsigned int>(FHeight), 0, FDepth, InputOutput, FVisual,
                      CWBackPixmap | CWBorderPixel | CWColormap | CWOverrideRedirect | CWEventMask, &attributes);
    if (const int code = trap.Finish(); code != 0) throw EOSError(code, ErrorText(FDisplay, code));
    if (FHasBackground) FBackgroundPixel = app.PixelOf(FVisual, request.BackgroundRgb);
    SetProperties(request);
    FApp.Register(FWindow, this);
    if (FKind == WindowKind::Child && request.FollowParent) FApp.Follow(parent, this);
}

void X11Window::FollowParent(::Window parent) {
    // Our selection on another program's window is ours alone: it adds to
    // what this connection already asked of that window and disturbs nobody.
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(FDisplay, parent, &attributes) == 0) return;
    XSelectInput(FDisplay, parent, attributes.your_event_mask | StructureNotifyMask);
    // Read again after selecting, so that no resize can fall in between.
    if (XGetWindowAttributes(FDisplay, parent, &attributes) == 0) return;
    FWidth = std::max(1, attributes.width);
    FHeight = std::max(1, attributes.height);
}

X11Window::~X11Window() {
    Destroy();
    FApp.Unregister(FWindow);
    if (FPicture != nullptr) XDestroyImage(FPicture);
}

void X11Window::SetProperties(const WindowSpec& request) {
    Atom protocols[] = {FApp.InternAtom("WM_DELETE_WINDOW")};
    XSetWMProtocols(FDisplay, FWindow, protocols, 1);
    if (FKind == WindowKind::Child) return;

    XStoreName(FDisplay, FWindow, request.Caption.c_str());
    const Atom utf8 = FApp.InternAtom("UTF8_STRING");
    SetUtf8Property(FDisplay, FWindow, FApp.InternAtom("_NET_WM_NAME"), utf8, request.Caption);

    std::string resourceName = "velora";
    std::string resourceClass = FApp.Title().empty() ? resourceName : FApp.Title();
    XClassHint classHint{resourceName.data(), resourceClass.data()};
    XSetClassHint(FDisplay, FWindow, &classHint);

    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSetWMHints(FDisplay, FWindow, &wmHints);

    XSizeHints sizeHints{};
    sizeHints.flags = USPosition | USSize | PPosition | PSize;
    sizeHints.x = request.Bounds.Left;
    sizeHints.y = request.Bounds.Top;
    sizeHints.width = FWidth;
    sizeHints.height = FHeight;
    if (FKind == WindowKind::Sizeable && (request.MinWidth > 0 || request.MinHeight > 0)) {
        sizeHints.flags |= PMinSize;
        sizeHints.min_width = request.MinWidth;
        sizeHints.min_height = request.MinHeight;
    } else if (FKind == WindowKind::Dialog) {
        sizeHints.flags |= PMinSize | PMaxSize;
        sizeHints.min_width = sizeHints.max_width = FWidth;
        sizeHints.min_height = sizeHints.max_height = FHeight;
    }
    XSetWMNormalHints(FDisplay, FWindow, &sizeHints);

    const Atom type =
        FApp.InternAtom(FKind == WindowKind::Dialog ? "_NET_WM_WINDOW_TYPE_DIALOG" : "_NET_WM_WINDOW_TYPE_NORMAL");
    XChangeProperty(FDisplay, FWindow, FApp.InternAtom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);
    const long pid = getpid();
    XChangeProperty(FDisplay, FWindow, FApp.InternAtom("_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
}

void X11Window::Show() {
    if (FDestroyed) return;
    // On the desktop the picture takes the place of the background, under
    // every other window.
    if (FOnDesktop) XLowerWindow(FDisplay, FWindow);
    if (IsOverrideRedirect(FKind))
        XMapRaised(FDisplay, FWindow);
    else
        XMapWindow(FDisplay, FWindow);
    if (FKind == WindowKind::Child) {
        XFlush(FDisplay);
        return;
    }
    WaitUntilViewable();
    {
        // Windows activates a window it shows; without a window manager
        // nobody else gives the keyboard to an X window.
        ErrorTrap trap(FDisplay);
        XSetInputFocus(FDisplay, FWindow, RevertToParent, CurrentTime);
        trap.Finish();
    }
    if (FKind == WindowKind::FullScreen) GrabInput();
}

void X11Window::WaitUntilViewable() {
    // A window manager maps a managed window in its own time; a grab or a
    // focus change before that fails.
    const auto deadline = std::chrono::steady_clock::now() + kMapWait;
    while (std::chrono::steady_clock::now() < deadline) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(FDisplay, FWindow, &attributes) == 0) return;
        if (attributes.map_state == IsViewable) return;
        std::this_thread::sleep_for(kPollStep);
    }
}

void X11Window::GrabInput() {
    // Another client may hold a grab for a moment (a menu, a key binding).
    bool keyboard = false;
    bool pointer = false;
    const auto deadline = std::chrono::steady_clock::now() + kGrabWait;
    while (!(keyboard && pointer) && std::chrono::steady_clock::now() < deadline) {
        if (!keyboard)
            keyboard =
                XGrabKeyboard(FDisplay, FWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        if (!pointer)
            pointer = XGrabPointer(FDisplay, FWindow, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                   GrabModeAsync, GrabModeAsync, None, FCursor, CurrentTime) == GrabSuccess;
        if (!(keyboard && pointer)) std::this_thread::sleep_for(kPollStep);
    }
    FGrabbed = keyboard || pointer;
}

void X11Window::Destroy() {
    if (FDestroyed) return;
    FDestroyed = true;
    ErrorTrap trap(FDisplay);
    if (FGrabbed) {
        XUngrabPointer(FDisplay, CurrentTime);
        XUngrabKeyboard(FDisplay, CurrentTime);
    }
    XDestroyWindow(FDisplay, FWindow);
    trap.Finish();
}

void X11Window::SetCursor(PointerShape shape) {
    FCursor = FApp.CursorFor(shape);
    if (FDestroyed) return;
    if (FCursor == None)
        XUndefineCursor(FDisplay, FWindow);
    else
        XDefineCursor(FDisplay, FWindow, FCursor);
    if (FGrabbed)
        XChangeActivePointerGrab(FDisplay, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, FCursor,
                                 CurrentTime);
    XFlush(FDisplay);
}

void X11Window::SetPicture(const Picture& picture) {
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Rgb.size() < static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height) * 3)
        throw Exception(msg::kPictureIncomplete);
    XImage* image =
        XCreateImage(FDisplay, FVisual, static_cast<unsigned int>(FDepth), ZPixmap, 0, nullptr,
                     static_cast<unsigned int>(picture.Width), static_cast<unsigned int>(picture.Height), 32, 0);
    if (image == nullptr) throw Exception(msg::kPictureIncomplete);
    // XDestroyImage gives the pixels back with free().
    image->data = static_cast<char*>(
        std::calloc(static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(picture.Height), 1));
    if (image->data == nullptr) {
        XDestroyImage(image);
        throw std::bad_alloc();
    }
    const unsigned char* rgb = picture.Rgb.data();
    for (int y = 0; y < picture.Height; ++y)
        for (int x = 0; x < picture.Width; ++x, rgb += 3)
            XPutPixel(image, x, y,
                      FApp.PixelOf(FVisual, std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2]));
    if (FPicture != nullptr) XDestroyImage(FPicture);
    FPicture = image;
    if (!FDestroyed) XClearArea(FDisplay, FWindow, 0, 0, 0, 0, True);
}

Rect X11Window::ClientRect() const {
    if (FDestroyed) return Rect{};
    XWindowAttributes attributes{};
    ErrorTrap trap(FDisplay);
    const Status ok = XGetWindowAttributes(FDisplay, FWindow, &attributes);
    if (trap.Finish() != 0 || ok == 0) return Rect{};
    return Rect{0, 0, attributes.width, attributes.height};
}

void X11Window::FitToParent(int width, int height) {
    if (FDestroyed) return;
    // The ConfigureNotify that follows tells the window procedure (WM_SIZE).
    XResizeWindow(FDisplay, FWindow, static_cast<unsigned int>(std::max(1, width)),
                  static_cast<unsigned int>(std::max(1, height)));
}

bool X11Window::Resized(int width, int height) {
    if (width == FWidth && height == FHeight) return false;
    FWidth = width;
    FHeight = height;
    return true;
}

void X11Window::DefaultHandling(const Message& msg) {
    switch (msg.message) {
        case kWmClose:
            Destroy();
            break;
        case kWmEraseBkgnd:
            if (FHasBackground && !FDestroyed) {
                GC gc = XCreateGC(FDisplay, FWindow, 0, nullptr);
                XSetForeground(FDisplay, gc, FBackgroundPixel);
                XFillRectangle(FDisplay, FWindow, gc, 0, 0, static_cast<unsigned int>(FWidth),
                               static_cast<unsigned int>(FHeight));
                XFreeGC(FDisplay, gc);
            }
            break;
        case kWmPaint:
            if (FPicture != nullptr && !FDestroyed) {
                GC gc = XCreateGC(FDisplay, FWindow, 0, nullptr);
                XPutImage(FDisplay, FWindow, gc, FPicture, 0, 0, 0, 0, static_cast<unsigned int>(FPicture->width),
                          static_cast<unsigned int>(FPicture->height));
                XFreeGC(FDisplay, gc);
            }
            break;
        default:
            break;
    }
}

}  // namespace velora::platform::x11
