#pragma once

#include <string>
#include <vector>

#include "harness/Image.h"

namespace velora::testing {

struct DecodedPicture {
    int Width = 0;
    int Height = 0;
    std::vector<Rgb> Pixels;
};

// Decodes a JPEG file to RGB; throws std::runtime_error when it cannot.
DecodedPicture DecodeJpeg(const std::string& path);

}  // namespace velora::testing
