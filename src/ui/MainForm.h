#pragma once
// TfrmMainForm: the top-level window of every run that is neither the
// settings dialog nor the preview. It owns one engine, draws a frame at
// every idle pass, and in the borderless layouts ends the run on user input.
// RunPreview: the whole preview mode.
#include <memory>

#include "engine/VeloraCore.h"
#include "platform/Platform.h"
#include "shell/ScreenSaveMisc.h"
#include "ui/ClickTracker.h"
#include "ui/InputFilter.h"
#include "ui/MainLayout.h"

namespace velora {

class TfrmMainForm {
public:
    // FormCreate: picks the layout, creates the window and the engine. When
    // the engine cannot be created, its message is shown, the application
    // is told to terminate, and HasEngine stays false.
    TfrmMainForm(platform::Application& app, const Arguments& args);
    // FormDestroy.
    ~TfrmMainForm();
    TfrmMainForm(const TfrmMainForm&) = delete;
    TfrmMainForm& operator=(const TfrmMainForm&) = delete;

    // FormShow, then the window appears.
    void Show();

    bool HasEngine() const { return FEngine != nullptr; }
    const TVeloraEngine* Engine() const { return FEngine.get(); }
    MainLayout Layout() const { return FLayout; }
    bool Running() const { return FRunning; }
    const TInputFilter& Input() const { return FInput; }
    WindowHandle Handle() const { return FWindow->Handle(); }

private:
    bool Sizeable() const { return FLayout == MainLayout::Sizeable; }
    void FormShow();
    void FormResize();
    void FormClick();
    void ApplicationEventsIdle(bool& done);
    void ApplicationEventsMessage(platform::Message& msg, bool& handled);
    bool WndProc(const platform::Message& msg);
    void CloseSaver();
    void Close();

    platform::Application& FApp;
    const MainLayout FLayout;
    std::unique_ptr<platform::Window> FWindow;
    ClickTracker FClick;

    bool FRunning = false;
    TInputFilter FInput;  // FMoveCountdown and FLastMoveTick
    std::unique_ptr<TVeloraEngine> FEngine;
};

// Draws into the host's window `wnd` until it goes away or our panel is
// told to close. Returns at once for 0; never raises.
void RunPreview(platform::Application& app, WindowHandle wnd);

}  // namespace velora
