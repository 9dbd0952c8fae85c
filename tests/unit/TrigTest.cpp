#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "ExtendedValues.h"
#include "base/BitCast.h"
#include "base/Trig.h"

namespace velora {
namespace {

// Angles the engine meets (float headings and outline angles) with their
// sines and cosines rounded to 64 bits from a 300-bit computation: next to
// multiples of pi/2 the reduction must keep every bit of the small result.
struct Reference {
    long double X;
    long double Sin;
    long double Cos;
};
constexpr Reference kReferences[] = {
    {0x1.921fb6p+0L, 0x1.ffffffffffff7652p-1L, -0x1.777a5cf72cecc4cep-25L},
    {0x1.921fb6p+1L, -0x1.777a5cf72cec5fd6p-24L, -0x1.fffffffffffdd948p-1L},
    {0x1.2d97c8p+2L, -0x1.fffffffffffff5cp-1L, 0x1.99bc5b961b1acacap-27L},
    {0x1.921fb6p+2L, 0x1.777a5cf72ceacbf6p-23L, 0x1.fffffffffff76522p-1L},
    {0x1p-1L, 0x1.eaee8744b05efe88p-2L, 0x1.c1528065b7d4f9dcp-1L},
    {0x1.e848p+19L, -0x1.6664b2568d86749ap-2L, 0x1.df9df9906d32c6aep-1L},
    {-0x1.4p+1L, -0x1.326af0dcfcab080ap-1L, -0x1.9a2f7ef858b7d2bp-1L},
    {0x1.9p+6L, -0x1.03425b78c4db807p-1L, 0x1.b981dbf665fdf64p-1L},
    {0x1p-30L, 0x1.fffffffffffffffap-31L, 0x1.fffffffffffffffp-1L},
};

using testing::FromLongDouble;
using testing::ToLongDouble;

// Units in the last place of a mantissa of the given width.
template <typename T>
T UlpsApart(T value, T reference, int digits = std::numeric_limits<T>::digits) {
    const int exponent = std::ilogb(reference) - digits + 1;
    return std::fabs(value - reference) / std::ldexp(T{1}, exponent);
}

TEST(SinCosTest, ExtendedResultsAreWithinTwoUnitsOfTheLastPlace) {
    for (const Reference& ref : kReferences) {
        ext s = 0;
        ext c = 0;
        SinCos(FromLongDouble(ref.X), s, c);
        EXPECT_LE(UlpsApart(ToLongDouble(s), ref.Sin, 64), 2.0L) << static_cast<double>(ref.X);
        EXPECT_LE(UlpsApart(ToLongDouble(c), ref.Cos, 64), 2.0L) << static_cast<double>(ref.X);
    }
}

#if VELORA_EXT_IS_SOFTWARE
// The same algorithm at the width of this compiler's long double (113 bits
// on aarch64, 64 on x86): its rounding constant and its number of terms
// follow the width, so it keeps that precision, here against the C library.
TEST(SinCosTest, LongDoubleOfAnyWidthKeepsItsOwnPrecision) {
    for (long double x = -7; x < 7; x += 0.173L) {
        long double s = 0;
        long double c = 0;
        SinCos(x, s, c);
        EXPECT_LE(UlpsApart(s, std::sin(x)), 4.0L) << static_cast<double>(x);
        EXPECT_LE(UlpsApart(c, std::cos(x)), 4.0L) << static_cast<double>(x);
    }
}
#endif

TEST(SinCosTest, DoubleResultsAreWithinTwoUnitsOfTheLastPlace) {
    for (const Reference& ref : kReferences) {
        double s = 0;
        double c = 0;
        SinCos(static_cast<double>(ref.X), s, c);
        EXPECT_LE(UlpsApart(s, static_cast<double>(ref.Sin)), 2.0) << static_cast<double>(ref.X);
        EXPECT_LE(UlpsApart(c, static_cast<double>(ref.Cos)), 2.0) << static_cast<double>(ref.X);
    }
}

TEST(SinCosTest, SineIsOddAndCosineEvenBitForBit) {
    for (ext x = 0.001; x < 40; x = x * 1.37 + 0.01) {
        ext s = 0, c = 0, ns = 0, nc = 0;
        SinCos(x, s, c);
        SinCos(-x, ns, nc);
        EXPECT_EQ(ns, -s) << static_cast<double>(x);
        EXPECT_EQ(nc, c) << static_cast<double>(x);
    }
}

TEST(SinCosTest, AgreesWithTheCLibraryAcrossEveryQuadrant) {
    for (double x = -20; x < 20; x += 0.0173) {
        ext s = 0, c = 0;
        SinCos(ext{x}, s, c);
        double ds = 0, dc = 0;
        SinCos(x, ds, dc);
        EXPECT_NEAR(static_cast<double>(s), std::sin(x), 1e-15) << x;
        EXPECT_NEAR(static_cast<double>(c), std::cos(x), 1e-15) << x;
        EXPECT_NEAR(ds, std::sin(x), 1e-15) << x;
        EXPECT_NEAR(dc, std::cos(x), 1e-15) << x;
    }
}

TEST(SinCosTest, HugeAnglesStayOnTheUnitCircleAndNonFiniteOnesGiveNaN) {
    for (const ext x : {ext{0x1p40}, ext{-3e12}, ext{0x1p100}, std::numeric_limits<ext>::max()}) {
        ext s = 0, c = 0;
        SinCos(x, s, c);
        EXPECT_NEAR(static_cast<double>(s * s + c * c), 1.0, 1e-15) << static_cast<double>(x);
    }
    // An infinity gives the x87's default NaN, a NaN itself made quiet, in
    // both precisions and whatever the processor's own NaNs look like.
    constexpr std::uint64_t kDefaultNaN = 0xFFF8000000000000;
    const auto bits = [](auto v) { return BitCast<std::uint64_t>(static_cast<double>(v)); };
    const double signalling = BitCast<double>(std::uint64_t{0x7FF4000000000001});
    const std::pair<double, std::uint64_t> cases[] = {{std::numeric_limits<double>::infinity(), kDefaultNaN},
                                                      {-std::numeric_limits<double>::infinity(), kDefaultNaN},
                                                      {signalling, 0x7FFC000000000001},
                                                      {-std::numeric_limits<double>::quiet_NaN(), kDefaultNaN}};
    for (const auto& [x, expected] : cases) {
        double ds = 0, dc = 0;
        SinCos(x, ds, dc);
        EXPECT_EQ(bits(ds), expected) << x;
        EXPECT_EQ(bits(dc), expected) << x;
        ext s = 0, c = 0;
        SinCos(ext{x}, s, c);
        EXPECT_EQ(bits(s), expected) << x;
        EXPECT_EQ(bits(c), expected) << x;
    }
}

}  // namespace
}  // namespace velora
