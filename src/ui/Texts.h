#pragma once
// The program's fixed names and address.
namespace velora {

// The name the running application is listed under; the message box's title.
inline constexpr const char* kApplicationTitle = "Velora Show";
// The caption of the main window and of the settings dialog.
inline constexpr const char* kFormCaption = "Velora Skyshow";
inline constexpr const char* kDonationUrl = "http://velora-skyshow.example.org/donate";

}  // namespace velora
