#include "base/Numeric.h"

#include <cmath>
#include <limits>

namespace velora {

namespace {
constexpr ext kInt64Bound = X87Constant(0x403E, 0x8000000000000000, 0x1p63L);

std::int64_t ToInt64(ext whole) {
    if (!(whole >= -kInt64Bound && whole < kInt64Bound)) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(whole);
}
}  // namespace

// nearbyint follows the current rounding mode, which is to-nearest-even for
// the whole process (SoftExtended always rounds so).
std::int64_t Round(ext x) {
    using std::nearbyint;
    return ToInt64(nearbyint(x));
}

std::int64_t Trunc(ext x) {
    using std::trunc;
    return ToInt64(trunc(x));
}

}  // namespace velora
