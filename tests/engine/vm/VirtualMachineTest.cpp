#include <gtest/gtest.h>

#include "engine/compiler/ClassRegistry.h"
#include "engine/compiler/ScripterErrors.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/VirtualMachine.h"
#include "tests/engine/vm/VmTestCode.h"

namespace vorn::engine {
namespace {

class VirtualMachineTest : public ::testing::Test {
protected:
    void SetUp() override { StartEngineValues(); }
    void TearDown() override { StopEngineValues(); }

    // Assembles `text` as the machine's code.
    TatVirtualMachine& Load(const std::string& text, TatMachineHost* host = nullptr) {
        FMachine = std::make_unique<TatVirtualMachine>(host);
        test::Assemble(FCode, text);
        FMachine->SetCode(FCode.First());
        return *FMachine;
    }
    std::string Content(const std::string& text, std::string_view name = {}, const Variant& input = Variant::Null()) {
        return VarContent(Load(text).ExecuteSubroutine(name, input));
    }
    // The message of the runtime error a run of the loaded code raises.
    std::string ErrorOf(std::string_view name = {}) {
        try {
            FMachine->ExecuteSubroutine(name);
        } catch (const platform::Exception& e) {
            return e.what();
        }
        return "(no error)";
    }

    TSimplifiedCodeList FCode;
    std::unique_ptr<TatVirtualMachine> FMachine;
};

// ---- Operators through the machine ------------------------------------------------------

TEST_F(VirtualMachineTest, OperatorsGiveTheValueOperationsResults) {
    struct Case { const char* left; const char* right; const char* op; const char* expected; };
    const Case cases[] = {
        {"PushInteger v=7", "PushInteger v=2", "OperDiv", "Integer:3"},
        {"PushInteger v=-7", "PushInteger v=2", "OperMod", "Integer:-1"},
        {"PushInteger v=7", "PushInteger v=2", "OperSlash", "Double:3.5"},
        {"PushInteger v=2", "PushInteger v=10", "OperExp", "Double:1024"},
        {"PushInteger v=1", "PushInteger v=2", "OperConcat", "UnicodeString:12"},
        {"PushInteger v=1", "PushInteger v=2", "OperAdd", "3"},
        {"PushInteger v=5", "PushInteger v=2", "OperOr", "Integer:7"},
        {"PushConst b=0", "PushConst b=1", "OperOr", "Integer:-1"},
        {"PushConst b=0", "PushConst b=0", "OperAnd", "Integer:-1"},
        {"PushInteger v=6", "PushInteger v=3", "OperXor", "Integer:5"},
        {"PushInteger v=1", "PushInteger v=65", "OperShl", "Integer:2"},
        {"PushInteger v=3", "PushInteger v=4", "OperLess", "Boolean:True"},
        {"PushInteger v=3", "PushInteger v=3", "OperNE", "Boolean:False"},
        {"PushDouble d=2.5", "PushInteger v=2", "OperGE", "Boolean:True"},
        {"PushString s=abc", "PushString s=abd", "OperLE", "Boolean:True"},
        {"PushInteger v=6", "PushInteger v=7", "OperMul", "42"},
    };
    for (const Case& c : cases) {
        std::string code = std::string("Prepare 0\n") + c.left + "\n" + c.right + "\n" + c.op + "\nRet\n";
        FCode.Clear();
        EXPECT_EQ(Content(code), c.expected) << c.op << " " << c.left << " " << c.right;
    }
}

TEST_F(VirtualMachineTest, IntegerFastPathsMatchTheValueOperations) {
    // Operands read from variables take the inline integer paths.
    struct Case { int32_t l, r; const char* op; };
    const Case cases[] = {{2147483647, 1, "OperAdd"}, {-2147483647 - 1, 1, "OperSub"}, {65536, 65536, "OperMul"},
                          {-7, 2, "OperDiv"}, {-7, 2, "OperMod"}, {5, 5, "OperLE"}, {-2147483647 - 1, -1, "OperDiv"}};
    for (const Case& c : cases) {
        FCode.Clear();
        std::string code = "Prepare 2\nStoreVarInteger 0 v=" + std::to_string(c.l) + "\nStoreVarInteger 1 v=" +
                           std::to_string(c.r) + "\nPushVar 0\nPushVar 1\nOperAdd\nPushVar 0\nPushVar 1\nStoreVar 1\n"
                           "StoreVar 0\n";
        // Narrow both variables to 32-bit integers first through the variant cast.
        Variant l = Variant::FromInteger(c.l), r = Variant::FromInteger(c.r);
        std::string viaValues;
        try {
            Variant (*f)(const Variant&, const Variant&) = nullptr;
            std::string op = c.op;
            if (op == "OperAdd") f = ScriptValueAdd;
            if (op == "OperSub") f = ScriptValueSubtract;
            if (op == "OperMul") f = ScriptValueMultiply;
            if (op == "OperDiv") f = ScriptValueDiv;
            if (op == "OperMod") f = ScriptValueMod;
            viaValues = f ? VarContent(f(l, r)) : VarContent(Variant::FromBoolean(ScriptValueLessOrEqual(l, r)));
        } catch (const platform::Exception& e) {
            viaValues = e.what();
        }
        TatVirtualMachine& m = Load("GlobalPrepare 2\nPrepare 0\nPushGlobalVar 0\nPushGlobalVar 1\n" + std::string(c.op) +
                                    "\nRet\n");
        m.InitializeScript();
        m.StackSlot(0) = l;
        m.StackSlot(1) = r;
        std::string viaMachine;
        try {
            viaMachine = VarContent(m.Execute());
        } catch (const EatScripterRuntime& e) {
            viaMachine = e.OriginalMessage().substr(0, e.OriginalMessage().find(" when evaluating"));
        }
        EXPECT_EQ(viaMachine, viaValues) << c.op << " " << c.l << " " << c.r;
    }
}

// ---- Jumps and short-circuit tests -------------------------------------------------------

TEST_F(VirtualMachineTest, ForLoopSumsWithModAndAdd) {
    // s := 0; for i := 1 to 100 do if i mod 3 = 0 then s := s + i;
    EXPECT_EQ(Content(R"(Prepare 2
StoreVarInteger 0 v=0
StoreVarInteger 1 v=1
PushVar 1
PushInteger v=100
OperLE
JumpIfFalse 22
PushVar 1
PushInteger v=3
OperMod
PushInteger v=0
OperEqual
JumpIfFalse 17
PushVar 0
PushVar 1
OperAdd
StoreVar 0
PushVar 1
PushInteger v=1
OperAdd
StoreVar 1
Jump 3
PushVar 0
Ret
)"),
              "1683");
}

TEST_F(VirtualMachineTest, ShortCircuitDecidesOnlyOnBooleans) {
    struct Case { const char* left; const char* test; const char* op; const char* expected; };
    const Case cases[] = {
        {"PushInteger v=5", "TestIfTrue 5", "OperOr", "Integer:7"},     // 5 or 2: both sides count
        {"PushConst b=0", "TestIfTrue 5", "OperOr", "Boolean:True"},    // True or ...: decided left
        {"PushConst b=1", "TestIfFalse 5", "OperAnd", "Boolean:False"}, // False and ...: decided left
        {"PushInteger v=6", "TestIfFalse 5", "OperAnd", "Integer:2"},
    };
    for (const Case& c : cases) {
        FCode.Clear();
        std::string code = std::string("Prepare 0\n") + c.left + "\n" + c.test + "\nPushInteger v=2\n" + c.op + "\nRet\n";
        EXPECT_EQ(Content(code), c.expected) << c.left << " " << c.op;
    }
}

TEST_F(VirtualMachineTest, NullConditionIsAWrappedError) {
    Load("Prepare 0\nPushConst b=2 pos=4:7\nJumpIfFalse 3 pos=4:7\nRet\n");
    std::string error = ErrorOf();
    EXPECT_NE(error.find("when evaluating instruction JumpIfFalse"), std::string::npos) << error;
    EXPECT_NE(error.find("Source position: 4,7"), std::string::npos) << error;
}

TEST_F(VirtualMachineTest, StackRearrangementAndSideStack) {
    EXPECT_EQ(Content("Prepare 0\nPushInteger v=1\nPushInteger v=2\nDuplicate2\nOperSub\nSwap2\nDrop 1\n"
                      "SaveStackValue 2\nPushInteger v=9\nLoadStackValue 2\nArrayOf 3\nRet\n"),
              "(unknown)");
    EXPECT_EQ(VarContent(FMachine->Execute()), "(unknown)");
    Variant a = FMachine->Execute();
    ASSERT_TRUE(a.IsArray());
    EXPECT_EQ(VarContent(a.ArrayItems()[0]), "9");
    EXPECT_EQ(VarContent(a.ArrayItems()[1]), "1");
    EXPECT_EQ(VarContent(a.ArrayItems()[2]), "-1");
}

// ---- Runs, arguments and results -----------------------------------------------------------

// Global part, a routine add(a, b) and the main block.
const char* const AddProgram = R"(GlobalPrepare 1
PushInteger v=0
StoreGlobalVar 0
Jump 13
Prepare 1 s=add
StoreInput -2
StoreInput -1
PushVar -2
PushVar -1
OperAdd
StoreVar 0
PushVar 0
Ret
Prepare 0 s=main
PushGlobalVar 0
PushInteger v=1
OperAdd
StoreGlobalVar 0
PushGlobalVar 0
Ret
)";

TEST_F(VirtualMachineTest, InputShapesAndResults) {
    Load(AddProgram);
    Variant args = Variant::NewArray(0, 1);
    args.MutableArrayItems()[0] = Variant::FromInteger(40);
    args.MutableArrayItems()[1] = Variant::FromInteger(2);
    EXPECT_EQ(VarContent(FMachine->ExecuteSubroutine("ADD", args)), "Integer:42");
    // The global part ran once: the main block counts its runs in the global.
    EXPECT_EQ(VarContent(FMachine->ExecuteSubroutine("")), "1");
    EXPECT_EQ(VarContent(FMachine->ExecuteSubroutine("")), "2");
    EXPECT_EQ(ErrorOf("nothere"), "RUNTIME ERROR\r\nSubroutine 'nothere' does not exist in script\r\nPosition: 0, 0");
    EXPECT_FALSE(FMachine->Running());
}

TEST_F(VirtualMachineTest, CallsPassArgumentsAndWriteBackByReference) {
    // procedure inc(var x); begin x := x + 1 end;  main: v := 5; inc(v); inc(v); result v * 10
    EXPECT_EQ(Content(R"(Jump 7
Prepare 0 s=inc
PushVar -1
PushInteger v=1
OperAdd
StoreVarRef -1
Ret
Prepare 1 s=main
StoreVarInteger 0 v=5
PushVarByRef 0
Call 1 b=1
PushVarByRef 0
Call 1 b=1
PushVar 0
PushInteger v=10
OperMul
Ret
)"),
              "70");
    EXPECT_EQ(FMachine->StackTop(), 0);
}

TEST_F(VirtualMachineTest, HostArrayArgumentReceivesTheRoutinesWrite) {
    Load("Prepare 0 s=setit\nStoreVarRefInteger -1 v=99\nRet\n");
    std::vector<Variant> args{Variant::FromInteger(1)};
    FMachine->IntExecuteSubroutine("setit", args, {true});
    EXPECT_EQ(VarContent(args[0]), "99");
}

TEST_F(VirtualMachineTest, RecursiveFibonacci) {
    // fib(n) = n < 2 ? n : fib(n - 1) + fib(n - 2); position 18 is main, 16 the join.
    std::string program = R"(Jump 23
Prepare 1 s=fib
PushVar -1
PushInteger v=2
OperLess
JumpIfFalse 9
PushVar -1
StoreVar 0
Jump 21
PushVar -1
PushInteger v=1
OperSub
Call 1 b=1
PushOutput 0
PushVar -1
PushInteger v=2
OperSub
Call 1 b=1
PushOutput 0
OperAdd
StoreVar 0
PushVar 0
Ret
Prepare 0 s=main
PushInteger v=20
Call 1 b=1
PushOutput 0
Ret
)";
    EXPECT_EQ(Content(program), "6765");
    EXPECT_EQ(VarContent(FMachine->ExecuteSubroutine("fib", Variant::FromInteger(10))), "55");
}

