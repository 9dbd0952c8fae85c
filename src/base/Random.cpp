#include "base/Random.h"

namespace velora {

std::uint32_t RandSeed = 0;

namespace {
std::uint32_t NextSeed() {
    RandSeed = RandSeed * 134775813u + 1u;
    return RandSeed;
}
}  // namespace

std::int32_t Random(std::int32_t n) {
    const std::uint64_t product = std::uint64_t{NextSeed()} * static_cast<std::uint32_t>(n);
    // A non-positive range gives 0, the only value inside an empty range.
    return n > 0 ? static_cast<std::int32_t>(product >> 32) : 0;
}

ext Random() {
    constexpr ext kTwoToMinus32 = X87Constant(0x3FDF, 0x8000000000000000, 0x1p-32L);
    return static_cast<ext>(NextSeed()) * kTwoToMinus32;
}

}  // namespace velora
