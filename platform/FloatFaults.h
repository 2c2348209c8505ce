#pragma once
// Floating-point faults found by testing the status flags after an operation, never by
// traps or signal handlers: invalid operation, division by zero and overflow become
// EInvalidOp, EZeroDivide and EOverflow, as scripts on the mobile product see them.

namespace vorn::platform {

// Clears the invalid, division-by-zero and overflow flags.
void ClearFloatFaults() noexcept;
// Raises the exception for the first raised flag (invalid, then division by zero,
// then overflow) and clears the flags; does nothing when none is raised.
void CheckFloatFaults();

// Runs one floating-point operation and checks its flags.
template <class F>
auto CheckedFloatOp(F&& op) {
    ClearFloatFaults();
    // The compiler knows nothing of the status flags: these barriers keep the operation
    // from being moved before the clearing or past the check.
    asm volatile("" : : : "memory");
    auto result = op();
    asm volatile("" : "+m"(result) : : "memory");
    CheckFloatFaults();
    return result;
}

} // namespace vorn::platform
