// The scripter component: what a new scripter holds, compile errors and their handler,
// silent compilation, the packed positions of a compiled script, the missing machine.

#include "tests/engine/compiler/CompilerFixture.h"

#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"

namespace vorn::engine::testlang {
namespace {

using ScripterTest = CompilerFixture;

TEST_F(ScripterTest, NewScripterHoldsItsFirstScriptConstantsCreateMethodsAndLibraries) {
    ASSERT_EQ(FScripter->Scripts().Count(), 1);
    EXPECT_EQ(FScripter->CurrentScript(), FScripter->Scripts().Items(0));
    EXPECT_NE(dynamic_cast<TTestScript*>(FScripter->CurrentScript()), nullptr);

    TatClass* internal = FScripter->InternalClass();
    ASSERT_NE(internal, nullptr);
    EXPECT_EQ(internal->Name(), "TatInternalObject");
    ASSERT_NE(internal->PropertyByName("True"), nullptr);
    ASSERT_NE(internal->PropertyByName("False"), nullptr);
    EXPECT_TRUE(ScriptValueAsBool(internal->PropertyByName("True")->FValue));
    EXPECT_FALSE(ScriptValueAsBool(internal->PropertyByName("false")->FValue));

    TatMethod* create = FScripter->ClassByName("TComponent")->MethodByName("Create");
    ASSERT_NE(create, nullptr);
    EXPECT_TRUE(create->IsClassMethod());
    EXPECT_EQ(create->ArgCount(), 1);
    EXPECT_EQ(create->ArgDefs().GetItem(0)->FName, "AOwner");
    TatMethod* baseCreate = FScripter->ClassByName("TScriptBaseObject")->MethodByName("Create");
    ASSERT_NE(baseCreate, nullptr);
    EXPECT_EQ(baseCreate->ArgCount(), 0);

    // TestLib loads with every scripter; ExtraLib only on request.
    ASSERT_EQ(FScripter->LibInstanceCount(), kStandardLibraryCount + 1);
    EXPECT_EQ(FScripter->LibInstance(kStandardLibraryCount)->LibraryClass(), LibraryClassOf<TTestLibrary>());
    EXPECT_EQ(FScripter->FindLibraryByClass(LibraryClassOf<TExtraLibrary>()), nullptr);
    EXPECT_NE(internal->MethodByName("TestLib"), nullptr);
    TatMethod* beep = nullptr;
    EXPECT_GE(FScripter->DefaultInstances().FindInstanceByMethodName("Beep", beep), 0);
    EXPECT_EQ(FScripter->GetProductVersion(), "7.31");
    EXPECT_TRUE(FScripter->OptionExplicit());
    EXPECT_TRUE(FScripter->ShortBooleanEval());
    EXPECT_EQ(FScripter->LibOptions().FSearchPath, (std::vector<std::string>{"$(CURDIR)", "$(APPDIR)"}));
}

TEST_F(ScripterTest, ChangingTheLanguageLeavesTheFirstScriptAlone) {
    FScripter->SetDefaultLanguage(slBasic);
    TatScript* added = FScripter->AddScript(slBasic);
    EXPECT_NE(dynamic_cast<TTestScript*>(FScripter->Scripts().Items(0)), nullptr);
    EXPECT_EQ(dynamic_cast<TTestScript*>(added), nullptr);  // no Basic language linked in
}

TEST_F(ScripterTest, CompilesToAnInstructionListWithItsSymbolTable) {
    CompileText("var total;\nproc Add(n)\nbegin\n  total := total + n;\nend\nbegin\n  call Add(2);\nend");
    EXPECT_TRUE(FScripter->Compiled());
    EXPECT_EQ(Opcodes(Script()),
              "inJump inPrepare inPushGlobalVar inPushVar inOperAdd inStoreGlobalVar inRet "
              "inPrepare inPushInteger inCall inRet");
    EXPECT_EQ(Script().ScriptInfo().CodeSize(), 11);
    EXPECT_EQ(Script().ScriptInfo().Routines().GetNames(), (std::vector<std::string>{"Add", "___MAIN___"}));
    EXPECT_EQ(Script().ScriptInfo().MainRoutineName(), "___MAIN___");
    auto code = Code(Script());
    EXPECT_EQ(code[0]->vInteger, 7);  // the jump to the main block
    EXPECT_EQ(code[9]->vInteger, 1);  // the call of Add reaches its inPrepare
}

TEST_F(ScripterTest, SyntaxErrorIsReportedAtTheFurthestPosition) {
    EXPECT_EQ(CompileErrorOf("begin\n  x := ;\nend"), "Syntax error.\r\nSource position: 2,8");
    EXPECT_EQ(CompileErrorOf("var a;\nbegin\n  a := 1 +;\nend"), "Syntax error.\r\nSource position: 3,11");
    EXPECT_FALSE(Script().Compiled());
}

TEST_F(ScripterTest, SilentCompileGoesOnPastErrors) {
    Script().SetSourceText("begin\n  y := 1;\n  call Missing;\nend");
    EXPECT_NO_THROW(Script().SilentCompile());
    EXPECT_FALSE(Script().Compiled());
    EXPECT_TRUE(Script().SilentCompiled());
    // The undeclared variable was declared as a local of the main block.
    EXPECT_NE(Script().ScriptInfo().MainRoutine()->VariableByName("y"), nullptr);
    EXPECT_EQ(Opcodes(Script()), "inPrepare inStoreVarInteger inCall inRet");

    Script().SetSourceText("begin\n  y := ;\nend");
    EXPECT_NO_THROW(Script().SilentCompile());
    EXPECT_TRUE(Script().SilentCompiled());
}

TEST_F(ScripterTest, CompileErrorHandlerSeesTheErrorAndCanAbortSilently) {
    std::string seen;
    int seenRow = 0, seenCol = 0;
    FScripter->FOnCompileError = [&](TatCustomScripter*, std::string& msg, int row, int col, bool& show) {
        seen = msg;
        seenRow = row;
        seenCol = col;
        show = false;
    };
    Script().SetSourceText("begin\n  y := 1;\nend");
    EXPECT_THROW(Script().Compile(), platform::EAbort);
    EXPECT_EQ(seen, "Undeclared variable 'y'");
    EXPECT_EQ(seenRow, 2);
    EXPECT_EQ(seenCol, 3);

    FScripter->FOnCompileError = [](TatCustomScripter*, std::string& msg, int, int, bool&) { msg = "Changed"; };
    EXPECT_EQ(CompileErrorOf("begin\n  y := 1;\nend"), "Changed.\r\nSource position: 2,3");
}

TEST_F(ScripterTest, CompilePacksSourcePositions) {
    CompileText("var a;\nbegin\n  a := 1;\n  a := a + 22;\nend");
    EXPECT_TRUE(Script().ExpandedDebugInfo());
    std::vector<std::pair<int, int>> positions;
    for (TSimplifiedCode* i : Code(Script())) {
        int row = 0, col = 0;
        Script().GetRowColFromInst(i, row, col);
        positions.emplace_back(row, col);
    }
    // inPrepare, inPushInteger, inStoreGlobalVar, inPushGlobalVar, inPushInteger, inOperAdd,
    // inStoreGlobalVar, inRet: before-handlers emit at a node's first character,
    // after-handlers at its last (the syntax error at the character the parse stopped on).
    EXPECT_EQ(positions, (std::vector<std::pair<int, int>>{
                             {2, 1}, {3, 8}, {3, 8}, {4, 8}, {4, 13}, {4, 13}, {4, 13}, {5, 3}}));
    int before = Code(Script())[1]->vDebugInfo;
    Script().ExpandDebugInfo(false);
    EXPECT_EQ(Code(Script())[1]->vDebugInfo, before);
    EXPECT_EQ(Script().ErrorComplement(before), ".\r\nSource position: 3,8");
}

TEST_F(ScripterTest, SourceChangeDiscardsTheCompiledState) {
    CompileText("begin\nend");
    ASSERT_TRUE(FScripter->Compiled());
    FScripter->SetSourceCode({"begin", "end"});
    EXPECT_FALSE(FScripter->Compiled());
    EXPECT_EQ(FScripter->FirstInstruction(), nullptr);
    FScripter->SetCompiled(true);
    EXPECT_TRUE(FScripter->Compiled());
    FScripter->SetCompiled(false);
    EXPECT_EQ(FScripter->FirstInstruction(), nullptr);
}

TEST_F(ScripterTest, FixedDefinitionAndMachineErrors) {
    try {
        FScripter->AddFunction("F", TMachineProc{});
        FAIL();
    } catch (const EatDefinitionError& e) {
        EXPECT_STREQ(e.what(), "Definition ERROR\r\nUse SetProc instead");
    }
    const char* noMachine = "INTERNAL ERROR\r\nVirtual Machine class not specified. Please add unit \"ScripterInit\" "
                            "to the uses clause of your application";
    // A scripter made while no machine class is set has scripts without machines.
    ScripterGlobals().DefaultMachineClass = nullptr;
    TatScripter bare;
    try {
        bare.Execute(Variant());
        FAIL();
    } catch (const EatInternalError& e) {
        EXPECT_STREQ(e.what(), noMachine);
    }
    EXPECT_EQ(bare.ExecuteSubroutine("Main").VType(), varEmpty);
    EXPECT_THROW(bare.Compile(), EatInternalError);
    FScripter->SetCurrentScript(nullptr);
    try {
        FScripter->Compiled();
        FAIL();
    } catch (const EatInternalError& e) {
        EXPECT_STREQ(e.what(), "INTERNAL ERROR\r\nDefault script is not available");
    }
}

TEST_F(ScripterTest, RuntimeErrorOfALibraryScriptNamesItsFile) {
    Script().SetUnitName("Tools");
    try {
        Script().StackPop(stContext);
        FAIL();
    } catch (const EatScripterRuntime& e) {
        EXPECT_EQ(e.Message(), "RUNTIME ERROR\r\nFile library Tools: Empty stack when trying to pop element stContext"
                               "\r\nPosition: 0, 0");
        EXPECT_EQ(e.OriginalMessage(), "File library Tools: Empty stack when trying to pop element stContext");
        EXPECT_EQ(e.Script(), &Script());
    }
    FScripter->FOnRuntimeError = [](TatCustomScripter*, std::string&, int, int, bool& show) { show = false; };
    EXPECT_THROW(Script().StackPop(stTempVariables), platform::EAbort);
}

TEST_F(ScripterTest, EventHandlerNames) {
    struct Case {
        const char* instance;
        const char* property;
        const char* expected;
    };
    for (const Case& c : {Case{"Button1", "OnClick", "Button1Click"}, Case{"Edit", "onChange", "EditChange"},
                          Case{"Form", "Activate", "FormActivate"}, Case{"X", "O", "XO"}})
        EXPECT_EQ(TatCustomScripter::BuildEventHandlerName(c.instance, c.property), c.expected) << c.property;
}

TEST_F(ScripterTest, GlobalRegistrationGoesToTheInternalClass) {
    TatMethod* m = FScripter->DefineMethod("Hello", 2, tkVariant, nullptr, TMachineProc{});
    EXPECT_EQ(m->atClass(), FScripter->InternalClass());
    FScripter->AddConstant("Answer", Variant::FromInteger(42));
    EXPECT_TRUE(FScripter->PropertyExists("answer"));
    FScripter->RemoveProperty("Answer");
    EXPECT_FALSE(FScripter->PropertyExists("Answer"));
}

} // namespace
} // namespace vorn::engine::testlang

