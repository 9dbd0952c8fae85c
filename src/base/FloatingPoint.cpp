#include "base/FloatingPoint.h"

#include <cstdint>

namespace velora {

#if defined(__x86_64__) || defined(__i386__)

namespace {
// x87: bits 0-5 mask the exceptions, 8-9 = 11 is the 64-bit mantissa,
// 10-11 = 00 rounds to nearest.
constexpr std::uint16_t kX87Control = 0x037F;
constexpr std::uint16_t kX87Fields = 0x0F3F;
// SSE: bits 7-12 mask the exceptions; rounding to nearest, denormals kept.
constexpr std::uint32_t kSseControl = 0x1F80;
constexpr std::uint32_t kSseFields = 0xFFC0;

std::uint16_t X87Control() {
    std::uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}
}  // namespace

void SetFloatingPointState() {
    const std::uint16_t word = kX87Control;
    // fldcw waits for pending exceptions: with a foreign control word that
    // unmasks one whose flag is already raised, it would fault before it
    // could mask it. fnclex clears the flags first without waiting.
    asm volatile("fnclex\n\tfldcw %0" : : "m"(word));
    __builtin_ia32_ldmxcsr(kSseControl);
}

bool FloatingPointStateIsSet() {
    return (X87Control() & kX87Fields) == (kX87Control & kX87Fields) &&
           (__builtin_ia32_stmxcsr() & kSseFields) == kSseControl;
}

void KeepFloatingPointState() {
    if (__builtin_expect(!FloatingPointStateIsSet(), 0)) SetFloatingPointState();
}

#else

// Other processors have no x87 unit; they start with every exception masked
// and rounding to nearest.
void SetFloatingPointState() {}
bool FloatingPointStateIsSet() { return true; }

#endif

}  // namespace velora
