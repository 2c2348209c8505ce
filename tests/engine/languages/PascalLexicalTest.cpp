// Lexical rules of the Pascal language: reserved words, directives in remarks, string
// and number literals, and the watch script.

#include "tests/engine/languages/PascalFixture.h"

namespace vorn::engine::pascaltest {
namespace {

class PascalLexical : public PascalFixture {};

TEST_F(PascalLexical, ReservedWordsAreIdentifiersOnlyAfterADot) {
    EXPECT_EQ(CompileErrorOf(""), "");
    EXPECT_EQ(CompileErrorOf("begin end."), "");
    EXPECT_EQ(CompileErrorOf("var Else: Integer;\nbegin Else := 1; end."), "");
    EXPECT_EQ(CompileErrorOf("var end: Integer;\nbegin end."), "Syntax error.\r\nSource position: 1,8");
    // End after a dot is a member name: the parse succeeds and the lookup reports it.
    EXPECT_EQ(CompileErrorOf("var L: TStrList;\nbegin L.End := 1; end."),
              "Unknown member identifier: 'End'.\r\nSource position: 2,12");
}

TEST_F(PascalLexical, DirectivesMakeTheScriptAFormOrAClass) {
    struct TCase {
        const char* Source;
        const char* ClassName;
        TatScriptBehavior Behavior;
    } cases[] = {
        {"{$FORM TMyForm, MyForm.frm}\nbegin end.", "TMyForm", sbForm},
        {"{$form TMyForm,MyForm.frm}\nbegin end.", "TMyForm", sbForm},
        {"(*$FORM TMyForm, MyForm.frm*)\nbegin end.", "", sbNormal},
        {"{$CLASS TMyObject}\nbegin end.", "TMyObject", sbClass},
        // A directive left open at the end of the text keeps its whole name.
        {"begin end.\n{$CLASS TMyObject", "TMyObject", sbClass},
        {"begin s := '{$FORM X, Y}'; end.", "", sbNormal},
    };
    FScripter->SetOptionExplicit(false);
    for (const TCase& c : cases) {
        EXPECT_EQ(CompileErrorOf(c.Source), "") << c.Source;
        EXPECT_EQ(Script().ScriptInfo().FScriptClassName, c.ClassName) << c.Source;
        EXPECT_EQ(Script().ScriptInfo().FBehavior, c.Behavior) << c.Source;
    }
}

TEST_F(PascalLexical, StringLiterals) {
    auto& script = static_cast<TreZuderaScript&>(Script());
    const struct {
        const char* Text;
        std::u16string Expected;
        bool Valid;
    } cases[] = {
        {"'it''s'", u"it's", true},
        {"'x'#13#10'y'", u"x\r\ny", true},
        {"'a'#65'b'", u"aAb", true},
        {"#$41", u"A", true},
        {"''", u"", true},
        {"#$1F600", u"\U0001F600", true},  // beyond 16 bits: a surrogate pair
        {"#128512", u"\U0001F600", true},
        {"#$110000", u"", false},           // no such character
        {"#99999999999999999999", u"", false},
    };
    for (const auto& c : cases) {
        bool valid = true;
        const std::string value = script.ExtractQuotedString(c.Text, valid);
        EXPECT_EQ(valid, c.Valid) << c.Text;
        if (c.Valid) {
            EXPECT_EQ(platform::Utf8ToUtf16(value), c.Expected) << c.Text;
        }
    }
}

TEST_F(PascalLexical, HexLiteralsAreThirtyTwoBits) {
    const struct {
        const char* Text;
        int32_t Value;
        bool Valid;
    } cases[] = {
        {"$FF", 255, true},         {"$ff", 255, true},       {"$FFFFFFFF", -1, true},
        {"$7FFFFFFF", 0x7FFFFFFF, true}, {"$000000001", 1, true}, {"$100000000", 0, false},
        {"$", 0, true},
    };
    for (const auto& c : cases) {
        int32_t value = 7;
        EXPECT_EQ(TreZuderaScript::HexToInt(c.Text, value), c.Valid) << c.Text;
        if (c.Valid) {
            EXPECT_EQ(value, c.Value) << c.Text;
        }
    }
}

TEST_F(PascalLexical, SameConstantFromHexAndDecimalAndRealWithExponent) {
    FScripter->SetOptionExplicit(false);
    ASSERT_EQ(CompileErrorOf("procedure P; begin x := $FF; y := 255; z := 1.5e3; end;\nbegin end."), "");
    const TSimplifiedCode* x = Script().FirstInstruction()->Next->Next;
    const TSimplifiedCode* y = x->Next;
    EXPECT_EQ(x->OpCode, inStoreVarInteger);
    EXPECT_EQ(x->valueInt64, 255);
    EXPECT_EQ(y->valueInt64, 255);
    EXPECT_EQ(y->Next->OpCode, inStoreVarDouble);
    EXPECT_EQ(y->Next->vDouble, 1500.0);
}

TEST_F(PascalLexical, WatchScriptAssignsToALocalOfTheMainBlock) {
    const std::string text = Script().EncodeSingleAssign("w", "1 + 2");
    EXPECT_EQ(text, "procedure ____Dummy; begin end;\r\nvar w;\r\nbegin\r\n  w := 1 + 2;\r\nend;");
    ASSERT_EQ(CompileErrorOf(text), "");
    const TatRoutineInfo* main = Script().ScriptInfo().MainRoutine();
    ASSERT_NE(main, nullptr);
    EXPECT_NE(main->VariableByName("w"), nullptr);
    EXPECT_EQ(Script().ScriptInfo().Globals().Count(), 0);
}

TEST_F(PascalLexical, UnknownUnitInUsesIsACompileError) {
    const std::string error = CompileErrorOf("uses NoSuchUnit;\nbegin end.");
    EXPECT_NE(error.find("NoSuchUnit"), std::string::npos) << error;
}

} // namespace
} // namespace vorn::engine::pascaltest
