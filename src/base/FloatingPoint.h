#pragma once
// The process's floating-point state: all six exceptions masked (a division
// by zero gives an infinity, not a fault), the x87 unit computing with a
// 64-bit mantissa, rounding to nearest; the SSE unit likewise masked and
// rounding to nearest. Linux starts programs that way. Windows starts them
// with a 53-bit x87 mantissa, and a graphics driver, or any DLL loaded into
// the process later (a shell extension, a hook, an input method), may change
// the state at any time.
namespace velora {

// Sets the state: the x87 control word with fldcw (on x86-64 _controlfp
// cannot change the precision) and the SSE control register.
void SetFloatingPointState();

// Whether the state is the one above (exception flags already raised do
// not count).
bool FloatingPointStateIsSet();

// The engine's check before it computes: reads both control registers and
// sets the state only when either differs. A few instructions; nothing on
// processors without an x87 unit.
#if defined(__x86_64__) || defined(__i386__)
void KeepFloatingPointState();
#else
inline void KeepFloatingPointState() {}
#endif

}  // namespace velora
