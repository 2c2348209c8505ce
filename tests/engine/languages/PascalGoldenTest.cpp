// Golden instruction listings of the Pascal generators, one file per construct under
// tests/data/pascal/. Set VORN_UPDATE_GOLDEN=1 to rewrite the files after a deliberate
// change (and review the difference).

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/engine/languages/PascalFixture.h"

namespace vorn::engine::pascaltest {
namespace {

enum TGoldenOption { goNone = 0, goShortEval = 1, goImplicitVars = 2 };

struct TGoldenCase {
    const char* Name;
    int Options;
    const char* Source;
};

const TGoldenCase GoldenCases[] = {
    {"for_to", goNone, "procedure P;\nvar i, x;\nbegin\n  for i := 1 to 3 do x := x + i;\nend;\nbegin\nend."},
    {"for_downto_step", goNone,
     "procedure P;\nvar i, x;\nbegin\n  for i := 3 downto 1 do x := i;\n  for i := 0 to 1 step 0.5 do x := i;\n"
     "  for i := 0 to 10 step 2 do continue;\nend;\nbegin\nend."},
    {"if_else", goNone, "procedure P;\nvar a, b;\nbegin\n  if a then b := 1 else b := 2;\n  if b > 1 then a := b;\nend;\n"
                       "begin\nend."},
    {"while_break_continue", goNone,
     "var a;\nbegin\n  while a < 10 do\n  begin\n    a := a + 1;\n    if a = 5 then continue;\n    if a = 8 then break;\n"
     "  end;\nend."},
    {"repeat_in_for", goNone,
     "procedure P;\nvar i, a;\nbegin\n  for i := 1 to 2 do\n  begin\n    repeat\n      break;\n    until a;\n    break;\n"
     "  end;\nend;\nbegin\nend."},
    {"case", goNone, "procedure P;\nvar x, y;\nbegin\n  case x of\n    1, 2: y := 1;\n    3: y := 2\n  else\n    y := 3\n"
                    "  end;\nend;\nbegin\nend."},
    {"try", goNone,
     "procedure P;\nvar x;\nbegin\n  while true do\n    try\n      continue;\n    finally\n      x := 1;\n    end;\n"
     "  try\n    x := 1;\n  except\n    exit;\n  end;\nend;\nbegin\nend."},
    {"with", goNone, "procedure P;\nvar L: TStrList;\nbegin\n  with L do\n  begin\n    Add(1);\n    Text := 'a';\n  end;\nend;\n"
                    "begin\nend."},
    {"routines_var_params", goNone,
     "procedure Swap(var a, b);\nvar t;\nbegin\n  t := a;\n  a := b;\n  b := t;\nend;\n\nfunction Twice(x): Integer;\n"
     "begin\n  Result := x * 2;\nend;\n\nvar p, q;\nbegin\n  Swap(p, q);\n  p := Twice(q);\nend."},
    {"forward", goNone,
     "procedure P(a); forward;\nprocedure Q;\nbegin\n  P(1);\nend;\nprocedure P(a);\nbegin\n  exit;\nend;\nbegin\n  Q;\nend."},
    {"expressions", goNone,
     "procedure P;\nvar a, b, c, d, e, f, g, h, k, m;\nbegin\n  a := 1 + 2 * 3;\n  b := 8 - 3 - 2;\n  c := not a and b;\n"
     "  d := -a ^ 2;\n  e := 'it''s' + 'x'#13#10'y' + #$41;\n  f := $FF;\n  g := 1.5e3;\n  h := [1, 2, a];\n"
     "  k := 9223372036854775808;\n  m := $FFFFFFFF;\n  a := (a + b) * c;\n  a := b;\n  a := nil;\nend;\nbegin\nend."},
    {"short_circuit", goShortEval, "procedure P;\nvar a, b, c, d;\nbegin\n  a := b or c and d;\nend;\nbegin\nend."},
    {"members", goNone,
     "procedure P;\nvar L: TStrList; x, y, s, i, z, T, c;\nbegin\n  L := TStrList.Create;\n  L.Add(x);\n  y := L.Add(x);\n"
     "  L[0] := 'x';\n  s := Copy(s, 1, 2);\n  Inc(i);\n  z := L.Count;\n  T := TStrList;\n  c := L as TStrList;\n"
     "  s := Fmt(1, 2);\n  y := L[1];\nend;\nbegin\nend."},
    {"globals_consts_arrays", goNone,
     "const C = 5;\nvar G; A: array[10];\nbegin\n  G := C;\n  A[1] := G;\n  G := A[1];\nend."},
    {"typecast", goNone, "procedure P;\nvar x, g;\nbegin\n  g := TStrList(x);\nend;\nbegin\nend."},
    {"main_statements", goImplicitVars, "x := 1;\nif x = 1 then\n  ShowMessage('one');\nexit;"},
};

std::string GoldenPath(const char* name) { return std::string(VORN_TEST_DATA) + "/pascal/" + name + ".lst"; }

class PascalGolden : public PascalFixture, public ::testing::WithParamInterface<TGoldenCase> {};

TEST_P(PascalGolden, ListingMatchesGoldenFile) {
    const TGoldenCase& c = GetParam();
    FScripter->SetShortBooleanEval((c.Options & goShortEval) != 0);
    FScripter->SetOptionExplicit((c.Options & goImplicitVars) == 0);
    ASSERT_EQ(CompileErrorOf(c.Source), "");
    const std::string actual = Listing();
    if (std::getenv("VORN_UPDATE_GOLDEN")) {
        std::ofstream(GoldenPath(c.Name), std::ios::binary) << actual;
        return;
    }
    std::ifstream in(GoldenPath(c.Name), std::ios::binary);
    ASSERT_TRUE(in) << "missing golden file " << GoldenPath(c.Name);
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(actual, expected.str()) << c.Source;
}

INSTANTIATE_TEST_SUITE_P(Constructs, PascalGolden, ::testing::ValuesIn(GoldenCases),
                         [](const ::testing::TestParamInfo<TGoldenCase>& info) { return std::string(info.param.Name); });

} // namespace
} // namespace vorn::engine::pascaltest
