#include "base/Trig.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include "base/BitCast.h"

namespace velora {

namespace {

template <typename T>
constexpr int kDigits = std::numeric_limits<T>::digits;

// The type in which the series' coefficients are computed: the engine's
// extended type for double, so that a double coefficient is the x87 value
// rounded once more, as it has always been; every other type its own.
template <typename T>
using Work = std::conditional_t<std::is_same_v<T, double>, ext, T>;

// The x87 values of the constants; narrower types round them, wider ones
// take the longer literal.
constexpr ext kExtTwoPi = X87Constant(0x4001, 0xC90FDAA22168C235, 2 * std::numbers::pi_v<long double>);
constexpr ext kExtTwoOverPi = X87Constant(0x3FFE, 0xA2F9836E4E44152A, 2 / std::numbers::pi_v<long double>);
constexpr ext kExtQuarterPi = X87Constant(0x3FFE, 0xC90FDAA22168C235, std::numbers::pi_v<long double> / 4);
// pi/2 in three parts: the first two have 32 significant bits, so their
// products with a quadrant count below the largest one are exact and the
// reduction keeps its precision even next to a multiple of pi/2.
constexpr ext kExtHalfPi1 = X87Constant(0x3FFF, 0xC90FDAA200000000, 0x1.921fb544p0L);
constexpr ext kExtHalfPi2 = X87Constant(0x3FDD, 0x85A308D300000000, 0x1.0b4611a6p-34L);
constexpr ext kExtHalfPi3 = X87Constant(0x3FBA, 0x98CC51701B839A25, 0x1.3198a2e03707344ap-69L);

// x - x for an infinity or a NaN, with the x87 unit's bits: its default NaN
// (negative, quiet) for an infinity, the NaN itself made quiet. ARM's default
// NaN is positive, and WebAssembly leaves a new NaN's sign to the processor,
// so in double the bits are written out; the extended type computes them as
// the x87 unit does.
template <typename T>
T NotANumber(T x) {
    if constexpr (std::is_same_v<T, double>) {
        constexpr std::uint64_t kQuiet = std::uint64_t{1} << 51;
        constexpr std::uint64_t kDefaultNaN = 0xFFF8000000000000;
        return BitCast<double>(std::isnan(x) ? BitCast<std::uint64_t>(x) | kQuiet : kDefaultNaN);
    } else {
        return x - x;
    }
}

template <typename T>
struct Constants {
    static constexpr T kHalfPi1 = static_cast<T>(kExtHalfPi1);
    static constexpr T kHalfPi2 = static_cast<T>(kExtHalfPi2);
    static constexpr T kHalfPi3 = static_cast<T>(kExtHalfPi3);
    static constexpr T kTwoPi = static_cast<T>(kExtTwoPi);
    static constexpr T kTwoOverPi = static_cast<T>(kExtTwoOverPi);
    static constexpr T kQuarterPi = static_cast<T>(kExtQuarterPi);
};
template <>
struct Constants<double> {
    static constexpr double kHalfPi1 = static_cast<double>(kExtHalfPi1);
    static constexpr double kHalfPi2 = static_cast<double>(kExtHalfPi2);
    static constexpr double kHalfPi3 = static_cast<double>(kExtHalfPi3);
    static constexpr double kTwoPi = 2 * std::numbers::pi;
    static constexpr double kTwoOverPi = 2 / std::numbers::pi;
    static constexpr double kQuarterPi = std::numbers::pi / 4;
};
#if VELORA_EXT_IS_SOFTWARE
template <>
struct Constants<long double> {
    static constexpr long double kHalfPi1 = 0x1.921fb544p0L;
    static constexpr long double kHalfPi2 = 0x1.0b4611a6p-34L;
    static constexpr long double kHalfPi3 = 0x1.3198a2e03707344ap-69L;
    static constexpr long double kTwoPi = 2 * std::numbers::pi_v<long double>;
    static constexpr long double kTwoOverPi = 2 / std::numbers::pi_v<long double>;
    static constexpr long double kQuarterPi = std::numbers::pi_v<long double> / 4;
};
#endif

// Taylor terms: sin r = r + r^3 (S0 + r^2 (S1 + ...)) and cos r = 1 - r^2/2 +
// r^4 (C0 + r^2 (C1 + ...)). The count is the smallest for which the first
// omitted sine term, relative to the sine, stays below 2^-(digits+1) on
// |r| <= pi/4 (the cosine's converges faster).
consteval int TermCount(int digits) {
    const double r2 = (std::numbers::pi / 4) * (std::numbers::pi / 4);
    double bound = 1;
    for (int i = 0; i < digits + 1; ++i) bound /= 2;
    // The first omitted term for k terms is r^(2k+3)/(2k+3)!, relative r^(2k+2)/(2k+3)!.
    double relative = r2 / 6;  // k = 0
    int k = 0;
    while (relative >= bound) {
        ++k;
        relative *= r2 / ((2 * k + 2) * (2 * k + 3));
    }
    return k;
}
static_assert(TermCount(64) == 9 && TermCount(53) == 8, "x87 and double results depend on these counts");

template <typename T>
constexpr int kTerms = TermCount(kDigits<T>);

template <typename T>
constexpr std::array<T, kTerms<T>> Coefficients(int firstPower) {
    std::array<T, kTerms<T>> c{};
    for (int i = 0; i < kTerms<T>; ++i) {
        const int n = firstPower + 2 * i;
        Work<T> factorial = 1;
        for (int k = 2; k <= n; ++k) factorial *= k;
        c[i] = static_cast<T>(((n / 2) % 2 == 0 ? 1 : -1) / factorial);
    }
    return c;
}

// Adding and taking away 1.5 * 2^(digits-1) rounds to a whole number (to
// even) in the type's mantissa, without a library call.
template <typename T>
constexpr T Rounder() {
    T r = 1.5;
    for (int i = 0; i < kDigits<T> - 1; ++i) r *= 2;
    return r;
}

// Beyond this many quadrants the products with the parts of pi/2 are no
// longer exact, and the angle is first reduced modulo 2*pi.
template <typename T>
constexpr T LargestQuadrant() {
    T q = 1;
    for (int i = 0; i < (kDigits<T> >= 64 ? 32 : 20); ++i) q *= 2;
    return q;
}

// Both polynomials by Horner's rule, their steps interleaved: the two chains
// are independent, so a processor overlaps them (which matters for the
// software type's longer operations); each value is the one the chain alone
// would give.
template <typename T>
void Horner2(const std::array<T, kTerms<T>>& a, const std::array<T, kTerms<T>>& b, T r2, T& pa, T& pb) {
    pa = a.back();
    pb = b.back();
    for (int i = kTerms<T> - 2; i >= 0; --i) {
        pa = pa * r2 + a[i];
        pb = pb * r2 + b[i];
    }
}

template <typename T>
void SinCosOf(T x, T& sine, T& cosine) {
    using std::fabs;
    using std::fmod;
    using std::isfinite;
    using K = Constants<T>;
    static_assert(kDigits<T> >= 53, "the reduction's parts of pi/2 need at least a double's mantissa");
    static constexpr auto kSin = Coefficients<T>(3);
    static constexpr auto kCos = Coefficients<T>(4);
    static constexpr T kRounder = Rounder<T>();
    static constexpr T kLargest = LargestQuadrant<T>() * K::kHalfPi1;

    if (!isfinite(x)) {
        sine = cosine = NotANumber(x);
        return;
    }
    if (fabs(x) >= kLargest) x = fmod(x, K::kTwoPi);
    T r = x;
    unsigned quadrant = 0;
    if (fabs(x) > K::kQuarterPi) {
        const T k = (x * K::kTwoOverPi + kRounder) - kRounder;
        r = ((x - k * K::kHalfPi1) - k * K::kHalfPi2) - k * K::kHalfPi3;
        quadrant = static_cast<unsigned>(static_cast<std::int64_t>(k) & 3);
    }
    const T r2 = r * r;
    T sinePolynomial;
    T cosinePolynomial;
    Horner2(kSin, kCos, r2, sinePolynomial, cosinePolynomial);
    const T s = r + r * r2 * sinePolynomial;
    const T c = 1 - r2 / 2 + r2 * r2 * cosinePolynomial;
    switch (quadrant) {
        case 0:
            sine = s;
            cosine = c;
            break;
        case 1:
            sine = c;
            cosine = -s;
            break;
        case 2:
            sine = -s;
            cosine = -c;
            break;
        default:
            sine = -c;
            cosine = s;
            break;
    }
}

}  // namespace

void SinCos(ext x, ext& sine, ext& cosine) { SinCosOf(x, sine, cosine); }

void SinCos(double x, double& sine, double& cosine) { SinCosOf(x, sine, cosine); }

#if VELORA_EXT_IS_SOFTWARE
void SinCos(long double x, long double& sine, long double& cosine) { SinCosOf(x, sine, cosine); }
#endif

}  // namespace velora
