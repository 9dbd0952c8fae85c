#pragma once
// SoftExtended: the x87 80-bit extended format in software. A sign, a 15-bit
// biased exponent and a 64-bit mantissa with an explicit leading bit, held
// exactly as the x87 unit stores them, and the x87 unit's arithmetic on them
// with a 64-bit mantissa: every operation rounds its exact result once, to
// nearest with ties to even; conversions to float and double round the
// 64-bit value once, as an x87 store does. Zeros keep their signs, overflow
// gives infinities, an invalid operation the x87 default NaN (negative,
// quiet), and results below the normal range are denormalised and rounded
// once, as the x87 unit does with its exceptions masked.
//
// Everything is inline and constexpr: the engine calls these operations per
// spark and per vertex.
#include <bit>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

#include "base/BitCast.h"

#if !defined(__SIZEOF_INT128__)
#error "SoftExtended needs unsigned __int128 (GCC or Clang on a 64-bit processor)."
#endif

namespace velora {

class SoftExtended {
public:
    constexpr SoftExtended() = default;

    template <typename I>
    requires std::is_integral_v<I>
    constexpr SoftExtended(I value) {  // NOLINT: converts implicitly, as long double does
        if (value == 0) return;
        const bool negative = value < 0;
        // Unsigned negation gives the magnitude also for the most negative value.
        std::uint64_t magnitude = static_cast<std::uint64_t>(value);
        if (negative) magnitude = 0 - magnitude;
        const int shift = std::countl_zero(magnitude);
        FMantissa = magnitude << shift;
        FSignExponent = static_cast<std::uint16_t>((negative ? kSignBit : 0) | (kBias + 63 - shift));
    }
    constexpr SoftExtended(float value) : SoftExtended(FromBinary(BitCast<std::uint32_t>(value), 24, 8)) {}
    constexpr SoftExtended(double value) : SoftExtended(FromBinary(BitCast<std::uint64_t>(value), 53, 11)) {}

    // The value whose x87 representation is these two fields.
    static constexpr SoftExtended FromBits(std::uint16_t signExponent, std::uint64_t mantissa) {
        SoftExtended x;
        x.FSignExponent = signExponent;
        x.FMantissa = mantissa;
        return x;
    }
    constexpr std::uint16_t SignExponent() const { return FSignExponent; }
    constexpr std::uint64_t Mantissa() const { return FMantissa; }

    explicit constexpr operator float() const { return BitCast<float>(static_cast<std::uint32_t>(ToBinary(24, 8))); }
    explicit constexpr operator double() const { return BitCast<double>(ToBinary(53, 11)); }
    // Towards zero; NaN and values outside the range give the x87's integer
    // indefinite, INT64_MIN.
    explicit constexpr operator std::int64_t() const {
        const int e = Exponent();
        if (e >= 63) return std::numeric_limits<std::int64_t>::min();
        if (e < 0 || IsZeroOrDenormal()) return 0;
        const auto magnitude = static_cast<std::int64_t>(FMantissa >> (63 - e));
        return Negative() ? -magnitude : magnitude;
    }

    constexpr SoftExtended operator-() const { return FromBits(FSignExponent ^ kSignBit, FMantissa); }

    [[gnu::always_inline]] friend constexpr SoftExtended operator+(SoftExtended a, SoftExtended b) {
        return FastAdd(a, b, false);
    }
    [[gnu::always_inline]] friend constexpr SoftExtended operator-(SoftExtended a, SoftExtended b) {
        return FastAdd(a, b, true);
    }
    [[gnu::always_inline]] friend constexpr SoftExtended operator*(SoftExtended a, SoftExtended b) {
        return FastMultiply(a, b);
    }
    friend constexpr SoftExtended operator/(SoftExtended a, SoftExtended b) { return Divide(a, b); }
    constexpr SoftExtended& operator+=(SoftExtended b) { return *this = *this + b; }
    constexpr SoftExtended& operator-=(SoftExtended b) { return *this = *this - b; }
    constexpr SoftExtended& operator*=(SoftExtended b) { return *this = *this * b; }
    constexpr SoftExtended& operator/=(SoftExtended b) { return *this = *this / b; }

