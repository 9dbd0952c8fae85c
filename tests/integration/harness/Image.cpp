#include "harness/Image.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace velora::testing {

std::string ToString(const Rect& r) {
    return std::to_string(r.Width) + "x" + std::to_string(r.Height) + "+" + std::to_string(r.X) + "+" +
           std::to_string(r.Y);
}

bool IsStarPixel(Rgb p) {
    const int hi = std::max({p.R, p.G, p.B});
    const int lo = std::min({p.R, p.G, p.B});
    return hi >= 40 && hi - lo >= 24;
}

int Image::CountStarPixels(const Rect& within) const {
    const int x0 = std::max(within.X, FArea.X);
    const int y0 = std::max(within.Y, FArea.Y);
    const int x1 = std::min(within.X + within.Width, FArea.X + FArea.Width);
    const int y1 = std::min(within.Y + within.Height, FArea.Y + FArea.Height);
    int count = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) count += IsStarPixel(At(x, y)) ? 1 : 0;
    }
    return count;
}

int Image::CountStarPixelsOutside(const Rect& excluded) const {
    int count = 0;
    for (int y = FArea.Y; y < FArea.Y + FArea.Height; ++y) {
        for (int x = FArea.X; x < FArea.X + FArea.Width; ++x) {
            if (!excluded.Contains(x, y) && IsStarPixel(At(x, y))) ++count;
        }
    }
    return count;
}

double Image::MeanAbsDiff(const std::vector<Rgb>& picture) const {
    if (picture.size() != FPixels.size() || FPixels.empty()) {
        throw std::invalid_argument("pictures differ in size");
    }
    long long sum = 0;
    for (std::size_t i = 0; i < FPixels.size(); ++i) {
        sum += std::abs(FPixels[i].R - picture[i].R) + std::abs(FPixels[i].G - picture[i].G) +
               std::abs(FPixels[i].B - picture[i].B);
    }
    return static_cast<double>(sum) / (3.0 * static_cast<double>(FPixels.size()));
}

void Image::SavePpm(const std::string& path) const {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << FArea.Width << ' ' << FArea.Height << "\n255\n";
    for (const Rgb& p : FPixels) {
        const char bytes[3] = {static_cast<char>(p.R), static_cast<char>(p.G), static_cast<char>(p.B)};
        out.write(bytes, 3);
    }
}

}  // namespace velora::testing
