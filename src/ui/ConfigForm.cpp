#include "ui/ConfigForm.h"

#include "ui/Texts.h"

namespace velora {

using namespace platform;

namespace {
constexpr std::uint32_t kWindowColor = 0xFFFFFF;  // under the picture, never seen
}

TfrmConfig::TfrmConfig(Application& app)
    : FApp(app), FLanguage(app.IsRussianLocaleInstalled() ? PictureLanguage::Russian : PictureLanguage::English) {
    DecodedPicture picture = DecodeDonationPicture(FLanguage);
    const Rect desktop = app.VirtualScreen();
    WindowSpec request;
    request.Kind = WindowKind::Dialog;
    request.Caption = kFormCaption;
    request.Bounds = CentredIn(desktop, picture.Width, picture.Height);
    request.HasBackground = true;
    request.BackgroundRgb = kWindowColor;
    FWindow = app.OpenWindow(request, [this](const Message& msg) { return WndProc(msg); });
    FWindow->SetCursor(PointerShape::Hand);
    FWindow->SetPicture(Picture{picture.Width, picture.Height, std::move(picture.Rgb)});
}

void TfrmConfig::ShowModal() { FApp.RunModal(*FWindow); }

bool TfrmConfig::WndProc(const Message& msg) {
    switch (msg.message) {
        case kWmLButtonDown:
        case kWmLButtonUp:
            // The picture fills the client area: a click anywhere is on it.
            if (FClick.Feed(msg, FWindow->ClientRect())) ImageEngClick();
            return true;
        case kWmClose:
            FApp.EndModal();
            return true;
        default:
            return false;
    }
}

void TfrmConfig::ImageEngClick() { OpenDocument(FApp, kDonationUrl, ""); }

void ShowSettings(Application& app) {
    TfrmConfig dialog(app);
    dialog.ShowModal();
}

bool OpenDocument(Application& app, const std::string& fileName, const std::string& parameters) {
    return app.OpenDocument(fileName, parameters);
}

}  // namespace velora
