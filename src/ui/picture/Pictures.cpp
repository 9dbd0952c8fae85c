#include "ui/picture/Pictures.h"

#include "EmbeddedAssets.h"
#include "base/Errors.h"

namespace velora {

std::span<const unsigned char> DonationPictureJpeg(PictureLanguage language) {
    switch (language) {
        case PictureLanguage::English:
            return assets::DonateEnJpeg();
        case PictureLanguage::Russian:
            return assets::DonateRuJpeg();
    }
    throw Exception(msg::kUnknownPictureLanguage);
}

DecodedPicture DecodeDonationPicture(PictureLanguage language) { return DecodeJpeg(DonationPictureJpeg(language)); }

}  // namespace velora
