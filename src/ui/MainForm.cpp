#include "ui/MainForm.h"

#include "engine/VeloraPreview.h"
#include "ui/ConfigForm.h"
#include "ui/Texts.h"

namespace velora {

using namespace platform;

namespace {
WindowKind KindOf(MainLayout layout) {
    switch (layout) {
        case MainLayout::FullScreen:
            return WindowKind::FullScreen;
        case MainLayout::Small:
            return WindowKind::Popup;
        case MainLayout::Sizeable:
            break;
    }
    return WindowKind::Sizeable;
}
}  // namespace

TfrmMainForm::TfrmMainForm(Application& app, const Arguments& args)
    : FApp(app), FLayout(ChooseLayout(args)), FInput(app.SystemClock()) {
    const MainPlacement place = PlaceMainForm(FLayout, app.VirtualScreen(), app.WorkArea());
    WindowSpec request;
    request.Kind = KindOf(FLayout);
    request.Caption = kFormCaption;
    request.Bounds = place.Client;
    request.MinWidth = place.MinWidth;
    request.MinHeight = place.MinHeight;
    request.OpenGl = ContextOption::DoubleBuffered;
    FWindow = app.OpenWindow(request, [this](const Message& msg) { return WndProc(msg); });

    // Every layout property is set by now: the engine keeps this very
    // window's drawing surface.
    try {
        FEngine = std::make_unique<TVeloraEngine>(app.Graphics(), app.SystemClock(), FWindow->Handle(), true,
                                                  place.SmallMode);
    } catch (const Exception& error) {
        FApp.ShowMessage(error.what());
        FApp.Terminate();
    }
    FApp.SetMessageHook([this](Message& msg, bool& handled) { ApplicationEventsMessage(msg, handled); });
    FApp.SetIdleHandler([this](bool& done) { ApplicationEventsIdle(done); });
}

TfrmMainForm::~TfrmMainForm() {
    FApp.SetMessageHook(nullptr);
    FApp.SetIdleHandler(nullptr);
    // The engine gives its contexts back while its window still exists.
    FEngine.reset();
}

void TfrmMainForm::Show() {
    FormShow();
    FWindow->Show();
}

void TfrmMainForm::FormShow() {
    if (!Sizeable()) FWindow->SetCursor(PointerShape::Hidden);
    FRunning = true;
}

void TfrmMainForm::FormResize() {
    if (FEngine && Sizeable()) FEngine->SetupViewport();
}

void TfrmMainForm::FormClick() {
    if (!Sizeable()) return;
    try {
        ShowSettings(FApp);
    } catch (const Exception& error) {
        FApp.ShowMessage(error.what());
    }
}

void TfrmMainForm::ApplicationEventsIdle(bool& done) {
    done = false;
    if (FRunning && FEngine) FEngine->RenderFrame();
}

void TfrmMainForm::ApplicationEventsMessage(Message& msg, bool& handled) {
    if (Sizeable()) return;
    switch (FInput.Filter(msg)) {
        case InputAction::Pass:
            return;
        case InputAction::Swallow:
            break;
        case InputAction::TogglePause:
            FRunning = !FRunning;
            if (FEngine) FEngine->ResetClock();
            break;
        case InputAction::Close:
            CloseSaver();
            break;
    }
    handled = true;
}

bool TfrmMainForm::WndProc(const Message& msg) {
    switch (msg.message) {
        case kWmEraseBkgnd:
            return true;  // nothing may be painted over the frames
        case kWmSize:
            FormResize();
            return true;
        case kWmLButtonDown:
        case kWmLButtonUp:
            if (FClick.Feed(msg, FWindow->ClientRect())) FormClick();
            return true;
        case kWmClose:
            Close();
            return true;
        case kWmDestroy:
            // Another program destroyed the window: nothing is left to draw into.
            CloseSaver();
            return true;
        case kWmActivateApp:
            // A saver that no longer has the keyboard would cover the screen
            // while keys go to a program nobody sees: it ends as on a key.
            if (FLayout != MainLayout::FullScreen || msg.wParam != 0) return false;
            CloseSaver();
            return true;
        case kWmSysCommand:
            // No second saver over this one.
            return FLayout == MainLayout::FullScreen && (msg.wParam & 0xFFF0) == kScScreenSave;
        default:
            return false;
    }
}

void TfrmMainForm::CloseSaver() {
    FRunning = false;
    Close();
}

// The main form's closing ends the message loop; the form and its engine go
// when the program leaves the loop.
void TfrmMainForm::Close() { FApp.Terminate(); }

void RunPreview(Application& app, WindowHandle wnd) {
    if (wnd == 0) return;
    try {
        TVeloraPreview preview(app, wnd);
        preview.Run();
    } catch (...) {
        // The preview has no way to show anything: every failure ends it quietly.
    }
}

}  // namespace velora
