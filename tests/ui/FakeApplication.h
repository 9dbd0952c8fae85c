#pragma once
// A platform that exists only in memory: windows are records, the message
// queue is a deque the test fills, and the loops run a bounded number of
// idle passes instead of waiting. The engine draws into sim::VirtualWindow.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "VirtualWindow.h"
#include "platform/Platform.h"

namespace velora::testing {

class FakeApplication;

class FakeWindow : public platform::Window {
public:
    FakeWindow(FakeApplication& app, WindowHandle handle, const platform::WindowSpec& request,
               platform::WindowProc proc);
    ~FakeWindow() override;

    WindowHandle Handle() const override { return FHandle; }
    void Show() override { Shown = true; }
    void Destroy() override { Destroyed = true; }
    void SetCursor(platform::PointerShape shape) override { Cursor = shape; }
    void SetPicture(const platform::Picture& picture) override { Shows = picture; }
    Rect ClientRect() const override {
        return Rect{0, 0, Request.Bounds.Right - Request.Bounds.Left, Request.Bounds.Bottom - Request.Bounds.Top};
    }

    platform::WindowSpec Request;
    platform::WindowProc Proc;
    bool Shown = false;
    bool Destroyed = false;
    platform::PointerShape Cursor = platform::PointerShape::Arrow;
    platform::Picture Shows;

private:
    FakeApplication& FApp;
    WindowHandle FHandle;
};

class FakeApplication : public platform::Application {
public:
    FakeApplication() : Binding(1024, 768), Ticks(1000) {}

    // --- what a test arranges and reads ---
    sim::VirtualWindow Binding;
    sim::ScriptedClock Ticks;
    Rect Screen{0, 0, 1024, 768};
    Rect Work{0, 0, 1024, 740};
    WindowHandle Desktop = 0x100;  // a foreign window only if the test makes it one
    bool Russian = false;
    std::map<WindowHandle, Rect> ForeignWindows;  // other programs' windows and their client areas
    int IdlePasses = 3;                           // idle passes before a loop gives up waiting
    std::function<void()> WhileModal;             // the user's doing while a dialog is up
    std::function<void()> OnProcessMessages;      // called by every ProcessMessages

    std::vector<std::string> Shown;               // message box texts
    std::vector<std::string> Opened;              // documents handed to the desktop
    std::map<WindowHandle, FakeWindow*> Windows;  // the live window records
    std::vector<platform::WindowSpec> Created;    // every window ever opened
    int IdleCalls = 0;
    int ProcessCalls = 0;
    int ModalRuns = 0;
    std::deque<platform::Message> Queue;

    // Offers a message as the loop would: hook first, then dispatch.
    void Deliver(platform::Message msg) {
        bool handled = false;
        if (Hook) Hook(msg, handled);
        if (!handled) Dispatch(msg);
    }
    // Whether the hook took the message.
    bool Hooked(platform::Message msg) {
        bool handled = false;
        if (Hook) Hook(msg, handled);
        return handled;
    }
    FakeWindow* Find(WindowHandle wnd) {
        const auto found = Windows.find(wnd);
        return found == Windows.end() ? nullptr : found->second;
    }
    FakeWindow* Only(platform::WindowKind kind) {
        for (auto& [handle, window] : Windows)
            if (window->Request.Kind == kind) return window;
        return nullptr;
    }

    platform::MessageHook Hook;
    platform::IdleHandler Idle;

    // --- the platform ---
    void SetTitle(const std::string& title) override { FTitle = title; }
    std::string Title() const override { return FTitle; }
    void SetMessageHook(platform::MessageHook hook) override { Hook = std::move(hook); }
    void SetIdleHandler(platform::IdleHandler idle) override { Idle = std::move(idle); }
    void Run() override { Loop(nullptr); }
    void Terminate() override { FTerminated = true; }
    bool Terminated() const override { return FTerminated; }
    void ProcessMessages() override {
        ++ProcessCalls;
        if (OnProcessMessages) OnProcessMessages();
        while (!Queue.empty()) {
            const platform::Message msg = Queue.front();
            Queue.pop_front();
            Deliver(msg);
        }
    }
    void RunModal(platform::Window& dialog) override {
        ++ModalRuns;
        bool ended = false;
        FModal.push_back(&ended);
        dialog.Show();
        if (WhileModal) WhileModal();
        Loop(&ended);
        FModal.pop_back();
    }
    void EndModal() override {
        if (!FModal.empty()) *FModal.back() = true;
    }
    void ShowMessage(const std::string& text) override { Shown.push_back(text); }

    std::unique_ptr<platform::Window> OpenWindow(const platform::WindowSpec& request,
                                                 platform::WindowProc proc) override {
        Created.push_back(request);
        return std::make_unique<FakeWindow>(*this, FNextHandle++, request, std::move(proc));
    }
    bool IsWindow(WindowHandle wnd) override {
        if (ForeignWindows.contains(wnd)) return true;
        const FakeWindow* window = Find(wnd);
        return window != nullptr && !window->Destroyed;
    }
    bool GetClientRect(WindowHandle wnd, Rect& rect) override {
        const auto found = ForeignWindows.find(wnd);
        if (found == ForeignWindows.end()) return false;
        rect = found->second;
        return true;
    }
    WindowHandle DesktopWindow() override { return Desktop; }
    Rect VirtualScreen() override { return Screen; }
    Rect WorkArea() override { return Work; }
    GraphicsBinding& Graphics() override { return Binding; }
    Clock& SystemClock() override { return Ticks; }
    bool IsRussianLocaleInstalled() override { return Russian; }
    bool OpenDocument(const std::string& fileName, const std::string& parameters) override {
        Opened.push_back(fileName + "|" + parameters);
        return true;
    }

private:
    void Dispatch(const platform::Message& msg) {
        FakeWindow* window = Find(msg.window);
        if (window == nullptr || (window->Proc && window->Proc(msg))) return;
        if (msg.message == platform::kWmClose && (window = Find(msg.window)) != nullptr) window->Destroy();
    }
    void Loop(const bool* modalEnded) {
        int idle = 0;
        while (!FTerminated && !(modalEnded != nullptr && *modalEnded)) {
            if (Queue.empty()) {
                if (idle++ == IdlePasses) return;
                ++IdleCalls;
                bool done = true;
                if (Idle) Idle(done);
                continue;
            }
            const platform::Message msg = Queue.front();
            Queue.pop_front();
            Deliver(msg);
        }
    }

    friend class FakeWindow;
    std::string FTitle;
    bool FTerminated = false;
    std::vector<bool*> FModal;
    WindowHandle FNextHandle = 0x400001;
};

inline FakeWindow::FakeWindow(FakeApplication& app, WindowHandle handle, const platform::WindowSpec& request,
                              platform::WindowProc proc)
    : Request(request), Proc(std::move(proc)), FApp(app), FHandle(handle) {
    FApp.Windows[FHandle] = this;
}

inline FakeWindow::~FakeWindow() { FApp.Windows.erase(FHandle); }

inline platform::Message Msg(WindowHandle window, std::uint32_t message, std::uintptr_t wParam = 0,
                             std::intptr_t lParam = 0) {
    return platform::Message{window, message, wParam, lParam};
}

}  // namespace velora::testing
