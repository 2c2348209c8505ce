// Silent compilation runs on every keystroke over half-typed text: whatever the prefix
// of a script, it must finish without an error escaping and without touching freed or
// missing nodes (run under the sanitizers).

#include "tests/engine/languages/PascalFixture.h"

namespace vorn::engine::pascaltest {
namespace {

const char* const FullScript =
    "uses Classes;\n"
    "const K = $10; S = 'a'#13'b';\n"
    "var G: TStrList; A: array[0 .. 3] of Integer;\n"
    "procedure Swap(var a, b); forward;\n"
    "function Sum(x, y): Integer;\n"
    "var i;\n"
    "begin\n"
    "  Result := 0;\n"
    "  for i := x to y step 2 do begin if i mod 3 = 0 then continue; Result := Result + i; end;\n"
    "  while Result > 100 do begin Result := Result div 2; if Result = 7 then break; end;\n"
    "  repeat Result := Result - 1 until (Result < 50) or not (Result > 60);\n"
    "end;\n"
    "procedure Swap(var a, b);\n"
    "var t;\n"
    "begin t := a; a := b; b := t; end;\n"
    "var L: TStrList; x, y, s;\n"
    "begin\n"
    "  L := TStrList.Create;\n"
    "  with L do begin Add(Sum(1, 10)); Text := Copy(s, 1, 2); end;\n"
    "  case L.Count of 1, 2: x := [1, 2.5, 'z']; 3: Swap(x, y) else Inc(x) end;\n"
    "  try L[0] := -x ^ 2 * (y + 1); except exit; end;\n"
    "  try s := L as TStrList; finally L := nil; end;\n"
    "  {$CLASS TThing}\n"
    "end.\n";

class PascalSilent : public PascalFixture {};

TEST_F(PascalSilent, EveryPrefixOfAScriptCompilesSilently) {
    const std::string text = FullScript;
    for (size_t length = 0; length <= text.size(); ++length) {
        Script().SetSourceText(text.substr(0, length));
        EXPECT_NO_THROW(Script().SilentCompile()) << length;
    }
}

TEST_F(PascalSilent, BrokenFragmentsCompileSilently) {
    const char* const fragments[] = {
        "begin x := ", "for i := 1 to", "case x of 1:", "try", "with L do", "procedure P(var",
        "L.Add(", "x := (1 + ", "{$FORM", "begin if a then else", "begin break; continue; exit end.",
        "with 1 do", "x := F(;", "begin L.End.End(1, 2)[3] := 4 end.", "function F: ; begin end;",
        "begin x := TStrList(y, z) end.", "begin Inc(1 + 2); P(1)(2) end.", "case of end",
    };
    for (const char* fragment : fragments) {
        Script().SetSourceText(fragment);
        EXPECT_NO_THROW(Script().SilentCompile()) << fragment;
    }
}

TEST_F(PascalSilent, FullScriptCompiles) {
    FScripter->SetOptionExplicit(false);
    const std::string error = CompileErrorOf(std::string(FullScript).substr(std::string(FullScript).find('\n') + 1));
    EXPECT_EQ(error, "");
}

} // namespace
} // namespace vorn::engine::pascaltest
