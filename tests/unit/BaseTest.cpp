#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "base/Errors.h"
#include "base/FloatingPoint.h"
#include "base/Numeric.h"
#include "base/Random.h"

namespace velora {
namespace {

TEST(RandomTest, StepsTheSeedOncePerCallFromZero) {
    RandSeed = 0;
    const std::uint32_t expected[] = {1u, 134775814u, 3698175007u, 870078620u, 1172187917u};
    for (const std::uint32_t seed : expected) {
        Random(10);
        EXPECT_EQ(RandSeed, seed);
    }
}

TEST(RandomTest, RangeDrawIsTheHighHalfOfSeedTimesRange) {
    RandSeed = 12345;
    EXPECT_EQ(Random(100), 38);
    EXPECT_EQ(Random(100), 28);
    EXPECT_EQ(Random(7), 0);
    EXPECT_EQ(Random(1000000), 553610);
    EXPECT_EQ(Random(0x7FFFFFFF), 1360806764);
}

TEST(RandomTest, EmptyRangeGivesZeroButStillAdvances) {
    RandSeed = 0;
    EXPECT_EQ(Random(0), 0);
    EXPECT_EQ(RandSeed, 1u);
}

TEST(RandomTest, RealDrawIsSeedTimesTwoToMinus32) {
    RandSeed = 0xFFFFFFFFu;
    const ext r = Random();
    EXPECT_EQ(RandSeed, 4160191484u);
    EXPECT_EQ(r, ext{4160191484u} / 4294967296u);
    EXPECT_LT(r, ext{1});
    RandSeed = 649090867u;  // the next seed is 0
    EXPECT_EQ(Random(), ext{0});
}

TEST(NumericTest, RoundSettlesTiesTowardsEven) {
    EXPECT_EQ(Round(0.5), 0);
    EXPECT_EQ(Round(1.5), 2);
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(100.5), 100);
    EXPECT_EQ(Round(101.5), 102);
    EXPECT_EQ(Round(1572.864), 1573);
    EXPECT_EQ(Round(-0.7), -1);
}

TEST(NumericTest, TruncGoesTowardsZero) {
    EXPECT_EQ(Trunc(206.55), 206);
    EXPECT_EQ(Trunc(-2.9), -2);
    EXPECT_EQ(Trunc(0.999), 0);
}

TEST(NumericTest, OutOfRangeConversionsGiveTheIndefiniteInteger) {
    constexpr auto kIndefinite = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(Round(std::numeric_limits<ext>::quiet_NaN()), kIndefinite);
    EXPECT_EQ(Trunc(std::numeric_limits<ext>::infinity()), kIndefinite);
    EXPECT_EQ(Trunc(1e30), kIndefinite);
}

TEST(NumericTest, TickDifferencesWrap) {
    EXPECT_EQ(TickDiff(5u, 0xFFFFFFFBu), 10u);
    EXPECT_EQ(TickDiff(1000u, 984u), 16u);
}

TEST(ErrorsTest, OsErrorTextCarriesCodeAndDescription) {
    EXPECT_STREQ(EOSError(5, "Access denied.").what(), "System Error.  Code: 5.\nAccess denied.");
    EXPECT_STREQ(EOSError(0, "ignored").what(), "A call to an OS function failed");
    EXPECT_EQ(EOSError(5, "x").ErrorCode(), 5);
}

#if defined(__x86_64__)
// 1 + 2^-60 exists only with a 64-bit mantissa; a 53-bit one rounds it to 1.
long double SixtyFourBitRemainder() {
    volatile long double one = 1;
    volatile long double tiny = 0x1p-60L;
    return (one + tiny) - one;
}

TEST(FloatingPointTest, StateRestoresTheSixtyFourBitMantissaAndMaskedSse) {
    // What Windows starts a program with, and a driver's flush-to-zero.
    const std::uint16_t windowsDefault = 0x027F;
    asm volatile("fldcw %0" : : "m"(windowsDefault));
    EXPECT_FALSE(FloatingPointStateIsSet());
    EXPECT_EQ(SixtyFourBitRemainder(), 0.0L);
    SetFloatingPointState();
    __builtin_ia32_ldmxcsr(__builtin_ia32_stmxcsr() | 0x8000);
    EXPECT_FALSE(FloatingPointStateIsSet());

    SetFloatingPointState();
    EXPECT_TRUE(FloatingPointStateIsSet());
    EXPECT_EQ(SixtyFourBitRemainder(), 0x1p-60L);
}
#endif

#if defined(__x86_64__)
TEST(FloatingPointDeathTest, MaskedExceptionsTurnADivisionByZeroIntoAnInfinity) {
    // Run apart: unmasked, the division ends the process with a fault.
    EXPECT_EXIT(
        {
            // A driver's unmasking of the division-by-zero exception, in both units.
            const std::uint16_t unmasked = 0x037B;
            asm volatile("fldcw %0" : : "m"(unmasked));
            __builtin_ia32_ldmxcsr(__builtin_ia32_stmxcsr() & ~0x0200u);
            SetFloatingPointState();
            volatile long double extendedZero = 0;
            volatile double doubleZero = 0;
            const bool extendedInfinite = std::isinf(1 / extendedZero);
            const bool doubleInfinite = std::isinf(1 / doubleZero);
            std::exit(extendedInfinite && doubleInfinite ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace velora
