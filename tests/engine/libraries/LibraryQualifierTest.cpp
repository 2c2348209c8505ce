// Library members reached through the library's name: the member named after each
// library returns the library object, so a script can qualify a routine with it and
// hold the library as a value.

#include "tests/engine/libraries/LibraryFixture.h"

namespace vorn::engine::librarytest {
namespace {

using LibraryQualifierTest = LibraryFixture;

struct TCase {
    const char* FExpression;
    const char* FExpected;
};

TEST_F(LibraryQualifierTest, QualifiedCallsReachTheirLibrary) {
    const TCase cases[] = {
        {"Math.Tan(0)", "0"},
        {"Math.Hypot(3, 4)", "5"},
        {"General.Sin(0)", "0"},
        {"General.IntToStr(42)", "42"},
        {"StrUtils.IfThen(True, 'a', 'b')", "a"},
        {"StrUtils.ReverseString('abc')", "cba"},
        // The bare IfThen is StrUtils' (a text); Math's stays reachable by qualification.
        {"Math.IfThen(False, 1, 2)", "2"},
        {"Math.IfThen(True, 5)", "5"},
        {"Math.IfThen(False, 5)", "0"},
        {"Math.MaxDouble > 1e308", "True"},
    };
    for (const TCase& c : cases) EXPECT_EQ(Eval(c.FExpression), c.FExpected) << c.FExpression;
    EXPECT_EQ(Content("Math.IfThen(True, 5)"), "Integer:5");
}

TEST_F(LibraryQualifierTest, TheLibraryIsAValue) {
    const int64_t general = General().ObjectNumber();
    EXPECT_EQ(VarToInt64(RunBody("Result := General;")), general);
    EXPECT_EQ(VarToStrUtf8(RunBody("g := General; Result := Assigned(g);", "g")), "True");
}

// Sin belongs to General, not to Math: the qualifier names the library that owns it.
TEST_F(LibraryQualifierTest, AQualifierOnlyReachesItsOwnLibrary) {
    EXPECT_TRUE(Contains(ErrorOf("Result := Math.Sin(1);"), "Unknown member method: 'Sin'"));
}

// A library is the host's object: a script cannot free it (library classes do not take
// TObject's members, so the call finds no Free at all).
TEST_F(LibraryQualifierTest, FreeingALibraryIsRefused) {
    EXPECT_TRUE(Contains(ErrorOf("m := Math; m.Free;", "m"), "Unknown method: 'Free'"));
    EXPECT_EQ(Eval("Math.Tan(0)"), "0");
}

} // namespace
} // namespace vorn::engine::librarytest
