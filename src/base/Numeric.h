#pragma once
// Rounding helpers and the wrapping millisecond tick.
#include <cstdint>

#include "base/Extended.h"

namespace velora {

// Nearest integer, ties to even. A value outside the int64 range (or NaN)
// gives INT64_MIN, the "integer indefinite" of a masked x87 conversion.
std::int64_t Round(ext x);

// Towards zero, with the same answer for values out of range.
std::int64_t Trunc(ext x);

// Unsigned 32-bit milliseconds; differences wrap modulo 2^32.
using Tick = std::uint32_t;

constexpr Tick TickDiff(Tick later, Tick earlier) { return later - earlier; }

}  // namespace velora
