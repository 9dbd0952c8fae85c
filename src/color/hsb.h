#pragma once
// Hue/saturation/brightness to 8-bit red, green and blue.
#include <cstdint>

namespace velora {

struct HsbColor {
    double Hue;         // only the fractional part counts
    double Saturation;  // 0 grey .. 1 full colour
    double Brightness;  // 0 black .. 1 brightest
};

struct RgbBytes {
    std::int32_t R;
    std::int32_t G;
    std::int32_t B;
};

HsbColor MakeHsbColor(double hue, double saturation, double brightness);

// The largest integer not greater than x.
double FloorValue(double x);

// Components are truncated, never rounded, and never clamped: inputs outside
// 0..1 give components outside 0..255.
void HsbToRgb(HsbColor color, RgbBytes& rgb);

}  // namespace velora
