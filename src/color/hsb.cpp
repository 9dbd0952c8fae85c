#include "color/hsb.h"

#include <cmath>

#include "base/Numeric.h"

namespace velora {

HsbColor MakeHsbColor(double hue, double saturation, double brightness) {
    return HsbColor{hue, saturation, brightness};
}

double FloorValue(double x) {
    const double t = std::trunc(x);
    if (t == x) return x;
    return x >= 0 ? t : t - 1;
}

namespace {
std::int32_t Byte(ext value) { return static_cast<std::int32_t>(Trunc(value * 255)); }
}  // namespace

void HsbToRgb(HsbColor color, RgbBytes& rgb) {
    rgb = RgbBytes{0, 0, 0};
    const ext v = color.Brightness;
    const ext s = color.Saturation;
    if (color.Saturation == 0) {
        rgb.R = rgb.G = rgb.B = Byte(v);
        return;
    }
    const double h6 = static_cast<double>(6 * (static_cast<ext>(color.Hue) - FloorValue(color.Hue)));
    const double f = static_cast<double>(static_cast<ext>(h6) - FloorValue(h6));
    const double p = static_cast<double>(v * (1 - s));
    const double q = static_cast<double>(v * (1 - s * f));
    const double t = static_cast<double>(v * (1 - s * (1 - static_cast<ext>(f))));
    std::int64_t sector = Trunc(h6);
    // A hue a hair below a whole number rounds to exactly 6 in double; that is
    // red, the start of the circle, not black.
    if (sector == 6) sector = 0;
    switch (sector) {
        case 0:
            rgb = {Byte(v), Byte(t), Byte(p)};
            break;
        case 1:
            rgb = {Byte(q), Byte(v), Byte(p)};
            break;
        case 2:
            rgb = {Byte(p), Byte(v), Byte(t)};
            break;
        case 3:
            rgb = {Byte(p), Byte(q), Byte(v)};
            break;
        case 4:
            rgb = {Byte(t), Byte(p), Byte(v)};
            break;
        case 5:
            rgb = {Byte(v), Byte(p), Byte(q)};
            break;
        default:
            break;
    }
}

}  // namespace velora
