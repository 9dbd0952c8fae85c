#include "base/Numeric.h"

#include <cmath>
#include <limits>

namespace velora {

namespace {
constexpr long double kInt64Bound = 0x1p63L;

std::int64_t ToInt64(long double whole) {
    if (!(whole >= -kInt64Bound && whole < kInt64Bound))
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(whole);
}
}  // namespace

std::int64_t Round(long double x) {
    // nearbyintl follows the current rounding mode, which is to-nearest-even
    // for the whole process.
    return ToInt64(std::nearbyintl(x));
}

std::int64_t Trunc(long double x) { return ToInt64(std::truncl(x)); }

}  // namespace velora