// ---- Limits -----------------------------------------------------------------------------------

TEST_F(VirtualMachineTest, UnboundedRecursionEndsInARuntimeErrorAndTheNextRunWorks) {
    struct Case { const char* locals; const char* expected; };
    const Case cases[] = {{"0", "Stack overflow: too many nested routine calls"}, {"5", "Stack overflow"}};
    for (const Case& c : cases) {
        FCode.Clear();
        Load(std::string("Prepare ") + c.locals + " s=p\nCall 0\nRet\nPrepare 0 s=ok\nPushInteger v=1\nRet\n");
        std::string error = ErrorOf("p");
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        EXPECT_EQ(VarContent(FMachine->ExecuteSubroutine("ok")), "1");
        EXPECT_EQ(FMachine->DebugStackLevel(), 0);
    }
}

TEST_F(VirtualMachineTest, SideStackIsBounded) {
    Load("Prepare 0\nPushInteger v=1\nDuplicate\nDuplicate\nSaveStackValue 1\nJump 2\n");
    EXPECT_NE(ErrorOf().find("Temporary stack overflow"), std::string::npos);
    FCode.Clear();
    Load("Prepare 0\nLoadStackValue 1\nRet\n");
    EXPECT_NE(ErrorOf().find("Temporary stack underflow"), std::string::npos);
}