namespace vorn::engine::testlang {
namespace {

TEST(EngineStartupTest, StartsAndStopsTheProcessWideValues) {
    StopEngine();
    EXPECT_FALSE(EngineStarted());
    EXPECT_EQ(atLibraryList(), nullptr);
    StartEngine();
    EXPECT_TRUE(EngineStarted());
    ASSERT_NE(atLibraryList(), nullptr);
    EXPECT_EQ(atLibraryList()->Count(), kStandardLibraryCount);
    EXPECT_TRUE(ScriptValueIsNull(NullValue));
    EXPECT_TRUE(ScriptValueAsBool(CoreConst[0]));

    TatCustomScripter* created = nullptr;
    ScripterGlobals().OnGlobalScripterCreate = [&](TatCustomScripter* s) { created = s; };
    {
        TatScripter scripter;
        EXPECT_EQ(created, &scripter);
        EXPECT_EQ(scripter.LibInstanceCount(), kStandardLibraryCount);
        // No language linked in: the first script is a plain TatScript.
        EXPECT_EQ(scripter.Scripts().Count(), 1);
    }
    StartEngine();  // starting again resets the hooks
    EXPECT_FALSE(ScripterGlobals().OnGlobalScripterCreate);
    StopEngine();
    EXPECT_EQ(atLibraryList(), nullptr);
}

} // namespace
} // namespace vorn::engine::testlang
