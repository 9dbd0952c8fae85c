#include "harness/Image.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace itest {

std::string toString(const Rect& r) {
  return std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) + "+" +
         std::to_string(r.y);
}

bool isStarPixel(Rgb p) {
  const int hi = std::max({p.r, p.g, p.b});
  const int lo = std::min({p.r, p.g, p.b});
  return hi >= 40 && hi - lo >= 24;
}

int Image::countStarPixels(const Rect& within) const {
  const int x0 = std::max(within.x, area_.x);
  const int y0 = std::max(within.y, area_.y);
  const int x1 = std::min(within.x + within.width, area_.x + area_.width);
  const int y1 = std::min(within.y + within.height, area_.y + area_.height);
  int count = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) count += isStarPixel(at(x, y)) ? 1 : 0;
  }
  return count;
}

int Image::countStarPixelsOutside(const Rect& excluded) const {
  int count = 0;
  for (int y = area_.y; y < area_.y + area_.height; ++y) {
    for (int x = area_.x; x < area_.x + area_.width; ++x) {
      if (!excluded.contains(x, y) && isStarPixel(at(x, y))) ++count;
    }
  }
  return count;
}

double Image::meanAbsDiff(const std::vector<Rgb>& picture) const {
  if (picture.size() != pixels_.size() || pixels_.empty()) {
    throw std::invalid_argument("pictures differ in size");
  }
  long long sum = 0;
  for (std::size_t i = 0; i < pixels_.size(); ++i) {
    sum += std::abs(pixels_[i].r - picture[i].r) + std::abs(pixels_[i].g - picture[i].g) +
           std::abs(pixels_[i].b - picture[i].b);
  }
  return static_cast<double>(sum) / (3.0 * static_cast<double>(pixels_.size()));
}

void Image::savePpm(const std::string& path) const {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << area_.width << ' ' << area_.height << "\n255\n";
  for (const Rgb& p : pixels_) {
    const char bytes[3] = {static_cast<char>(p.r), static_cast<char>(p.g), static_cast<char>(p.b)};
    out.write(bytes, 3);
  }
}

}  // namespace itest
