#include "platform/x11/X11Application.h"

#include <X11/Xatom.h>
#include <X11/cursorfont.h>

#include <bit>
#include <cstdio>

#include "platform/x11/X11Errors.h"
#include "platform/x11/X11Events.h"

namespace velora::platform {

std::unique_ptr<Application> CreateApplication(const std::string& displayName) {
    posix::ReserveStandardDescriptors();
    return std::make_unique<x11::X11Application>(displayName);
}

}  // namespace velora::platform

namespace velora::platform::x11 {

namespace {

// X window ids have 29 bits; a larger number would reach the server cut
// down to 32 bits and could name somebody else's window.
constexpr WindowHandle kLargestWindowId = 0x1FFFFFFF;

unsigned long Channel(unsigned int value, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const unsigned long levels = mask >> shift;
    return ((value * levels + 127) / 255) << shift;
}

std::string DisplayErrorText(const char* name) {
    char text[512];
    std::snprintf(text, sizeof text, msg::kCannotOpenDisplay, XDisplayName(name));
    return text;
}

}  // namespace

X11Application::X11Application(const std::string& displayName) {
    const char* name = displayName.empty() ? nullptr : displayName.c_str();
    FDisplay = XOpenDisplay(name);
    if (FDisplay == nullptr) throw DisplayError(DisplayErrorText(name));
    InstallErrorHandler();
    FGraphics = std::make_unique<X11Graphics>(FDisplay);
    FWmProtocols = InternAtom("WM_PROTOCOLS");
    FWmDeleteWindow = InternAtom("WM_DELETE_WINDOW");
}

X11Application::~X11Application() {
    FGraphics.reset();
    for (const auto& [visual, colormap] : FColormaps) XFreeColormap(FDisplay, colormap);
    if (FHiddenCursor != None) XFreeCursor(FDisplay, FHiddenCursor);
    if (FHandCursor != None) XFreeCursor(FDisplay, FHandCursor);
    XCloseDisplay(FDisplay);
}

bool X11Application::Ended(const ModalRun* modal) const {
    if (FTerminated) return true;
    if (modal == nullptr) return false;
    const X11Window* dialog = Find(modal->Dialog);
    return modal->Ended || dialog == nullptr || !dialog->Exists();
}

void X11Application::Loop(const ModalRun* modal) {
    while (!Ended(modal)) {
        if (XPending(FDisplay) == 0) {
            bool done = true;
            if (FIdle) FIdle(done);
            if (!done || Ended(modal)) continue;
        }
        HandleNextEvent();
    }
}

void X11Application::Run() { Loop(nullptr); }

void X11Application::ProcessMessages() {
    while (XPending(FDisplay) > 0) HandleNextEvent();
}

void X11Application::RunModal(Window& dialog) {
    ModalRun run{dialog.Handle(), false};
    FModalRuns.push_back(&run);
    struct Pop {
        std::vector<ModalRun*>& Runs;
        ~Pop() { Runs.pop_back(); }
    } pop{FModalRuns};
    dialog.Show();
    Loop(&run);
}

void X11Application::EndModal() {
    if (!FModalRuns.empty()) FModalRuns.back()->Ended = true;
}

void X11Application::HandleNextEvent() {
    XEvent event;
    XNextEvent(FDisplay, &event);
    if (event.type == ConfigureNotify) {
        const auto [first, last] = FFollowers.equal_range(event.xconfigure.window);
        for (auto follower = first; follower != last; ++follower)
            follower->second->FitToParent(event.xconfigure.width, event.xconfigure.height);
    }
    for (Message& msg : Translate(event)) {
        // A modal dialog disables the other windows: their input never
        // reaches the queue.
        if (!FModalRuns.empty() && IsInputMessage(msg.message) && msg.window != FModalRuns.back()->Dialog) continue;
        bool handled = false;
        if (FHook) FHook(msg, handled);
        if (!handled) Dispatch(msg);
    }
}

std::vector<Message> X11Application::Translate(XEvent& event) {
    X11Window* window = Find(event.xany.window);
    if (window == nullptr) return {};
    const WindowHandle wnd = event.xany.window;
    switch (event.type) {
        case KeyPress:
            return {TranslateKeyPress(wnd, XLookupKeysym(&event.xkey, 0), event.xkey.state)};
        case ButtonPress:
        case ButtonRelease:
            if (auto msg = TranslateButton(wnd, event.type == ButtonPress, event.xbutton.button, event.xbutton.x,
                                           event.xbutton.y))
                return {*msg};
            return {};
        case MotionNotify:
            return {Message{wnd, kWmMouseMove, 0, MakePointParam(event.xmotion.x, event.xmotion.y)}};
        case Expose:
            if (event.xexpose.count != 0) return {};
            return {Message{wnd, kWmEraseBkgnd, 0, 0}, Message{wnd, kWmPaint, 0, 0}};
        case ConfigureNotify:
            if (!window->Resized(event.xconfigure.width, event.xconfigure.height)) return {};
            return {Message{wnd, kWmSize, 0, MakePointParam(event.xconfigure.width, event.xconfigure.height)}};
        case ClientMessage:
            if (event.xclient.message_type == FWmProtocols && event.xclient.format == 32 &&
                static_cast<Atom>(event.xclient.data.l[0]) == FWmDeleteWindow)
                return {Message{wnd, kWmClose, 0, 0}};
            return {};
        case DestroyNotify:
            if (event.xdestroywindow.window != wnd) return {};
            window->Gone();
            return {Message{wnd, kWmDestroy, 0, 0}};
        default:
            return {};
    }
}

X11Window* X11Application::Find(::Window window) const {
    const auto found = FWindows.find(window);
    return found == FWindows.end() ? nullptr : found->second;
}

void X11Application::Dispatch(const Message& msg) {
    X11Window* window = Find(msg.window);
    if (window == nullptr || window->Deliver(msg)) return;
    // The window's own handling may have freed it.
    if ((window = Find(msg.window)) != nullptr) window->DefaultHandling(msg);
}

void X11Application::Unregister(::Window window) {
    const auto found = FWindows.find(window);
    if (found == FWindows.end()) return;
    std::erase_if(FFollowers, [owner = found->second](const auto& entry) { return entry.second == owner; });
    FWindows.erase(found);
}

Colormap X11Application::ColormapFor(Visual* visual) {
    const int screen = DefaultScreen(FDisplay);
    if (visual == DefaultVisual(FDisplay, screen)) return DefaultColormap(FDisplay, screen);
    const VisualID id = XVisualIDFromVisual(visual);
    if (const auto known = FColormaps.find(id); known != FColormaps.end()) return known->second;
    const Colormap colormap = XCreateColormap(FDisplay, RootWindow(FDisplay, screen), visual, AllocNone);
    FColormaps.emplace(id, colormap);
    return colormap;
}

std::unique_ptr<Window> X11Application::OpenWindow(const WindowSpec& request, WindowProc proc) {
    return std::make_unique<X11Window>(*this, request, std::move(proc));
}

bool X11Application::IsWindow(WindowHandle wnd) {
    if (wnd == 0 || wnd > kLargestWindowId) return false;
    XWindowAttributes attributes{};
    ErrorTrap trap(FDisplay);
    const Status ok = XGetWindowAttributes(FDisplay, wnd, &attributes);
    return trap.Finish() == 0 && ok != 0;
}

bool X11Application::GetClientRect(WindowHandle wnd, Rect& rect) {
    if (wnd == 0 || wnd > kLargestWindowId) return false;
    XWindowAttributes attributes{};
    ErrorTrap trap(FDisplay);
    const Status ok = XGetWindowAttributes(FDisplay, wnd, &attributes);
    if (trap.Finish() != 0 || ok == 0) return false;
    rect = Rect{0, 0, attributes.width, attributes.height};
    return true;
}

Rect X11Application::VirtualScreen() {
    XWindowAttributes root{};
    XGetWindowAttributes(FDisplay, DefaultRootWindow(FDisplay), &root);
    return Rect{root.x, root.y, root.x + root.width, root.y + root.height};
}

Rect X11Application::WorkArea() {
    const ::Window root = DefaultRootWindow(FDisplay);
    auto readCardinals = [&](const char* name, std::vector<long>& values) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        values.clear();
        if (XGetWindowProperty(FDisplay, root, InternAtom(name), 0, 1024, False, XA_CARDINAL, &type, &format, &count,
                               &after, &data) == Success &&
            type == XA_CARDINAL && format == 32 && data != nullptr) {
            const auto* longs = reinterpret_cast<const long*>(data);
            values.assign(longs, longs + count);
        }
        if (data != nullptr) XFree(data);
    };
    std::vector<long> area;
    std::vector<long> desktop;
    readCardinals("_NET_WORKAREA", area);
    readCardinals("_NET_CURRENT_DESKTOP", desktop);
    // Another program's property: a desktop without an area gets the screen.
    const long index = desktop.size() == 1 ? desktop[0] : 0;
    if (index < 0 || static_cast<std::size_t>(index) >= area.size() / 4) return VirtualScreen();
    const long* a = &area[4 * index];
    return Rect{static_cast<std::int32_t>(a[0]), static_cast<std::int32_t>(a[1]),
                static_cast<std::int32_t>(a[0] + a[2]), static_cast<std::int32_t>(a[1] + a[3])};
}

