#pragma once

#include <string>
#include <vector>

#include "harness/Image.h"

namespace itest {

struct DecodedPicture {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;
};

// Decodes a JPEG file to RGB; throws std::runtime_error when it cannot.
DecodedPicture decodeJpeg(const std::string& path);

}  // namespace itest
