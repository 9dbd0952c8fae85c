#include <gtest/gtest.h>

#include "color/hsb.h"

namespace velora {
namespace {

RgbBytes Convert(double h, double s, double b) {
    RgbBytes rgb{-1, -1, -1};
    HsbToRgb(MakeHsbColor(h, s, b), rgb);
    return rgb;
}

void ExpectRgb(RgbBytes rgb, int r, int g, int b) {
    EXPECT_EQ(rgb.R, r);
    EXPECT_EQ(rgb.G, g);
    EXPECT_EQ(rgb.B, b);
}

TEST(HsbTest, PrimaryCornersAndWholeTurns) {
    ExpectRgb(Convert(0, 1, 1), 255, 0, 0);
    ExpectRgb(Convert(1.0, 1, 1), 255, 0, 0);
    ExpectRgb(Convert(0.5, 1, 1), 0, 255, 255);
    ExpectRgb(Convert(2.5, 1, 1), 0, 255, 255);
    ExpectRgb(Convert(1.0 / 3, 1, 1), 0, 255, 0);
}

TEST(HsbTest, NegativeHuesWrapAround) {
    ExpectRgb(Convert(-0.25, 1, 1), 127, 0, 255);
    ExpectRgb(Convert(0.75, 1, 1), 127, 0, 255);
}

TEST(HsbTest, GreyIgnoresHue) {
    ExpectRgb(Convert(0.3, 0, 0.81), 206, 206, 206);
    ExpectRgb(Convert(123.456, 0, 0.81), 206, 206, 206);
}

TEST(HsbTest, ComponentsAreTruncatedNotRounded) { ExpectRgb(Convert(0.1, 0.6, 0.9), 229, 174, 91); }

TEST(HsbTest, OutOfRangeInputsAreNotClamped) {
    ExpectRgb(Convert(0, 2, 1), 255, -255, -255);
    ExpectRgb(Convert(0, 1, 1.5), 382, 0, 0);
}

TEST(HsbTest, HueJustBelowAWholeNumberIsRedNotBlack) {
    // 6 * (hue - floor(hue)) rounds to exactly 6.0 here.
    ExpectRgb(Convert(-1e-17, 1, 1), 255, 0, 0);
    ExpectRgb(Convert(-1e-16, 1, 1), 255, 0, 0);
}

TEST(HsbTest, FloorValue) {
    EXPECT_EQ(FloorValue(2.0), 2.0);
    EXPECT_EQ(FloorValue(2.5), 2.0);
    EXPECT_EQ(FloorValue(-2.5), -3.0);
    EXPECT_EQ(FloorValue(-2.0), -2.0);
    EXPECT_EQ(FloorValue(-1e-17), -1.0);
    EXPECT_EQ(FloorValue(1e300), 1e300);
}

}  // namespace
}  // namespace velora