TEST_F(VirtualMachineTest, BrokenCodeIsRefusedAtLinkTime) {
    const char* cases[] = {"Prepare 0\nJump 7\nRet\n", "Prepare 0\nCall 2\nRet\n", "Prepare 0\nTryFinally 1 i2=0\nRet\n",
                           "Prepare 0\nJumpIfTrue -1\nRet\n"};
    for (const char* c : cases) {
        FCode.Clear();
        Load(c);
        EXPECT_THROW(FMachine->SolveAbsoluteAddressing(), EatInternalError) << c;
    }
}

// ---- Runtime errors -----------------------------------------------------------------------------

TEST_F(VirtualMachineTest, FaultThreeCallsDeepIsWrappedOnce) {
    Load(R"(Jump 9
Prepare 0 s=c
PushInteger v=7 pos=3:5
PushInteger v=0 pos=3:5
OperDiv pos=3:5
Ret
Prepare 0 s=b
Call 1
Ret
Prepare 0 s=a
Call 6
Ret
)");
    std::string error = ErrorOf("a");
    EXPECT_EQ(error,
              "RUNTIME ERROR\r\nDivision by zero when evaluating instruction OperDiv ($0,$0,$0,$0,'').\r\n"
              "Stack content is: [0,7].\r\nSource position: 3,5\r\nPosition: 3, 5");
    EXPECT_EQ(FMachine->LastExceptionMessage(), "Division by zero");
    EXPECT_EQ(FMachine->LastExceptionLine(), 3);
}