    friend constexpr bool operator==(SoftExtended a, SoftExtended b) { return Compare(a, b) == 0; }
    friend constexpr bool operator<(SoftExtended a, SoftExtended b) { return Compare(a, b) == -1; }
    friend constexpr bool operator>(SoftExtended a, SoftExtended b) { return Compare(a, b) == 1; }
    friend constexpr bool operator<=(SoftExtended a, SoftExtended b) {
        const int c = Compare(a, b);
        return c == -1 || c == 0;
    }
    friend constexpr bool operator>=(SoftExtended a, SoftExtended b) {
        const int c = Compare(a, b);
        return c == 1 || c == 0;
    }

    // The <cmath> functions the engine and SinCos use, for unqualified calls
    // that find std:: for the built-in types.
    friend constexpr bool isnan(SoftExtended x) { return x.IsSpecial() && (x.FMantissa << 1) != 0; }
    friend constexpr bool isinf(SoftExtended x) { return x.IsSpecial() && (x.FMantissa << 1) == 0; }
    friend constexpr bool isfinite(SoftExtended x) { return !x.IsSpecial(); }
    friend constexpr bool signbit(SoftExtended x) { return x.Negative(); }
    friend constexpr SoftExtended fabs(SoftExtended x) { return FromBits(x.FSignExponent & ~kSignBit, x.FMantissa); }
    friend constexpr SoftExtended trunc(SoftExtended x) { return x.ToWhole(false); }
    // To the nearest whole number, ties to even (the process's rounding mode).
    friend constexpr SoftExtended nearbyint(SoftExtended x) { return x.ToWhole(true); }
    // The exact remainder x - n*y with n = trunc(x/y), as fprem computes it.
    friend constexpr SoftExtended fmod(SoftExtended x, SoftExtended y) { return Remainder(x, y); }

private:
    __extension__ typedef unsigned __int128 U128;  // GCC and Clang on 64-bit processors
    static constexpr std::uint16_t kSignBit = 0x8000;
    static constexpr int kBias = 16383;
    static constexpr int kMaxField = 0x7FFF;
    static constexpr std::uint64_t kTop = std::uint64_t{1} << 63;
    static constexpr std::uint64_t kQuietBit = std::uint64_t{1} << 62;

    // A finite non-zero value in working form: value = (mantissa / 2^127) *
    // 2^exponent, the mantissa's top bit set, and a sticky flag for bits
    // below it.
    struct Wide {
        bool Negative;
        int Exponent;
        U128 Mantissa;
        bool Sticky;
    };

    constexpr bool Negative() const { return (FSignExponent & kSignBit) != 0; }
    constexpr int Field() const { return FSignExponent & kMaxField; }
    constexpr bool IsSpecial() const { return Field() == kMaxField; }
    constexpr bool IsZeroOrDenormal() const { return Field() == 0; }
    constexpr bool IsZero() const { return Field() == 0 && FMantissa == 0; }
    // The unbiased exponent of the leading mantissa bit (normal numbers).
    constexpr int Exponent() const { return Field() - kBias; }

    static constexpr SoftExtended DefaultNaN() { return FromBits(0xFFFF, kTop | kQuietBit); }
    static constexpr SoftExtended Infinity(bool negative) { return FromBits((negative ? 0xFFFF : 0x7FFF), kTop); }
    static constexpr SoftExtended Zero(bool negative) { return FromBits(negative ? kSignBit : 0, 0); }
    static constexpr SoftExtended Quiet(SoftExtended x) { return FromBits(x.FSignExponent, x.FMantissa | kQuietBit); }
    // The NaN an operation with NaN operands gives: the one with the larger
    // significand, quieted.
    static constexpr SoftExtended PropagateNaN(SoftExtended a, SoftExtended b) {
        if (!isnan(a)) return Quiet(b);
        if (!isnan(b)) return Quiet(a);
        return Quiet((b.FMantissa | kQuietBit) > (a.FMantissa | kQuietBit) ? b : a);
    }

    // Exponent and mantissa of a finite non-zero value with the leading bit
    // set (denormals normalised).
    constexpr int NormalExponent() const { return Field() != 0 ? Exponent() : 1 - kBias - std::countl_zero(FMantissa); }
    constexpr std::uint64_t NormalMantissa() const {
        return Field() != 0 ? FMantissa : FMantissa << std::countl_zero(FMantissa);
    }

