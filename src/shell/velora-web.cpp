// The web page's program: the test window over the whole page, and the
// saver whenever the page's control (or its key) asks for it, for as long as
// the page is open. Each run is the main form of the command line that
// would start it natively.
#include <exception>

#include "base/ExitCodes.h"
#include "platform/web/WebApplication.h"
#include "ui/MainForm.h"
#include "ui/Texts.h"

namespace {

int RunPage(velora::platform::web::WebApplication& app) {
    bool saverAsked = false;
    app.SetSaverRequestHandler([&app, &saverAsked] {
        saverAsked = true;
        app.Terminate();
    });
    for (;;) {
        const velora::Arguments args = saverAsked ? velora::Arguments{"velora", "/s"} : velora::Arguments{"velora"};
        saverAsked = false;
        app.Resume();
        velora::TfrmMainForm form(app, args);
        // The engine's failure has been shown.
        if (!form.HasEngine()) return velora::kExitFailure;
        form.Show();
        app.Run();
    }
}

}  // namespace

int main() {
    velora::platform::web::WebApplication app;
    app.SetTitle(velora::kApplicationTitle);
    try {
        return RunPage(app);
    } catch (const std::exception& error) {
        app.ShowMessage(error.what());
        return velora::kExitFailure;
    }
}