TEST_F(VirtualMachineTest, StackContentShowsFourSlotsTopFirst) {
    Load("Prepare 0\nPushString s=x\nPushConst b=2\nPushConst b=3\nPushInteger v=1\nPushInteger v=0\nOperDiv\nRet\n");
    std::string error = ErrorOf();
    EXPECT_NE(error.find("Stack content is: [0,1,Empty,Null...]"), std::string::npos) << error;
}

// ---- Try statements ----------------------------------------------------------------------------------

TEST_F(VirtualMachineTest, TryExceptCatchesAndRestoresTheStack) {
    // try x := 1 div 0 except r := LastExceptionMessage-like marker end
    Load(R"(Prepare 1
PushInteger v=100
TryExcept 7 i2=9
PushInteger v=1
PushInteger v=0
OperDiv
StoreVar 0
StoreVarInteger 0 v=-1
Jump 9
PushVar 0
OperAdd
Ret
)");
    EXPECT_EQ(VarContent(FMachine->Execute()), "99");
    EXPECT_EQ(FMachine->LastExceptionMessage(), "Division by zero");
    EXPECT_EQ(FMachine->LastExceptionClassName(), "EDivByZero");
    EXPECT_EQ(FMachine->InTryExcept(), 0);
}

TEST_F(VirtualMachineTest, TryFinallyRunsTheFinallyPartAndPassesTheFailureOn) {
    // global g; try try 1 div 0 finally g := 5 end except g := g * 10 end
    Load(R"(GlobalPrepare 1
Prepare 0
TryExcept 11 i2=14
TryFinally 7 i2=10
PushInteger v=1
PushInteger v=0
OperDiv
PushInteger v=5
StoreGlobalVar 0
Jump 14
Drop 0
PushGlobalVar 0
PushInteger v=10
OperMul
StoreGlobalVar 0
PushGlobalVar 0
Ret
)");
    // Position 10 ends the finally part; 11 starts the except part.
    FCode.Clear();
    Load(R"(GlobalPrepare 1
Prepare 0
TryExcept 10 i2=14
TryFinally 7 i2=9
PushInteger v=1
PushInteger v=0
OperDiv
PushInteger v=5
StoreGlobalVar 0
Jump 14
PushGlobalVar 0
PushInteger v=10
OperMul
StoreGlobalVar 0
PushGlobalVar 0
Ret
)");
    EXPECT_EQ(VarContent(FMachine->Execute()), "50");
}

