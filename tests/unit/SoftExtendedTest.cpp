#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "base/Extended.h"
#include "base/SoftExtended.h"

namespace velora {
namespace {

using X = SoftExtended;

X Bits(std::uint16_t signExponent, std::uint64_t mantissa) { return X::FromBits(signExponent, mantissa); }

// Operands that reach every path: zeros, infinities, NaNs (quiet and
// signalling), denormals, the edges of the range, and normal numbers whose
// exponents lie close together (cancellation, carries, ties) or far apart;
// their mantissas often end in long runs of zeros or ones, where rounding
// decides.
class Operands {
public:
    X Next() {
        const std::uint64_t kind = FRandom() % 40;
        const bool negative = (FRandom() & 1) != 0;
        const std::uint16_t sign = negative ? 0x8000 : 0;
        std::uint64_t m = Mantissa();
        switch (kind) {
            case 0:
                return Bits(sign, 0);
            case 1:
                return Bits(sign | 0x7FFF, 0x8000000000000000);
            case 2:
                return Bits(sign | 0x7FFF, 0x8000000000000000 | ((m >> 2) | 1));
            case 3:
                return Bits(sign, m >> (1 + FRandom() % 63));
            case 4:
                return Bits(static_cast<std::uint16_t>(sign | (0x7FFE - FRandom() % 3)), m);
            case 5:
                return Bits(static_cast<std::uint16_t>(sign | (1 + FRandom() % 70)), m);
            case 6:
                return X(static_cast<std::int32_t>(FRandom() % 2001) - 1000);
            case 7:
                return X(BitCast<float>(static_cast<std::uint32_t>(FRandom())));
            case 8:
                return X(BitCast<double>(FRandom()));
            default:
                return Bits(static_cast<std::uint16_t>(sign | (16383 - 70 + FRandom() % 140)), m);
        }
    }

private:
    std::uint64_t Mantissa() {
        std::uint64_t m = FRandom() | 0x8000000000000000;
        const std::uint64_t shape = FRandom() % 4;
        const int run = static_cast<int>(FRandom() % 64);
        const std::uint64_t low = run == 0 ? 0 : (~std::uint64_t{0} >> (64 - run));
        if (shape == 0) m &= ~low;
        if (shape == 1) m |= low;
        return m;
    }
    std::mt19937_64 FRandom{20261209};
};

// FNV-1a over every result's bits.
struct Digest {
    void Add(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) {
            Value ^= (v >> (8 * i)) & 0xFF;
            Value *= 0x100000001B3;
        }
    }
    void Add(X x) {
        Add(x.Mantissa());
        Add(x.SignExponent());
    }
    std::uint64_t Value = 0xCBF29CE484222325;
};

#if VELORA_LONG_DOUBLE_IS_X87
long double Hard(X x) {
    long double v = 0;
    unsigned char bytes[sizeof(long double)] = {};
    const std::uint64_t m = x.Mantissa();
    const std::uint16_t se = x.SignExponent();
    std::memcpy(bytes, &m, 8);
    std::memcpy(bytes + 8, &se, 2);
    std::memcpy(&v, bytes, sizeof v);
    return v;
}
X Soft(long double v) {
    std::uint64_t m = 0;
    std::uint16_t se = 0;
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &v, sizeof v);
    std::memcpy(&m, bytes, 8);
    std::memcpy(&se, bytes + 8, 2);
    return X::FromBits(se, m);
}

::testing::AssertionResult SameBits(X soft, X hard, X a, X b, const char* what) {
    if (soft.SignExponent() == hard.SignExponent() && soft.Mantissa() == hard.Mantissa())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << what << " of " << a.SignExponent() << ":" << a.Mantissa()
                                         << " and " << b.SignExponent() << ":" << b.Mantissa() << " gave "
                                         << soft.SignExponent() << ":" << soft.Mantissa() << ", the x87 unit "
                                         << hard.SignExponent() << ":" << hard.Mantissa();
}

#endif