    // Rounds the working form once to 64 bits, to nearest with ties to even,
    // denormalising first below the normal range.
    static constexpr SoftExtended Pack(Wide w) {
        int field = w.Exponent + kBias;
        U128 m = w.Mantissa;
        bool sticky = w.Sticky;
        if (field <= 0) [[unlikely]] {
            const int shift = 1 - field;
            if (shift >= 128) {
                sticky = sticky || m != 0;
                m = 0;
            } else {
                sticky = sticky || (m & ((U128{1} << shift) - 1)) != 0;
                m >>= shift;
            }
            field = 0;
        }
        auto high = static_cast<std::uint64_t>(m >> 64);
        const auto low = static_cast<std::uint64_t>(m);
        const bool half = (low & kTop) != 0;
        const bool rest = (low << 1) != 0 || sticky;
        if (half && (rest || (high & 1) != 0)) {
            ++high;
            if (high == 0) {
                high = kTop;
                ++field;
            } else if (field == 0 && (high & kTop) != 0) {
                field = 1;  // a denormal rounded up to the smallest normal
            }
        }
        if (field >= kMaxField) [[unlikely]]
            return Infinity(w.Negative);
        return FromBits(static_cast<std::uint16_t>((w.Negative ? kSignBit : 0) | field), high);
    }

    // Rounds hi:lo (hi's top bit set) plus a sticky bit to 64 bits, for a
    // normal result with this exponent field; false when the result leaves
    // the normal range and needs the general path.
    [[gnu::always_inline]] static constexpr bool RoundNormal(bool negative, int field, std::uint64_t hi,
                                                             std::uint64_t lo, bool sticky, SoftExtended& out) {
        if ((lo & kTop) != 0 && ((lo << 1) != 0 || sticky || (hi & 1) != 0)) {
            if (++hi == 0) {
                hi = kTop;
                ++field;
            }
        }
        if (field < 1 || field >= kMaxField) return false;
        out = FromBits(static_cast<std::uint16_t>((negative ? kSignBit : 0) | field), hi);
        return true;
    }
    static constexpr bool BothNormal(SoftExtended a, SoftExtended b) {
        return static_cast<unsigned>(a.Field() - 1) < kMaxField - 1 &&
               static_cast<unsigned>(b.Field() - 1) < kMaxField - 1;
    }

    // The common case inline: normal operands and a normal result; anything
    // else takes the general path below.
    [[gnu::always_inline]] static constexpr SoftExtended FastAdd(SoftExtended a, SoftExtended b, bool subtract) {
        if (BothNormal(a, b)) [[likely]] {
            const bool bNegative = b.Negative() != subtract;
            int fa = a.Field();
            int fb = b.Field();
            std::uint64_t ma = a.FMantissa;
            std::uint64_t mb = b.FMantissa;
            bool negative = a.Negative();
            if (fb > fa || (fb == fa && mb > ma)) {
                negative = bNegative;
                std::swap(fa, fb);
                std::swap(ma, mb);
            }
            const int distance = fa - fb;
            // Beyond 65 places the smaller one is below half a unit of the
            // larger one's last place, also just under a power of two.
            if (distance > 65) return FromBits(static_cast<std::uint16_t>((negative ? kSignBit : 0) | fa), ma);
            if (distance <= 64) {
                const U128 big = U128{ma} << 64;
                const U128 small = (U128{mb} << 64) >> distance;
                SoftExtended out;
                if (a.Negative() == bNegative) {
                    const U128 sum = big + small;
                    if (sum < big) {  // a carry out of the top bit
                        const auto hi = static_cast<std::uint64_t>(sum >> 64);
                        const auto lo = static_cast<std::uint64_t>(sum);
                        if (RoundNormal(negative, fa + 1, (hi >> 1) | kTop, (hi << 63) | (lo >> 1), (lo & 1) != 0, out))
                            return out;
                    } else if (RoundNormal(negative, fa, static_cast<std::uint64_t>(sum >> 64),
                                           static_cast<std::uint64_t>(sum), false, out)) {
                        return out;
                    }
                } else {
                    U128 difference = big - small;
                    if (difference == 0) return Zero(false);
                    const int shift = CountLeadingZeros(difference);
                    difference <<= shift;
                    if (RoundNormal(negative, fa - shift, static_cast<std::uint64_t>(difference >> 64),
                                    static_cast<std::uint64_t>(difference), false, out))
                        return out;
                }
            }
        }
        return Add(a, b, subtract);
    }

