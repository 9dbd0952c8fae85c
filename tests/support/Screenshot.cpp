#include "Screenshot.h"

#include <algorithm>
#include <sstream>

namespace velora::testing {

int Screenshot::ColouredPixels() const {
    int count = 0;
    for (std::size_t i = 0; i + 2 < Rgb.size(); i += 3) {
        const int r = Rgb[i];
        const int g = Rgb[i + 1];
        const int b = Rgb[i + 2];
        if (std::max({r, g, b}) - std::min({r, g, b}) > 40) ++count;
    }
    return count;
}

std::optional<Screenshot> ParsePpm(const std::string& data) {
    std::istringstream in(data);
    std::string magic;
    int width = 0;
    int height = 0;
    int maximum = 0;
    in >> magic >> width >> height >> maximum;
    in.get();
    if (magic != "P6" || maximum != 255 || width <= 0 || height <= 0) return std::nullopt;
    Screenshot shot{width, height, {}};
    shot.Rgb.resize(static_cast<std::size_t>(width) * height * 3);
    in.read(reinterpret_cast<char*>(shot.Rgb.data()), static_cast<std::streamsize>(shot.Rgb.size()));
    if (in.gcount() != static_cast<std::streamsize>(shot.Rgb.size())) return std::nullopt;
    return shot;
}

}  // namespace velora::testing