// Every operation on many operand pairs. On x86 each result is compared
// with the x87 unit's; everywhere, all results together must fold to the
// digest of the x87 unit's results, so a processor without one (aarch64
// under qemu) shows the same bits too.
TEST(SoftExtendedTest, EveryOperationGivesTheX87UnitsBits) {
    constexpr int kPairs = 150000;
    // The x87 unit's results for these operands, folded by Digest.
    constexpr std::uint64_t kX87Digest = 0x8f3e20f450be693e;
    Operands operands;
    Digest digest;
    int mismatches = 0;
    for (int i = 0; i < kPairs && mismatches < 10; ++i) {
        const X a = operands.Next();
        const X b = operands.Next();
        const X results[] = {a + b, a - b, a * b, a / b, fmod(a, b), nearbyint(a), trunc(a)};
        for (const X r : results) digest.Add(r);
        const auto f = BitCast<std::uint32_t>(static_cast<float>(a));
        const auto d = BitCast<std::uint64_t>(static_cast<double>(a));
        const std::int64_t whole = fabs(a) < X(0x1p63) ? static_cast<std::int64_t>(a) : 0;
        const unsigned order = (a < b) | (a <= b) << 1 | (a == b) << 2 | (a > b) << 3 | (a >= b) << 4 | (a != b) << 5;
        digest.Add(f);
        digest.Add(d);
        digest.Add(static_cast<std::uint64_t>(whole));
        digest.Add(order);
#if VELORA_LONG_DOUBLE_IS_X87
        const long double ha = Hard(a);
        const long double hb = Hard(b);
        const X expected[] = {Soft(ha + hb),       Soft(ha - hb),           Soft(ha * hb),
                              Soft(ha / hb),       Soft(std::fmod(ha, hb)), Soft(std::nearbyint(ha)),
                              Soft(std::trunc(ha))};
        const char* names[] = {"sum", "difference", "product", "quotient", "remainder", "nearest", "trunc"};
        for (int k = 0; k < 7; ++k) {
            const auto same = SameBits(results[k], expected[k], a, b, names[k]);
            EXPECT_TRUE(same);
            mismatches += same ? 0 : 1;
        }
        EXPECT_EQ(f, BitCast<std::uint32_t>(static_cast<float>(ha)))
            << std::hex << a.SignExponent() << ":" << a.Mantissa();
        EXPECT_EQ(d, BitCast<std::uint64_t>(static_cast<double>(ha)))
            << std::hex << a.SignExponent() << ":" << a.Mantissa();
        if (std::fabs(ha) < 0x1p63L) {
            EXPECT_EQ(whole, static_cast<std::int64_t>(ha));
        }
        const unsigned hardOrder =
            (ha < hb) | (ha <= hb) << 1 | (ha == hb) << 2 | (ha > hb) << 3 | (ha >= hb) << 4 | (ha != hb) << 5;
        EXPECT_EQ(order, hardOrder);
        // Loading a float or a double, as the engine does with its fields.
        const float fa = static_cast<float>(ha);
        const double da = static_cast<double>(ha);
        EXPECT_TRUE(SameBits(X(fa), Soft(static_cast<long double>(fa)), a, a, "float load"));
        EXPECT_TRUE(SameBits(X(da), Soft(static_cast<long double>(da)), a, a, "double load"));
#endif
    }
    EXPECT_EQ(digest.Value, kX87Digest);
}