    [[gnu::always_inline]] static constexpr SoftExtended FastMultiply(SoftExtended a, SoftExtended b) {
        if (BothNormal(a, b)) [[likely]] {
            const U128 product = U128{a.FMantissa} * b.FMantissa;
            auto hi = static_cast<std::uint64_t>(product >> 64);
            auto lo = static_cast<std::uint64_t>(product);
            int field = a.Field() + b.Field() - kBias;
            if ((hi & kTop) != 0) {
                ++field;
            } else {
                hi = (hi << 1) | (lo >> 63);
                lo <<= 1;
            }
            SoftExtended out;
            if (RoundNormal(a.Negative() != b.Negative(), field, hi, lo, false, out)) return out;
        }
        return Multiply(a, b);
    }

    [[gnu::noinline]] static constexpr SoftExtended Add(SoftExtended a, SoftExtended b, bool subtract) {
        if (a.IsSpecial() || b.IsSpecial()) [[unlikely]] {
            // A NaN passes through a subtraction with its sign.
            if (isnan(a) || isnan(b)) return PropagateNaN(a, b);
            if (subtract) b = -b;
            if (a.IsSpecial() && b.IsSpecial() && a.Negative() != b.Negative()) return DefaultNaN();
            return a.IsSpecial() ? a : b;
        }
        if (subtract) b = -b;
        if (a.IsZero() || b.IsZero()) [[unlikely]] {
            if (!a.IsZero()) return a;
            if (!b.IsZero()) return b;
            return Zero(a.Negative() && b.Negative());
        }
        int ea = a.NormalExponent();
        int eb = b.NormalExponent();
        std::uint64_t ma = a.NormalMantissa();
        std::uint64_t mb = b.NormalMantissa();
        bool negative = a.Negative();
        if (eb > ea || (eb == ea && mb > ma)) {
            negative = b.Negative();
            std::swap(ea, eb);
            std::swap(ma, mb);
        }
        // Both mantissas with their leading bit at bit 126, one bit of
        // headroom for a carry; what the smaller one loses on alignment is
        // jammed into its lowest bit.
        const U128 big = U128{ma} << 63;
        U128 small = U128{mb} << 63;
        const int distance = ea - eb;
        if (distance >= 127) {
            small = 1;
        } else if (distance > 0) {
            const bool lost = (small & ((U128{1} << distance) - 1)) != 0;
            small = (small >> distance) | (lost ? 1 : 0);
        }
        U128 sum;
        if (a.Negative() == b.Negative()) {
            sum = big + small;
        } else {
            sum = big - small;
            if (sum == 0) return Zero(false);
        }
        const int top = 127 - CountLeadingZeros(sum);
        return Pack({negative, ea - 126 + top, sum << (127 - top), false});
    }

    [[gnu::noinline]] static constexpr SoftExtended Multiply(SoftExtended a, SoftExtended b) {
        const bool negative = a.Negative() != b.Negative();
        if (a.IsSpecial() || b.IsSpecial() || a.IsZeroOrDenormal() || b.IsZeroOrDenormal()) [[unlikely]] {
            if (isnan(a) || isnan(b)) return PropagateNaN(a, b);
            if (a.IsSpecial() || b.IsSpecial()) return (a.IsZero() || b.IsZero()) ? DefaultNaN() : Infinity(negative);
            if (a.IsZero() || b.IsZero()) return Zero(negative);
        }
        const U128 product = U128{a.NormalMantissa()} * b.NormalMantissa();
        const int exponent = a.NormalExponent() + b.NormalExponent();
        if ((product >> 127) != 0) return Pack({negative, exponent + 1, product, false});
        return Pack({negative, exponent, product << 1, false});
    }

