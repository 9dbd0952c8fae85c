#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace itest {

struct Rect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  bool contains(int px, int py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
  bool operator==(const Rect&) const = default;
};

std::string toString(const Rect& r);

// Lets GoogleTest print rectangles in failure messages.
inline void PrintTo(const Rect& r, std::ostream* out) { *out << toString(r); }

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  bool operator==(const Rgb&) const = default;
};

// A star pixel: clearly lit and clearly coloured.  Grey or white pixels do not
// count, so an unpainted or wrongly erased window cannot pass for the picture.
bool isStarPixel(Rgb p);

// Pixels in screen coordinates: the image remembers where it was taken.
class Image {
 public:
  Image() = default;
  Image(Rect area, std::vector<Rgb> pixels) : area_(area), pixels_(std::move(pixels)) {}

  const Rect& area() const { return area_; }
  Rgb at(int screenX, int screenY) const {
    return pixels_[static_cast<std::size_t>((screenY - area_.y) * area_.width + (screenX - area_.x))];
  }

  int countStarPixels(const Rect& within) const;
  int countStarPixelsOutside(const Rect& excluded) const;
  bool operator==(const Image& other) const = default;

  // Mean absolute difference per channel against a picture of the same size.
  double meanAbsDiff(const std::vector<Rgb>& picture) const;

  void savePpm(const std::string& path) const;

 private:
  Rect area_;
  std::vector<Rgb> pixels_;
};

}  // namespace itest
