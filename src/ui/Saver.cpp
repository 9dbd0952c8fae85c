#include "ui/Saver.h"

#include <algorithm>
#include <memory>

#include "base/ExitCodes.h"
#include "ui/MainLayout.h"
#include "ui/Texts.h"

namespace velora {

using namespace platform;

namespace {

// The sizeable window a saver run by hand draws into, where velora puts its
// test window.
std::unique_ptr<Window> OpenOwnWindow(Application& app) {
    const MainPlacement place = PlaceMainForm(MainLayout::Sizeable, app.VirtualScreen(), app.WorkArea());
    WindowSpec request;
    request.Kind = WindowKind::Sizeable;
    request.Caption = kFormCaption;
    request.Bounds = place.Client;
    request.MinWidth = place.MinWidth;
    request.MinHeight = place.MinHeight;
    request.HasBackground = true;
    auto window = app.OpenWindow(request, nullptr);
    window->Show();
    return window;
}

}  // namespace

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

PreviewOptions SaverPreviewOptions(const SaverOptions& options, const volatile std::sig_atomic_t* stopRequest) {
    PreviewOptions preview;
    preview.SmallMode = false;
    preview.FollowHost = true;
    preview.FrameDelay = std::chrono::microseconds(options.DelayMicroseconds);
    preview.StopRequest = stopRequest;
    return preview;
}

int RunSaver(Application& app, const SaverOptions& options, std::ostream& errors,
             const volatile std::sig_atomic_t* stopRequest) {
    app.SetTitle(kApplicationTitle);
    try {
        std::unique_ptr<Window> ownWindow;
        WindowHandle host = 0;
        switch (options.Host) {
            case SaverHost::Window:
                if (!app.IsWindow(options.Window)) {
                    errors << kSaverName << ": " << options.WindowSource << " names no window\n";
                    return kExitFailure;
                }
                host = options.Window;
                break;
            case SaverHost::Desktop:
                host = app.DesktopWindow();
                break;
            case SaverHost::OwnWindow:
                ownWindow = OpenOwnWindow(app);
                host = ownWindow->Handle();
                break;
        }
        TVeloraPreview saver(app, host, SaverPreviewOptions(options, stopRequest));
        saver.Run();
        return kExitSuccess;
    } catch (const std::exception& error) {
        errors << kSaverName << ": " << OneLine(error.what()) << "\n";
        return kExitFailure;
    }
}

}  // namespace velora