    static constexpr SoftExtended Divide(SoftExtended a, SoftExtended b) {
        const bool negative = a.Negative() != b.Negative();
        if (a.IsSpecial() || b.IsSpecial() || a.IsZero() || b.IsZero()) [[unlikely]] {
            if (isnan(a) || isnan(b)) return PropagateNaN(a, b);
            if (a.IsSpecial()) return b.IsSpecial() ? DefaultNaN() : Infinity(negative);
            if (b.IsSpecial()) return Zero(negative);
            if (b.IsZero()) return a.IsZero() ? DefaultNaN() : Infinity(negative);
            return Zero(negative);
        }
        const std::uint64_t divisor = b.NormalMantissa();
        const U128 dividend = U128{a.NormalMantissa()} << 64;
        const U128 quotient = dividend / divisor;
        const auto remainder = static_cast<std::uint64_t>(dividend - quotient * divisor);
        const int exponent = a.NormalExponent() - b.NormalExponent();
        if ((quotient >> 64) != 0) return Pack({negative, exponent, quotient << 63, remainder != 0});
        // A 64-bit quotient: the next bit and the sticky bits come from
        // comparing twice the remainder with the divisor.
        const U128 twice = U128{remainder} << 1;
        const bool half = twice >= divisor;
        const bool rest = twice != divisor && remainder != 0;
        const U128 m = (quotient << 64) | (half ? U128{kTop} : 0) | (rest ? 1 : 0);
        return Pack({negative, exponent - 1, m, false});
    }

    // -1, 0, 1 for less, equal, greater; 2 when unordered.
    static constexpr int Compare(SoftExtended a, SoftExtended b) {
        if (isnan(a) || isnan(b)) [[unlikely]]
            return 2;
        if (a.IsZero() && b.IsZero()) return 0;
        const U128 ka = (U128{static_cast<std::uint16_t>(a.Field())} << 64) | a.FMantissa;
        const U128 kb = (U128{static_cast<std::uint16_t>(b.Field())} << 64) | b.FMantissa;
        if (a.Negative() != b.Negative()) return a.Negative() ? -1 : 1;
        if (ka == kb) return 0;
        return ((ka < kb) != a.Negative()) ? -1 : 1;
    }

    constexpr SoftExtended ToWhole(bool nearest) const {
        if (IsSpecial()) return isnan(*this) ? Quiet(*this) : *this;
        if (IsZero()) return *this;
        const int e = NormalExponent();
        if (e >= 63) return *this;
        const std::uint64_t m = NormalMantissa();
        std::uint64_t whole = 0;
        if (e >= 0) whole = m >> (63 - e);
        if (nearest && e >= -1) {
            const int shift = 63 - e;  // 1..64
            const std::uint64_t fraction = shift == 64 ? m : m << (64 - shift);
            if ((fraction & kTop) != 0 && ((fraction << 1) != 0 || (whole & 1) != 0)) ++whole;
        }
        if (whole == 0) return Zero(Negative());
        const SoftExtended magnitude(whole);
        return Negative() ? -magnitude : magnitude;
    }

    static constexpr SoftExtended Remainder(SoftExtended x, SoftExtended y) {
        if (x.IsSpecial() || y.IsSpecial() || y.IsZero()) {
            if (isnan(x) || isnan(y)) return PropagateNaN(x, y);
            if (x.IsSpecial() || y.IsZero()) return DefaultNaN();
            return x;
        }
        if (x.IsZero()) return x;
        const int ey = y.NormalExponent();
        const std::uint64_t my = y.NormalMantissa();
        int distance = x.NormalExponent() - ey;
        if (distance < 0) return x;
        U128 r = x.NormalMantissa();
        for (;;) {
            if (r >= my) r -= my;
            if (distance == 0) break;
            r <<= 1;
            --distance;
        }
        if (r == 0) return Zero(x.Negative());
        const int top = 127 - CountLeadingZeros(r);
        return Pack({x.Negative(), ey - 63 + top, r << (127 - top), false});
    }

    static constexpr int CountLeadingZeros(U128 v) {
        const auto high = static_cast<std::uint64_t>(v >> 64);
        return high != 0 ? std::countl_zero(high) : 64 + std::countl_zero(static_cast<std::uint64_t>(v));
    }

