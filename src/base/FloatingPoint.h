#pragma once
// The process's floating-point state: all six exceptions masked (a division
// by zero gives an infinity, not a fault), the x87 unit computing with a
// 64-bit mantissa, rounding to nearest; the SSE unit likewise masked and
// rounding to nearest. Linux starts programs that way. Windows starts them
// with a 53-bit x87 mantissa, and a graphics driver may change the state
// while it loads.
namespace velora {

// Sets the state: the x87 control word with fldcw (on x86-64 _controlfp
// cannot change the precision) and the SSE control register.
void SetFloatingPointState();

// Whether the state is the one above (exception flags already raised do
// not count).
bool FloatingPointStateIsSet();

}  // namespace velora