bool X11Application::OpenDocument(const std::string& fileName, const std::string& parameters) {
    std::vector<std::string> argv{"xdg-open", fileName};
    if (!parameters.empty()) argv.push_back(parameters);
    return posix::SpawnDetached(argv);
}

unsigned long X11Application::PixelOf(const Visual* visual, std::uint32_t rgb) const {
    const unsigned int red = (rgb >> 16) & 0xFF;
    const unsigned int green = (rgb >> 8) & 0xFF;
    const unsigned int blue = rgb & 0xFF;
    if (visual->c_class == TrueColor || visual->c_class == DirectColor)
        return Channel(red, visual->red_mask) | Channel(green, visual->green_mask) | Channel(blue, visual->blue_mask);
    // Palette screens: the nearer of black and white.
    const int screen = DefaultScreen(FDisplay);
    return red + green + blue >= 384 ? WhitePixel(FDisplay, screen) : BlackPixel(FDisplay, screen);
}

Cursor X11Application::CursorFor(PointerShape shape) {
    switch (shape) {
        case PointerShape::Hidden:
            if (FHiddenCursor == None) {
                static const char kEmpty[1] = {0};
                const Pixmap blank = XCreateBitmapFromData(FDisplay, DefaultRootWindow(FDisplay), kEmpty, 1, 1);
                XColor black{};
                FHiddenCursor = XCreatePixmapCursor(FDisplay, blank, blank, &black, &black, 0, 0);
                XFreePixmap(FDisplay, blank);
            }
            return FHiddenCursor;
        case PointerShape::Hand:
            if (FHandCursor == None) FHandCursor = XCreateFontCursor(FDisplay, XC_hand2);
            return FHandCursor;
        case PointerShape::Arrow:
            break;
    }
    return None;
}

}  // namespace velora::platform::x11
