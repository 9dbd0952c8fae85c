#pragma once
// ext: the engine's extended precision, the x87 80-bit format with its
// 64-bit mantissa on every processor. On x86 it is the x87 unit itself
// (long double); elsewhere, or with VELORA_SOFT_EXTENDED defined, it is
// SoftExtended, the same arithmetic in software. Constants are written as
// their x87 bits (X87Constant), so no compiler computes them at another
// precision.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/SoftExtended.h"

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
#define VELORA_LONG_DOUBLE_IS_X87 1
#else
#define VELORA_LONG_DOUBLE_IS_X87 0
#endif

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "The engine needs IEEE single and double precision");

namespace velora {

#if defined(VELORA_SOFT_EXTENDED)
#define VELORA_EXT_IS_SOFTWARE 1
#elif VELORA_LONG_DOUBLE_IS_X87
#define VELORA_EXT_IS_SOFTWARE 0
#elif LDBL_MANT_DIG == 53 || LDBL_MANT_DIG == 113
// long double is IEEE double (32-bit ARM, MSVC) or binary128 (aarch64):
// neither gives the x87's bits.
#define VELORA_EXT_IS_SOFTWARE 1
#else
#error \
    "long double here is neither the x87 format nor IEEE double or binary128; check that SoftExtended serves this processor, then add its format to base/Extended.h."
#endif

#if VELORA_EXT_IS_SOFTWARE
using ext = SoftExtended;
#else
using ext = long double;
#endif

namespace detail {
// Splits an x87 long double into its two fields by exact scaling.
consteval void X87Fields(long double x, std::uint16_t& signExponent, std::uint64_t& mantissa) {
    std::uint16_t sign = 0;
    if (x < 0 || (x == 0 && 1 / x < 0)) {
        sign = 0x8000;
        x = -x;
    }
    if (x == 0) {
        signExponent = sign;
        mantissa = 0;
        return;
    }
    int exponent = 63;
    while (x >= 0x1p64L) {
        x /= 2;
        ++exponent;
    }
    while (x < 0x1p63L) {
        x *= 2;
        --exponent;
    }
    signExponent = static_cast<std::uint16_t>(sign | (exponent + 16383));
    mantissa = static_cast<std::uint64_t>(x);
}
}  // namespace detail

// The constant with these x87 fields. decimal is the same constant as a
// long double literal: where long double is the x87 format the compiler
// checks that the two agree (a mismatch is no constant expression), and
// elsewhere it is not looked at.
consteval ext X87Constant(std::uint16_t signExponent, std::uint64_t mantissa, [[maybe_unused]] long double decimal) {
#if VELORA_LONG_DOUBLE_IS_X87
    std::uint16_t se = 0;
    std::uint64_t m = 0;
    detail::X87Fields(decimal, se, m);
    if (se != signExponent || m != mantissa) throw "the x87 bits do not match the decimal constant";
#endif
#if VELORA_EXT_IS_SOFTWARE
    return SoftExtended::FromBits(signExponent, mantissa);
#else
    // Exact: a 64-bit whole number scaled by a power of two.
    long double x = static_cast<long double>(mantissa);
    for (int e = (signExponent & 0x7FFF) - 16383 - 63; e > 0; --e) x *= 2;
    for (int e = (signExponent & 0x7FFF) - 16383 - 63; e < 0; ++e) x /= 2;
    return (signExponent & 0x8000) != 0 ? -x : x;
#endif
}

// The sum of two floats computed in extended precision and stored as a
// float. Where both are finite that is the correctly rounded float sum: two
// floats whose exponents lie within 39 of each other add exactly in a 64-bit
// mantissa (a carry included), and a smaller one stays below 2^-39 of the
// larger, too little to carry the extended sum to a tie between two floats.
// So the software type's per-vertex sums use the processor's float addition.
inline float SumToFloat(float a, float b) {
#if VELORA_EXT_IS_SOFTWARE && FLT_EVAL_METHOD == 0
    if (std::isfinite(a) && std::isfinite(b)) [[likely]]
        return a + b;
#endif
    return static_cast<float>(static_cast<ext>(a) + b);
}

}  // namespace velora