// The engine's per-vertex shortcut: the float sum equals the extended sum
// stored as a float, across exponent distances that make it exact, round it
// once, or leave the smaller operand far below the last place.
TEST(SoftExtendedTest, FloatSumIsTheExtendedSumStored) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 400000; ++i) {
        const std::uint64_t r = random();
        const auto bits = static_cast<std::uint32_t>(r);
        // The second operand's exponent lies up to 63 below or above the first's.
        const auto shift = static_cast<std::int32_t>((r >> 32) % 127) - 63;
        const std::int32_t exponent = static_cast<std::int32_t>((bits >> 23) & 0xFF) + shift;
        const std::uint32_t other = (static_cast<std::uint32_t>(r >> 40) & 0x807FFFFF) |
                                    (static_cast<std::uint32_t>(exponent < 0     ? 0
                                                                : exponent > 254 ? 254
                                                                                 : exponent)
                                     << 23);
        const float a = BitCast<float>(bits);
        const float b = BitCast<float>((i & 1) != 0 ? other : other & 0xFFFFFF00);  // short mantissas tie
        const float viaSoft = static_cast<float>(X(a) + X(b));
        const float sum = SumToFloat(a, b);
        if (std::isnan(viaSoft)) continue;  // NaN operands: the sum keeps the extended path
        ASSERT_EQ(BitCast<std::uint32_t>(sum), BitCast<std::uint32_t>(viaSoft)) << a << " + " << b;
    }
}

// Cases whose x87 results are known by heart, on every processor.
TEST(SoftExtendedTest, RoundsTiesToEvenAndKeepsSpecialValues) {
    const X one = 1;
    const X ulp = Bits(0x3FC0, 0x8000000000000000);  // 2^-63, one unit in the last place of 1
    const X half = Bits(0x3FBF, 0x8000000000000000);
    EXPECT_EQ(one + half, one);                               // a tie goes to the even 1
    EXPECT_EQ((one + ulp) + half, one + ulp + ulp);           // and from an odd one upwards
    EXPECT_EQ(one - half, Bits(0x3FFE, 0xFFFFFFFFFFFFFFFF));  // 1 - 2^-64, exact
    EXPECT_EQ(one - Bits(0x3FBE, 0x8000000000000000), one);   // 1 - 2^-65, a tie below 1
    EXPECT_EQ(X(1) / 3 * 3, one);
    EXPECT_EQ(X(3) / 10, Bits(0x3FFD, 0x999999999999999A));

    const X zero = 0;
    EXPECT_TRUE(signbit(-zero + -zero));
    EXPECT_FALSE(signbit(zero - zero));
    EXPECT_FALSE(signbit(X(5) - X(5)));
    EXPECT_TRUE(isinf(one / zero) && !signbit(one / zero));
    EXPECT_TRUE(signbit(one / -zero));
    const X inf = std::numeric_limits<X>::infinity();
    for (const X invalid : {inf - inf, zero * inf, zero / zero, inf / inf, fmod(inf, one)}) {
        EXPECT_EQ(invalid.SignExponent(), 0xFFFF);  // the default NaN
        EXPECT_EQ(invalid.Mantissa(), 0xC000000000000000);
    }
    EXPECT_TRUE(isinf(std::numeric_limits<X>::max() * 2));
    EXPECT_EQ(X(45000) / X(0.0f), inf);

    // Stores round the 64-bit value once: 1 + 2^-24 is a float tie, 1 + 2^-24
    // + 2^-63 is not.
    EXPECT_EQ(static_cast<float>(one + Bits(0x3FE7, 0x8000000000000000)), 1.0f);
    EXPECT_EQ(static_cast<float>(one + Bits(0x3FE7, 0x8000000000000000) + ulp), 0x1.000002p0f);
    EXPECT_EQ(static_cast<double>(one + Bits(0x3FCA, 0x8000000000000000)), 1.0);
    EXPECT_EQ(static_cast<float>(Bits(0x3F6A, 0xC000000000000000)), 0x1p-149f * 2);  // a denormal tie, to even
    EXPECT_EQ(static_cast<float>(Bits(0x3F69, 0x8000000000000000)), 0.0f);           // half the least, to zero
    EXPECT_TRUE(std::isinf(static_cast<float>(X(0x1p128))));
    EXPECT_TRUE(std::isnan(static_cast<double>(X(std::nan("")))));
    EXPECT_EQ(static_cast<float>(X(0.1f)), 0.1f);
    EXPECT_EQ(static_cast<double>(X(-0x1p-1074)), -0x1p-1074);
}

}  // namespace
}  // namespace velora
