#pragma once
// The Xlib backend of the platform layer: one display connection per
// process, its windows, the message loop and the message box.
// Before Xlib, whose macros (None among them) would garble it.
#include "platform/Platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/PosixServices.h"
#include "platform/x11/X11Graphics.h"

namespace velora::platform::x11 {

class X11Application;

class X11Window : public Window {
public:
    X11Window(X11Application& app, const WindowSpec& request, WindowProc proc);
    ~X11Window() override;
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    WindowHandle Handle() const override { return FWindow; }
    void Show() override;
    void Destroy() override;
    void SetCursor(PointerShape shape) override;
    void SetPicture(const Picture& picture) override;
    Rect ClientRect() const override;

    // For the application's dispatch.
    WindowKind Kind() const { return FKind; }
    bool Deliver(const Message& msg) { return FProc && FProc(msg); }
    void DefaultHandling(const Message& msg);
    // Records a new size; true when it differs from the last one.
    bool Resized(int width, int height);
    // The parent of a following child took this size.
    void FitToParent(int width, int height);
    void Gone() { FDestroyed = true; }
    bool Exists() const { return !FDestroyed; }

private:
    void FollowParent(::Window parent);
    void SetProperties(const WindowSpec& request);
    void WaitUntilViewable();
    void GrabInput();
    void PaintPicture();

    X11Application& FApp;
    Display* FDisplay;
    WindowKind FKind;
    Visual* FVisual;
    int FDepth;
    bool FOnDesktop = false;  // a child of the root window
    ::Window FWindow = None;
    WindowProc FProc;
    bool FDestroyed = false;
    bool FGrabbed = false;
    bool FHasBackground;
    unsigned long FBackgroundPixel = 0;
    int FWidth;
    int FHeight;
    XImage* FPicture = nullptr;
    Cursor FCursor = None;
};

class X11Application : public Application {
public:
    explicit X11Application(const std::string& displayName);
    ~X11Application() override;
    X11Application(const X11Application&) = delete;
    X11Application& operator=(const X11Application&) = delete;

    void SetTitle(const std::string& title) override { FTitle = title; }
    std::string Title() const override { return FTitle; }

    void SetMessageHook(MessageHook hook) override { FHook = std::move(hook); }
    void SetIdleHandler(IdleHandler idle) override { FIdle = std::move(idle); }
    void Run() override;
    void Terminate() override { FTerminated = true; }
    bool Terminated() const override { return FTerminated; }
    void ProcessMessages() override;
    void RunModal(Window& dialog) override;
    void EndModal() override;
    void ShowMessage(const std::string& text) override;

    std::unique_ptr<Window> OpenWindow(const WindowSpec& request, WindowProc proc) override;
    bool IsWindow(WindowHandle wnd) override;
    bool GetClientRect(WindowHandle wnd, Rect& rect) override;
    WindowHandle DesktopWindow() override { return DefaultRootWindow(FDisplay); }
    Rect VirtualScreen() override;
    Rect WorkArea() override;

    GraphicsBinding& Graphics() override { return *FGraphics; }
    Clock& SystemClock() override { return FClock; }
    bool IsRussianLocaleInstalled() override { return posix::RussianLocaleInstalled(); }
    bool OpenDocument(const std::string& fileName, const std::string& parameters) override;

    // For the windows.
    Display* XDisplay() const { return FDisplay; }
    Atom InternAtom(const char* name) { return XInternAtom(FDisplay, name, False); }
    unsigned long PixelOf(const Visual* visual, std::uint32_t rgb) const;
    Cursor CursorFor(PointerShape shape);
    X11Graphics& XGraphics() { return *FGraphics; }
    // The default colour map for the default visual, else one of our own.
    Colormap ColormapFor(Visual* visual);
    void Register(::Window window, X11Window* owner) { FWindows[window] = owner; }
    void Unregister(::Window window);
    // `child` is resized with `parent` from now on.
    void Follow(::Window parent, X11Window* child) { FFollowers.emplace(parent, child); }

private:
    struct ModalRun {
        WindowHandle Dialog;
        bool Ended;
    };

    void Loop(const ModalRun* modal);
    bool Ended(const ModalRun* modal) const;
    void HandleNextEvent();
    std::vector<Message> Translate(XEvent& event);
    void Dispatch(const Message& msg);
    X11Window* Find(::Window window) const;

    Display* FDisplay = nullptr;
    std::string FTitle;
    MessageHook FHook;
    IdleHandler FIdle;
    bool FTerminated = false;
    std::vector<ModalRun*> FModalRuns;
    std::map<::Window, X11Window*> FWindows;
    std::multimap<::Window, X11Window*> FFollowers;  // by parent
    std::map<VisualID, Colormap> FColormaps;
    std::unique_ptr<X11Graphics> FGraphics;
    posix::MonotonicClock FClock;
    Atom FWmProtocols = None;
    Atom FWmDeleteWindow = None;
    Cursor FHiddenCursor = None;
    Cursor FHandCursor = None;
};

}  // namespace velora::platform::x11