TEST_F(VirtualMachineTest, JumpsOutOfProtectedPartsRunTheFinallyPartOnce) {
    // i := 0; n := 0; while true do begin i := i + 1; try if i > 100000 then break; continue
    // finally n := n + 1 end end; result n
    Load(R"(Prepare 2
StoreVarInteger 0 v=0
StoreVarInteger 1 v=0
PushVar 0
PushInteger v=1
OperAdd
StoreVar 0
TryFinally 14 i2=18
PushVar 0
PushInteger v=100000
OperGreater
JumpIfFalse 13
Jump 18
Jump 3
PushVar 1
PushInteger v=1
OperAdd
StoreVar 1
PushVar 1
Ret
)");
    EXPECT_EQ(VarContent(FMachine->Execute()), "100001");
    EXPECT_EQ(FMachine->StopInstruction(), nullptr);
}

TEST_F(VirtualMachineTest, ReturnInsideTryFinallyRunsTheFinallyPart) {
    Load(R"(GlobalPrepare 1
Jump 9
Prepare 0 s=p
TryFinally 5 i2=8
Ret
PushInteger v=7
StoreGlobalVar 0
Ret
Ret
Prepare 0 s=main
Call 2
PushGlobalVar 0
Ret
)");
    EXPECT_EQ(VarContent(FMachine->Execute()), "7");
}

// A host whose runtime-error handler silences every error, as a host may choose.
class TSilencingHost : public TatMachineHost {
public:
    [[noreturn]] void RuntimeError(TatVirtualMachine*, const std::string&, int, int) override { throw platform::EAbort(); }
};

TEST_F(VirtualMachineTest, ScriptHandlerSeesTheRealErrorWhereTheHostSilencesErrors) {
    TSilencingHost host;
    Load(R"(Prepare 1
TryExcept 5 i2=6
PushInteger v=1
InitArray
PushIdxVar 0 b=1
PushInteger v=3
Ret
)", &host);
    EXPECT_EQ(VarContent(FMachine->Execute()), "3");
    EXPECT_EQ(FMachine->LastExceptionMessage(), "Variable is not an array");
}

// ---- Host calls ----------------------------------------------------------------------------------------

