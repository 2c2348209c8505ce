// Every compile error of the Pascal generators, each with the text that gives it and
// the message with its row and column.

#include "tests/engine/languages/PascalFixture.h"

namespace vorn::engine::pascaltest {
namespace {

struct TErrorCase {
    const char* Source;
    const char* Expected;  // message, then ".\r\nSource position: row,col"
};

// Declarations shared by the cases: a list object, plain variables and three routines.
const char* const Prelude =
    "procedure P(a); begin end;\n"
    "procedure R(var a); begin end;\n"
    "function F: Integer; begin end;\n"
    "var L: TStrList; x, s;\n";

const TErrorCase ErrorCases[] = {
#include "tests/engine/languages/PascalErrorCases.inc"
};

class PascalErrors : public PascalFixture, public ::testing::WithParamInterface<TErrorCase> {};

TEST_P(PascalErrors, ReportsMessageAtRowAndColumn) {
    std::string source = GetParam().Source;
    if (source.rfind("@", 0) == 0) source = Prelude + source.substr(1);
    EXPECT_EQ(CompileErrorOf(source), GetParam().Expected) << source;
}

INSTANTIATE_TEST_SUITE_P(Table, PascalErrors, ::testing::ValuesIn(ErrorCases));

} // namespace
} // namespace vorn::engine::pascaltest
