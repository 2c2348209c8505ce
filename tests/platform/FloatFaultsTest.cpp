// Floating-point faults: found from the status flags after the operation.

#include "platform/FloatFaults.h"

#include <cmath>

#include <gtest/gtest.h>

#include "platform/Exceptions.h"

namespace vorn::platform {
namespace {

// Volatile operands, so that the compiler cannot fold the operations away.
volatile double gZero = 0.0, gOne = 1.0, gHuge = 1e308, gTiny = 1e-308;

TEST(FloatFaultsTest, FaultsBecomeExceptions) {
    EXPECT_THROW(CheckedFloatOp([] { return gOne / gZero; }), EZeroDivide);
    EXPECT_THROW(CheckedFloatOp([] { return gZero / gZero; }), EInvalidOp);
    EXPECT_THROW(CheckedFloatOp([] { return gHuge * 10; }), EOverflow);
    EXPECT_THROW(CheckedFloatOp([] { return std::sqrt(-gOne); }), EInvalidOp);
    // Underflow and inexact results are not faults.
    EXPECT_DOUBLE_EQ(CheckedFloatOp([] { return gTiny * gTiny; }), 0.0);
    EXPECT_DOUBLE_EQ(CheckedFloatOp([] { return gOne / 3; }), 1.0 / 3);
}

TEST(FloatFaultsTest, MessagesAndClearing) {
    try {
        CheckedFloatOp([] { return gOne / gZero; });
        FAIL();
    } catch (const EMathError& e) {
        EXPECT_STREQ(e.what(), "Floating point division by zero");
        EXPECT_STREQ(e.ClassName(), "EZeroDivide");
    }
    // The flags were cleared by the raise: a clean operation after it passes.
    EXPECT_NO_THROW(CheckFloatFaults());
    volatile double leftover = gHuge * 10;
    (void)leftover;
    ClearFloatFaults();
    EXPECT_NO_THROW(CheckFloatFaults());
}

} // namespace
} // namespace vorn::platform
