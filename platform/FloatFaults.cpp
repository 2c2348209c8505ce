// Floating-point faults read from the status flags of the floating-point environment.
// Traps stay masked: a fault is noticed after the operation, so no signal handler and
// no SIGFPE is ever involved. Underflow and inexact results are not faults here.

#include "platform/FloatFaults.h"

#include <cfenv>

#include "platform/Exceptions.h"

namespace vorn::platform {

namespace {
constexpr int kFaultFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
}

void ClearFloatFaults() noexcept { std::feclearexcept(kFaultFlags); }

void CheckFloatFaults() {
    const int raised = std::fetestexcept(kFaultFlags);
    if (raised == 0) return;
    std::feclearexcept(kFaultFlags);
    if (raised & FE_INVALID) throw EInvalidOp();
    if (raised & FE_DIVBYZERO) throw EZeroDivide();
    throw EOverflow();
}

} // namespace vorn::platform
