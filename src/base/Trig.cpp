#include "base/Trig.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace velora {

namespace {

// pi/2 in three parts: the first two have 32 significant bits, so their
// products with a quadrant count below kLargestQuadrant are exact and the
// reduction keeps its precision even next to a multiple of pi/2.
template <typename T>
struct Reduction {
    static constexpr T kHalfPi1 = static_cast<T>(0x1.921fb544p0L);
    static constexpr T kHalfPi2 = static_cast<T>(0x1.0b4611a6p-34L);
    static constexpr T kHalfPi3 = static_cast<T>(0x1.3198a2e03707344ap-69L);
};

template <typename T>
struct Format;
template <>
struct Format<long double> {
    static constexpr int kTerms = 9;
    static constexpr long double kLargestQuadrant = 0x1p32L;
    // Adding and taking away 1.5 * 2^63 rounds to a whole number (to even)
    // in the 64-bit mantissa, without a library call.
    static constexpr long double kRounder = 0x1.8p63L;
};
template <>
struct Format<double> {
    static constexpr int kTerms = 8;
    static constexpr double kLargestQuadrant = 0x1p20;
    static constexpr double kRounder = 0x1.8p52;
};

// Taylor coefficients: sin r = r + r^3 (S0 + r^2 (S1 + ...)) and cos r =
// 1 - r^2/2 + r^4 (C0 + r^2 (C1 + ...)). On |r| <= pi/4 the first omitted
// terms lie far below half a unit in the last place.
template <typename T>
constexpr auto Coefficients(int firstPower) {
    std::array<T, Format<T>::kTerms> c{};
    for (int i = 0; i < Format<T>::kTerms; ++i) {
        const int n = firstPower + 2 * i;
        long double factorial = 1;
        for (int k = 2; k <= n; ++k) factorial *= k;
        c[i] = static_cast<T>(((n / 2) % 2 == 0 ? 1 : -1) / factorial);
    }
    return c;
}

template <typename T>
T Horner(const std::array<T, Format<T>::kTerms>& c, T r2) {
    T p = c.back();
    for (int i = Format<T>::kTerms - 2; i >= 0; --i) p = p * r2 + c[i];
    return p;
}

template <typename T>
void SinCosOf(T x, T& sine, T& cosine) {
    using R = Reduction<T>;
    using F = Format<T>;
    static constexpr auto kSin = Coefficients<T>(3);
    static constexpr auto kCos = Coefficients<T>(4);
    constexpr T kTwoOverPi = 2 / std::numbers::pi_v<T>;
    constexpr T kQuarterPi = std::numbers::pi_v<T> / 4;

    if (!std::isfinite(x)) {
        sine = cosine = x - x;
        return;
    }
    if (std::fabs(x) >= F::kLargestQuadrant * R::kHalfPi1) x = std::fmod(x, 2 * std::numbers::pi_v<T>);
    T r = x;
    unsigned quadrant = 0;
    if (std::fabs(x) > kQuarterPi) {
        const T k = (x * kTwoOverPi + F::kRounder) - F::kRounder;
        r = ((x - k * R::kHalfPi1) - k * R::kHalfPi2) - k * R::kHalfPi3;
        quadrant = static_cast<unsigned>(static_cast<std::int64_t>(k) & 3);
    }
    const T r2 = r * r;
    const T s = r + r * r2 * Horner(kSin, r2);
    const T c = 1 - r2 / 2 + r2 * r2 * Horner(kCos, r2);
    switch (quadrant) {
        case 0: sine = s; cosine = c; break;
        case 1: sine = c; cosine = -s; break;
        case 2: sine = -s; cosine = -c; break;
        default: sine = -c; cosine = s; break;
    }
}

}  // namespace

void SinCos(long double x, long double& sine, long double& cosine) { SinCosOf(x, sine, cosine); }

void SinCos(double x, double& sine, double& cosine) { SinCosOf(x, sine, cosine); }

}  // namespace velora
