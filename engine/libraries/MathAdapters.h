#pragma once
// The adapters of the Math library, one per row of MathRoutines.def, in MathLibrary.cpp
// (functions, rounding, comparisons, value kinds) and MathFinancial.cpp.

#include "engine/libraries/LibrarySupport.h"
#include "engine/libraries/MathLibrary.h"

namespace vorn::engine::math {

#define VORN_MATH_ROUTINE(Name, Args, Optional, ResultKind, ByRef, Hint, Adapter) \
    void Adapter(TatMathLibrary& library, TatVirtualMachine* m);
#include "engine/libraries/MathRoutines.def"

// The base raised to an integer power by repeated squaring; faults become errors.
double IntPower(double base, int64_t exponent);

} // namespace vorn::engine::math
