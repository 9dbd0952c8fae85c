#pragma once
// The Win32 backend of the platform layer: user32 windows of one window
// class, the message loop, modal runs, the message box and the services
// (tick, performance counter, locale test, shell).
#include "platform/Platform.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Win32Graphics.h"

namespace velora::platform::win32 {

class Win32Window : public Window {
public:
    Win32Window(const WindowSpec& request, WindowProc proc);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    WindowHandle Handle() const override { return reinterpret_cast<WindowHandle>(FWnd); }
    void Show() override;
    void Destroy() override;
    void SetCursor(PointerShape shape) override;
    void SetPicture(const Picture& picture) override;
    Rect ClientRect() const override;

    // The window procedure's part: the owner's handling, then the default.
    LRESULT Receive(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);
    void PaintPicture();

    WindowKind FKind;
    WindowProc FProc;
    HWND FWnd = nullptr;
    bool FCreated = false;  // the owner hears of nothing sent during creation
    bool FDestroyed = false;
    int FMinWidth;
    int FMinHeight;
    HBRUSH FBackground = nullptr;
    HCURSOR FCursor;
    bool FCursorHidden = false;
    BITMAPINFO FPictureInfo{};
    std::vector<unsigned char> FPictureBits;
};

class Win32Application : public Application {
public:
    Win32Application();
    ~Win32Application() override;
    Win32Application(const Win32Application&) = delete;
    Win32Application& operator=(const Win32Application&) = delete;

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
    WindowHandle DesktopWindow() override;
    Rect VirtualScreen() override;
    Rect WorkArea() override;

    GraphicsBinding& Graphics() override { return FGraphics; }
    Clock& SystemClock() override { return FClock; }
    bool IsRussianLocaleInstalled() override;
    bool OpenDocument(const std::string& fileName, const std::string& parameters) override;

private:
    class TickClock : public Clock {
    public:
        Tick GetTickCount() override;
        bool QueryPerformanceCounter(std::uint64_t& counter) override;
    };

    struct ModalRun {
        HWND Dialog;
        bool Ended;
    };

    void Loop(const ModalRun* modal);
    bool Ended(const ModalRun* modal) const;
    void HandleMessage(MSG& native);

    std::string FTitle;
    MessageHook FHook;
    IdleHandler FIdle;
    bool FTerminated = false;
    std::vector<ModalRun*> FModalRuns;
    Win32Graphics FGraphics;
    TickClock FClock;
    bool FComInitialized = false;
};

// The one window class of the program's windows.
inline constexpr const char* kWindowClass = "VeloraSkyshowWindow";

}  // namespace velora::platform::win32
