#pragma once
// The process-wide pseudo-random generator. One 32-bit seed, advanced by one
// linear-congruential step on every call; every value the engine draws
// depends on the order of these calls.
#include <cstdint>

#include "base/Extended.h"

namespace velora {

// The generator's seed: 0 until it is first set.
extern std::uint32_t RandSeed;

// Uniform integer in 0..n-1 (0 for n <= 0): the high 32 bits of seed * n.
std::int32_t Random(std::int32_t n);

// Uniform real in [0, 1): seed * 2^-32.
ext Random();

}  // namespace velora
