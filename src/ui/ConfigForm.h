#pragma once
// TfrmConfig: the settings dialog. The program has no settings; the dialog
// shows a donation appeal, in Russian where the system has the Russian
// locale and in English otherwise, and opens the donation page on a click.
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "ui/ClickTracker.h"
#include "ui/picture/Pictures.h"

namespace velora {

class TfrmConfig {
public:
    // FormCreate: sizes the dialog to its picture and chooses the language.
    explicit TfrmConfig(platform::Application& app);
    TfrmConfig(const TfrmConfig&) = delete;
    TfrmConfig& operator=(const TfrmConfig&) = delete;

    // Shows the dialog centred on the desktop until the user closes it.
    void ShowModal();

    PictureLanguage Language() const { return FLanguage; }
    WindowHandle Handle() const { return FWindow->Handle(); }

private:
    bool WndProc(const platform::Message& msg);
    void ImageEngClick();

    platform::Application& FApp;
    const PictureLanguage FLanguage;
    ClickTracker FClick;
    std::unique_ptr<platform::Window> FWindow;
};

// Creates the dialog, shows it modally and frees it, also after an error.
void ShowSettings(platform::Application& app);

// Hands a document or address to the desktop; the result says whether the
// opener was started.
bool OpenDocument(platform::Application& app, const std::string& fileName, const std::string& parameters);

}  // namespace velora
