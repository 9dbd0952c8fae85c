#pragma once
// The web backend of the platform layer: the page is the screen, its canvas
// the one window the engine draws into, and the settings dialog an overlay
// above it. The page's script (assets/web/velora-page.js) queues the DOM's
// input; the message loop takes it between animation frames, giving the
// browser its turn through Asyncify while it waits.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/web/WebGraphics.h"

namespace velora::platform::web {

class WebApplication;

class WebWindow final : public Window {
public:
    WebWindow(WebApplication& app, WindowHandle handle, const WindowSpec& request, WindowProc proc);
    ~WebWindow() override;
    WebWindow(const WebWindow&) = delete;
    WebWindow& operator=(const WebWindow&) = delete;

    WindowHandle Handle() const override { return FHandle; }
    void Show() override;
    void Destroy() override;
    void SetCursor(PointerShape shape) override;
    void SetPicture(const Picture& picture) override;
    Rect ClientRect() const override;

    // For the application's dispatch.
    bool Deliver(const Message& msg) { return FProc && FProc(msg); }
    void DefaultHandling(const Message& msg);
    bool Exists() const { return !FDestroyed; }
    // The page's canvas (not the dialog's overlay).
    bool OnCanvas() const { return FKind != WindowKind::Dialog; }

private:
    WebApplication& FApp;
    const WindowHandle FHandle;
    const WindowKind FKind;
    WindowProc FProc;
    bool FDestroyed = false;
};

// performance.now(): monotonic, in milliseconds with a fraction.
class WebClock final : public Clock {
public:
    // The tick waits for drawing still under way, so that time measured
    // around drawing includes it.
    Tick GetTickCount() override;
    // Microseconds.
    bool QueryPerformanceCounter(std::uint64_t& counter) override;
};

class WebApplication final : public Application {
public:
    WebApplication();
    ~WebApplication() override;
    WebApplication(const WebApplication&) = delete;
    WebApplication& operator=(const WebApplication&) = delete;

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

    // Throws Exception for a child window (a page cannot draw into another
    // program's window) and for a second window on the page's canvas.
    std::unique_ptr<Window> OpenWindow(const WindowSpec& request, WindowProc proc) override;
    bool IsWindow(WindowHandle wnd) override;
    bool GetClientRect(WindowHandle wnd, Rect& rect) override;
    // The page itself.
    WindowHandle DesktopWindow() override { return kPageWindow; }
    // The page's viewport in device pixels.
    Rect VirtualScreen() override;
    Rect WorkArea() override { return VirtualScreen(); }

    GraphicsBinding& Graphics() override { return FGraphics; }
    Clock& SystemClock() override { return FClock; }
    // Whether the browser's Intl has Russian.
    bool IsRussianLocaleInstalled() override;
    // Opens the address in a new tab.
    bool OpenDocument(const std::string& fileName, const std::string& parameters) override;

    // The page's own control (or its key) asked to run the saver. Called from
    // the message loop; the handler usually ends it with Terminate.
    void SetSaverRequestHandler(std::function<void()> handler) { FSaverRequest = std::move(handler); }
    // Lets Run loop again after Terminate, for the next form.
    void Resume() { FTerminated = false; }

    // For the windows.
    void Register(WindowHandle handle, WebWindow* window) { FWindows[handle] = window; }
    void Unregister(WindowHandle handle) { FWindows.erase(handle); }
    // Queued behind the page's own records; dispatched without the hook.
    void Post(const Message& msg) { FPosted.push_back(msg); }

private:
    static constexpr WindowHandle kPageWindow = 1;

    struct ModalRun {
        WindowHandle Dialog;
        bool Ended;
    };

    void Loop(const ModalRun* modal);
    bool Ended(const ModalRun* modal) const;
    // Handles one queued record or posted message; false when none was left.
    bool HandleNext();
    void HandleInput(Message& msg);
    void Dispatch(const Message& msg);
    WebWindow* Find(WindowHandle handle) const;

    std::string FTitle;
    MessageHook FHook;
    IdleHandler FIdle;
    std::function<void()> FSaverRequest;
    bool FTerminated = false;
    std::vector<ModalRun*> FModalRuns;
    std::map<WindowHandle, WebWindow*> FWindows;
    std::vector<Message> FPosted;
    WindowHandle FNextHandle = kPageWindow + 1;
    WebGraphics FGraphics;
    WebClock FClock;
};

}  // namespace velora::platform::web
