#pragma once
// The two donation pictures of the settings dialog: their JPEG bytes, kept
// inside the program, and a decoder that turns any JPEG into RGB pixels.
// Decoding failures never end the process; they are thrown as
// velora::Exception with libjpeg's own description of the fault.
#include <span>
#include <vector>

namespace velora {

enum class PictureLanguage { English, Russian };

// RGB888, rows top to bottom, no padding between rows.
struct DecodedPicture {
    int Width = 0;
    int Height = 0;
    std::vector<unsigned char> Rgb;
};

// Pictures whose width times height exceeds this are refused before any
// pixel memory is taken, so a forged header cannot ask for gigabytes.
inline constexpr long long kMaxJpegPixels = 4096LL * 4096LL;

std::span<const unsigned char> DonationPictureJpeg(PictureLanguage language);
DecodedPicture DecodeJpeg(std::span<const unsigned char> jpeg);
DecodedPicture DecodeDonationPicture(PictureLanguage language);

}  // namespace velora
