// The symbol table: slots of arguments and locals, by-reference marks (also beyond 32
// arguments), lookups, value access outside a running routine, entry reconnection.

#include "tests/engine/compiler/CompilerFixture.h"

#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"

namespace vorn::engine::testlang {
namespace {

using ScriptInfoTest = CompilerFixture;

TEST_F(ScriptInfoTest, ArgumentsAndLocalsGetTheirSlots) {
    CompileText("var g1, g2;\nproc Foo(a; var b)\nvar x, y;\nbegin\nend\nbegin\nend");
    TatRoutineInfo* foo = Script().ScriptInfo().RoutineByName("foo");
    ASSERT_NE(foo, nullptr);
    struct Case {
        const char* name;
        int varIndex;
        int argIndex;
        TatArgumentModifier modifier;
    };
    for (const Case& c : {Case{"a", -2, 0, moNone}, Case{"b", -1, 1, moVar}, Case{"x", 0, -1, moNone},
                          Case{"y", 1, -1, moNone}}) {
        TatVariableInfo* v = foo->VariableByName(c.name);
        ASSERT_NE(v, nullptr) << c.name;
        EXPECT_EQ(v->VarIndex(), c.varIndex) << c.name;
        EXPECT_EQ(v->FArgIndex, c.argIndex) << c.name;
        EXPECT_EQ(v->FModifier, c.modifier) << c.name;
        EXPECT_EQ(v->routine(), foo) << c.name;
        EXPECT_EQ(v->Script(), &Script()) << c.name;
    }
    EXPECT_EQ(foo->FArgCount, 2);
    EXPECT_EQ(foo->FByRefArgMask, 2u);
    EXPECT_EQ(foo->LocalVarCount(), 2);
    EXPECT_TRUE(foo->IsByRefArg(1));
    EXPECT_FALSE(foo->IsByRefArg(0));
    EXPECT_EQ(foo->FDeclarationInstruction->OpCode, inPrepare);
    TatVariableInfo* g2 = Script().ScriptInfo().Globals().FindByName("G2");
    ASSERT_NE(g2, nullptr);
    EXPECT_EQ(g2->VarIndex(), 1);
    EXPECT_TRUE(g2->FGlobal);
    EXPECT_EQ(g2->routine(), Script().ScriptInfo().MainRoutine());
    EXPECT_EQ(Script().ScriptInfo().CodeSize(), 5);
}

// Bit 31 makes the 32-bit mask negative and argument 32 is past it: neither may be lost.
TEST_F(ScriptInfoTest, ByReferenceMarksBeyondThirtyTwoBits) {
    TatRoutineInfo* r = Script().ScriptInfo().DeclareRoutine("Wide", nullptr, false);
    for (int i = 0; i < 40; ++i) r->DeclareVariable("a" + std::to_string(i), 0, i, i == 31 || i == 39 ? moVar : moNone);
    EXPECT_EQ(r->FArgCount, 40);
    EXPECT_EQ(r->FByRefArgMask, 0x80000000u);
    EXPECT_TRUE(r->IsByRefArg(31));
    EXPECT_TRUE(r->IsByRefArg(39));
    EXPECT_FALSE(r->IsByRefArg(32));
    EXPECT_FALSE(r->IsByRefArg(-1));
    EXPECT_TRUE(r->HasByRefArgs());

    TatRoutineInfo* onlyHigh = Script().ScriptInfo().DeclareRoutine("High", nullptr, false);
    for (int i = 0; i < 34; ++i) onlyHigh->DeclareVariable("a" + std::to_string(i), 0, i, i == 33 ? moVar : moNone);
    EXPECT_EQ(onlyHigh->FByRefArgMask, 0u);
    EXPECT_TRUE(onlyHigh->HasByRefArgs());
}

TEST_F(ScriptInfoTest, LookupsIgnoreCaseAndTheLastDeclarationWins) {
    TatScriptInfo& info = Script().ScriptInfo();
    info.DeclareRoutine("Main", nullptr, true);
    EXPECT_EQ(info.RoutineByName("MAIN"), info.Routines().GetItem(0));
    EXPECT_EQ(info.RoutineByName("Other"), nullptr);
    EXPECT_EQ(info.Routines().IndexOf("main"), 0);
    TatVariableInfo* first = info.Globals().Add();
    first->FVarName = "Twin";
    TatVariableInfo* second = info.Globals().Add();
    second->FVarName = "TWIN";
    EXPECT_EQ(info.Globals().FindByName("twin"), second);
    EXPECT_EQ(info.Globals().IndexOf("nothing"), -1);
    info.SetMainRoutineName("main");
    EXPECT_EQ(info.MainRoutineName(), "Main");
    info.SetMainRoutineName("absent");
    EXPECT_EQ(info.MainRoutine(), nullptr);
    info.Clear();
    EXPECT_EQ(info.Routines().Count(), 0);
    EXPECT_EQ(info.Globals().Count(), 0);
}

TEST_F(ScriptInfoTest, ValuesOutsideARunningRoutine) {
    CompileText("var g;\nproc Foo\nvar x;\nbegin\nend\nbegin\nend");
    // A global lives from the global initialisation on (run by the first access).
    TatVariableInfo* g = Script().ScriptInfo().Globals().FindByName("g");
    EXPECT_EQ(g->Value().VType(), varNull);
    g->SetValue(Variant::FromInteger(1));
    EXPECT_EQ(VarContent(g->Value()), "Integer:1");
    TatVariableInfo* x = Script().ScriptInfo().RoutineByName("Foo")->VariableByName("x");
    try {
        x->Value();
        FAIL();
    } catch (const EatScriptInfoError& e) {
        EXPECT_STREQ(e.what(), "ScriptInfo ERROR\r\nVariable 'x' is only available while routine 'Foo' is running");
    }
    EXPECT_THROW(x->SetValue(Variant()), EatScriptInfoError);
}

TEST_F(ScriptInfoTest, EntriesReconnectToANewInstructionList) {
    CompileText("proc A\nbegin\nend\nproc B\nbegin\nend\nbegin\nend");
    TatScriptInfo& info = Script().ScriptInfo();
    info.RoutineByName("A")->FDeclarationInstruction = nullptr;
    info.Routines().Clear();
    info.UpdateRoutineInfoPointers(Script().FirstInstruction());
    EXPECT_EQ(info.Routines().GetNames(), (std::vector<std::string>{"A", "B", "___MAIN___"}));
    EXPECT_EQ(info.RoutineByName("B")->FDeclarationInstruction, Code(Script())[3]);
    EXPECT_EQ(info.CodeSize(), static_cast<int>(Code(Script()).size()));
}

TEST_F(ScriptInfoTest, DeclaredClassesResolveThroughTheRegistry) {
    TatRoutineInfo* r = Script().ScriptInfo().DeclareRoutine("F", nullptr, true);
    r->SetResultTypeDecl("TComponent");
    EXPECT_EQ(r->ResultClassName(), "TComponent");
    TatVariableInfo* v = r->DeclareVariable("c", 0, -1, moNone);
    v->SetDeclaredClassName("tscriptbaseobject");
    EXPECT_EQ(v->DeclaredClassName(), "TScriptBaseObject");
    v->SetDeclaredClassName("Unknown");
    EXPECT_EQ(v->DeclaredClassName(), "");
}

} // namespace
} // namespace vorn::engine::testlang
