#pragma once
// Exact conversions between the engine's extended type and the compiler's
// long double for tests: long double holds every x87 value exactly on x86
// (it is the x87 format) and on aarch64 (binary128).
#include <cmath>
#include <cstdint>

#include "base/Extended.h"

namespace velora::testing {

inline long double ToLongDouble(ext x) {
#if VELORA_EXT_IS_SOFTWARE
    if (isnan(x)) return signbit(x) ? -NAN : NAN;
    if (isinf(x)) return signbit(x) ? -INFINITY : INFINITY;
    const int field = x.SignExponent() & 0x7FFF;
    const long double magnitude =
        std::ldexp(static_cast<long double>(x.Mantissa()), (field == 0 ? 1 : field) - 16383 - 63);
    return signbit(x) ? -magnitude : magnitude;
#else
    return x;
#endif
}

// x must have at most 64 significant bits and lie in the normal range.
inline ext FromLongDouble(long double x) {
#if VELORA_EXT_IS_SOFTWARE
    if (x == 0) return std::signbit(x) ? -ext{0} : ext{0};
    int exponent = 0;
    const long double fraction = std::frexp(std::fabs(x), &exponent);
    const auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
    return SoftExtended::FromBits(static_cast<std::uint16_t>((std::signbit(x) ? 0x8000 : 0) | (exponent - 1 + 16383)),
                                  mantissa);
#else
    return x;
#endif
}

}  // namespace velora::testing