// A host with a registry of one class, TMath, whose methods read and write through the
// host-argument interface; Nested runs the script routine "inner" from inside a host call.
class TRegistryHost : public TatMachineHost {
public:
    TRegistryHost() {
        TatClass* c = FClasses.Add("TMath");
        AddMethod(c, "Twice", 1, TMachineProc::Of<&TRegistryHost::Twice>(this));
        AddMethod(c, "Bump", 1, TMachineProc::Of<&TRegistryHost::Bump>(this));
        AddMethod(c, "Nested", 0, TMachineProc::Of<&TRegistryHost::Nested>(this));
        AddMethod(c, "Stop", 0, TMachineProc::Of<&TRegistryHost::Stop>(this));
        AddMethod(c, "NestedPlus", 1, TMachineProc::Of<&TRegistryHost::NestedPlus>(this));
    }
    TatClasses* Classes() override { return &FClasses; }

private:
    static void AddMethod(TatClass* c, const char* name, int args, TMachineProc proc) {
        TatProcDef def;
        def.FName = name;
        def.FArgCount = args;
        def.FProc = proc;
        c->AddProc(def);
    }
    void Twice(TatVirtualMachine* m) { m->ReturnOutputArg(Variant::FromInteger(2 * m->GetInputArgAsInteger(0))); }
    void Bump(TatVirtualMachine* m) { m->SetInputArg(0, Variant::FromInteger(m->GetInputArgAsInteger(0) + 1)); }
    void Nested(TatVirtualMachine* m) {
        Variant r = m->ExecuteSubroutine("inner");
        m->ReturnOutputArg(r);
    }
    void Stop(TatVirtualMachine* m) { m->Halt(); }
    // Runs "inner" (which makes host calls of its own), then still reads its own argument.
    void NestedPlus(TatVirtualMachine* m) {
        Variant r = m->ExecuteSubroutine("inner");
        m->ReturnOutputArg(Variant::FromInteger(VarToInteger(r) + m->GetInputArgAsInteger(0)));
    }
    TatClasses FClasses;
};

TEST_F(VirtualMachineTest, HostProcsReadArgumentsAndReturnResults) {
    TRegistryHost host;
    // v := 20; Bump(v); result Twice(v) + Nested (inner gives 100)
    Load(R"(Jump 4
Prepare 0 s=inner
PushInteger v=100
Ret
Prepare 1 s=main
StoreVarInteger 0 v=20
PushVarByRef 0
CallClassProc 0 b=1 ref=7 s=Bump ss=TMath
PushVar 0
CallClassProc 0 b=1 ref=3 s=Twice ss=TMath
PushOutput 0
CallClassProc 0 b=0 ref=11 s=Nested ss=TMath
PushOutput 0
OperAdd
Ret
)", &host);
    EXPECT_EQ(VarContent(FMachine->Execute()), "142");
    EXPECT_EQ(FMachine->StackTop(), 0);
}

TEST_F(VirtualMachineTest, NestedRunKeepsTheArgumentsOfTheHostCallAroundIt) {
    TRegistryHost host;
    // NestedPlus(5) runs inner, whose Twice(7) moves the argument registers; 14 + 5.
    Load(R"(Jump 6
Prepare 0 s=inner
PushInteger v=7
CallClassProc 0 b=1 ref=3 s=Twice ss=TMath
PushOutput 0
Ret
Prepare 0 s=main
PushInteger v=5
CallClassProc 0 b=1 ref=19 s=NestedPlus ss=TMath
PushOutput 0
Ret
)", &host);
    EXPECT_EQ(VarContent(FMachine->Execute()), "Integer:19");
}

TEST_F(VirtualMachineTest, WriteBackToAByValueArgumentIsARuntimeError) {
    TRegistryHost host;
    Load("Prepare 0\nPushInteger v=1\nCallClassProc 0 b=1 ref=7 s=Bump ss=TMath\nRet\n", &host);
    EXPECT_NE(ErrorOf().find("Method expects argument 0 as variable reference"), std::string::npos);
}

TEST_F(VirtualMachineTest, HaltEndsEveryLevelAndTheNextRunIsAccepted) {
    TRegistryHost host;
    // A routine called inside a try-finally halts; nothing after it runs.
    Load(R"(GlobalPrepare 1
Jump 6
Prepare 0 s=p
CallClassProc 0 b=0 ref=15 s=Stop ss=TMath
StoreVarInteger 0 v=1
Ret
Prepare 0 s=main
PushInteger v=0
StoreGlobalVar 0
TryFinally 11 i2=13
Call 2
PushInteger v=5
StoreGlobalVar 0
PushGlobalVar 0
Ret
)", &host);
    EXPECT_EQ(VarContent(FMachine->Execute()), "Null");
    EXPECT_EQ(VarContent(FMachine->StackSlot(0)), "0");
    EXPECT_FALSE(FMachine->Running());
    EXPECT_EQ(FMachine->StopInstruction(), nullptr);
    EXPECT_EQ(VarContent(FMachine->ExecuteSubroutine("")), "Null");
}

}  // namespace
}  // namespace vorn::engine