    // IEEE binary formats of P mantissa bits (the leading one included) and
    // E exponent bits, to and from the x87 form. (Plain parameters, not
    // template ones: Clang 14 cannot evaluate a member template that the
    // class's own inline functions instantiate in a constant expression.)
    [[gnu::always_inline]] static constexpr SoftExtended FromBinary(std::uint64_t bits, int P, int E) {
        const int kFraction = P - 1;
        const int kMaxExp = (1 << E) - 1;
        const int kBinaryBias = (1 << (E - 1)) - 1;
        const bool negative = (bits >> (P + E - 1)) != 0;
        const int field = static_cast<int>((bits >> kFraction) & static_cast<std::uint64_t>(kMaxExp));
        const std::uint64_t fraction = bits & ((std::uint64_t{1} << kFraction) - 1);
        const std::uint16_t sign = negative ? kSignBit : 0;
        if (field == kMaxExp) {
            // Infinities; NaNs keep their payload and become quiet.
            const std::uint64_t payload = fraction << (63 - kFraction);
            return FromBits(sign | kMaxField, kTop | payload | (fraction != 0 ? kQuietBit : 0));
        }
        if (field == 0) {
            if (fraction == 0) return Zero(negative);
            const int shift = std::countl_zero(fraction);
            return FromBits(static_cast<std::uint16_t>(sign | (kBias + 1 - kBinaryBias - (shift - (63 - kFraction)))),
                            fraction << shift);
        }
        return FromBits(static_cast<std::uint16_t>(sign | (field - kBinaryBias + kBias)),
                        kTop | (fraction << (63 - kFraction)));
    }

    [[gnu::always_inline]] constexpr std::uint64_t ToBinary(int P, int E) const {
        const int kFraction = P - 1;
        const std::uint64_t kMaxExp = (std::uint64_t{1} << E) - 1;
        const int kBinaryBias = (1 << (E - 1)) - 1;
        const std::uint64_t sign = Negative() ? std::uint64_t{1} << (P + E - 1) : 0;
        if (IsSpecial()) {
            const std::uint64_t fraction = isnan(*this) ? ((FMantissa | kQuietBit) & ~kTop) >> (63 - kFraction) : 0;
            return sign | (kMaxExp << kFraction) | fraction;
        }
        if (IsZero()) return sign;
        const int e = NormalExponent();
        if (e > kBinaryBias) return sign | (kMaxExp << kFraction);
        const std::uint64_t m = NormalMantissa();
        // Bits dropped below the kept ones: more for results that become
        // denormals of the narrower format.
        const int kMinExp = 1 - kBinaryBias;
        const int drop = 63 - kFraction + (e < kMinExp ? kMinExp - e : 0);
        std::uint64_t kept = 0;
        bool half = false;
        bool rest = false;
        if (drop < 64) {
            kept = m >> drop;
            half = ((m >> (drop - 1)) & 1) != 0;
            rest = (m & ((std::uint64_t{1} << (drop - 1)) - 1)) != 0;
        } else if (drop == 64) {
            half = true;
            rest = (m << 1) != 0;
        } else {
            rest = true;
        }
        if (half && (rest || (kept & 1) != 0)) ++kept;
        // kept holds the leading bit for normal results, so adding it to the
        // exponent field minus one also carries a rounding overflow.
        const std::uint64_t field = e < kMinExp ? 0 : static_cast<std::uint64_t>(e + kBinaryBias - 1);
        const std::uint64_t bits = (field << kFraction) + kept;
        if ((bits >> kFraction) >= kMaxExp) return sign | (kMaxExp << kFraction);
        return sign | bits;
    }

    std::uint64_t FMantissa = 0;
    std::uint16_t FSignExponent = 0;
};

}  // namespace velora

template <>
class std::numeric_limits<velora::SoftExtended> {
public:
    using T = velora::SoftExtended;
    static constexpr bool is_specialized = true;
    static constexpr bool is_signed = true;
    static constexpr bool is_integer = false;
    static constexpr bool is_exact = false;
    static constexpr bool has_infinity = true;
    static constexpr bool has_quiet_NaN = true;
    static constexpr bool is_iec559 = false;
    static constexpr int radix = 2;
    static constexpr int digits = 64;
    static constexpr int min_exponent = -16381;
    static constexpr int max_exponent = 16384;
    static constexpr T min() noexcept { return T::FromBits(0x0001, std::uint64_t{1} << 63); }
    static constexpr T max() noexcept { return T::FromBits(0x7FFE, ~std::uint64_t{0}); }
    static constexpr T lowest() noexcept { return -max(); }
    static constexpr T epsilon() noexcept { return T::FromBits(0x3FC0, std::uint64_t{1} << 63); }
    static constexpr T infinity() noexcept { return T::FromBits(0x7FFF, std::uint64_t{1} << 63); }
    static constexpr T quiet_NaN() noexcept { return T::FromBits(0x7FFF, std::uint64_t{3} << 62); }
    static constexpr T denorm_min() noexcept { return T::FromBits(0, 1); }
};
