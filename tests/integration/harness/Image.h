#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace velora::testing {

struct Rect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;

    bool Contains(int px, int py) const { return px >= X && py >= Y && px < X + Width && py < Y + Height; }
    bool operator==(const Rect&) const = default;
};

std::string ToString(const Rect& r);

// Lets GoogleTest print rectangles in failure messages.
inline void PrintTo(const Rect& r, std::ostream* out) { *out << ToString(r); }

struct Rgb {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    bool operator==(const Rgb&) const = default;
};

// A star pixel: clearly lit and clearly coloured.  Grey or white pixels do not
// count, so an unpainted or wrongly erased window cannot pass for the picture.
bool IsStarPixel(Rgb p);

// Pixels in screen coordinates: the image remembers where it was taken.
class Image {
public:
    Image() = default;
    Image(Rect area, std::vector<Rgb> pixels) : FArea(area), FPixels(std::move(pixels)) {}

    const Rect& Area() const { return FArea; }
    Rgb At(int screenX, int screenY) const {
        return FPixels[static_cast<std::size_t>((screenY - FArea.Y) * FArea.Width + (screenX - FArea.X))];
    }

    int CountStarPixels(const Rect& within) const;
    int CountStarPixelsOutside(const Rect& excluded) const;
    bool operator==(const Image& other) const = default;

    // Mean absolute difference per channel against a picture of the same size.
    double MeanAbsDiff(const std::vector<Rgb>& picture) const;

    void SavePpm(const std::string& path) const;

private:
    Rect FArea;
    std::vector<Rgb> FPixels;
};

}  // namespace velora::testing
