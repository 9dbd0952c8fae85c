#pragma once
// Sine and cosine with the same bits on every system. The C libraries
// disagree in the last place (glibc's sinl against MinGW's, which uses the
// x87 fsin instruction; their double versions as well), and the engine's
// sparks must move and be drawn identically under Linux and Windows.
//
// One algorithm serves every precision: its rounding constant and its number
// of terms follow from the type's mantissa width.
#include "base/Extended.h"

namespace velora {

// Both values for one angle in radians, in the engine's extended precision.
// Within a few billion radians the error is below two units in the last
// place; beyond that the angle is first reduced modulo 2*pi. Infinities and
// NaNs give NaNs.
void SinCos(ext x, ext& sine, ext& cosine);

// The same in double precision (exact reduction within a million radians).
void SinCos(double x, double& sine, double& cosine);

#if VELORA_EXT_IS_SOFTWARE
// The same in the compiler's long double, whatever its width (binary128 on
// aarch64, the x87 unit on x86).
void SinCos(long double x, long double& sine, long double& cosine);
#endif

}  // namespace velora
