#include "ui/Program.h"

#include "ui/ConfigForm.h"
#include "ui/MainForm.h"
#include "ui/Texts.h"

namespace velora {

StartMode ChooseStartMode(const Arguments& args, const WindowExists& isWindow, WindowHandle& previewWnd) {
    previewWnd = 0;
    if (IsConfigMode(args)) return StartMode::Settings;
    if (IsPreviewMode(args, isWindow, previewWnd)) return StartMode::Preview;
    return StartMode::MainForm;
}

int RunProgram(platform::Application& app, const Arguments& args) {
    app.SetTitle(kApplicationTitle);
    try {
        WindowHandle previewWnd = 0;
        const auto isWindow = [&app](WindowHandle wnd) { return app.IsWindow(wnd); };
        switch (ChooseStartMode(args, isWindow, previewWnd)) {
            case StartMode::Settings:
                ShowSettings(app);
                return kExitSuccess;
            case StartMode::Preview:
                RunPreview(app, previewWnd);
                return kExitSuccess;
            case StartMode::MainForm:
                break;
        }
        TfrmMainForm form(app, args);
        if (!form.HasEngine()) return kExitFailure;
        form.Show();
        app.Run();
        return kExitSuccess;
    } catch (const Exception& error) {
        // A window or the dialog's picture could not be made.
        app.ShowMessage(error.what());
        return kExitFailure;
    }
}

}  // namespace velora
