#pragma once
// A picture as the screenshot tools write it: binary PPM (P6, 8 bits).
#include <optional>
#include <string>
#include <vector>

namespace velora::testing {

struct Screenshot {
    int Width = 0;
    int Height = 0;
    std::vector<unsigned char> Rgb;

    // Pixels that are clearly coloured: not black, white or the grey of an
    // empty sway output.
    int ColouredPixels() const;
    bool operator==(const Screenshot& other) const = default;
};

// The picture in `data`; empty when it is no whole P6 picture.
std::optional<Screenshot> ParsePpm(const std::string& data);

}  // namespace velora::testing
