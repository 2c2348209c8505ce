// The scripter's run operations on real scripts: results and arguments, var parameters
// written back into the host's arguments, the "[n]" script prefix, the before-execute
// and running-changed events, halting, globals kept between runs, recompilation, and
// operations refused while a script runs.

#include "tests/engine/e2e/PascalRunFixture.h"

#include "engine/vm/EngineErrors.h"

namespace vorn::engine::e2e {
namespace {

std::string Text(const Variant& v) { return VarToStrUtf8(v); }

class ScripterRunTest : public PascalRunFixture {
public:
    void Stop(TatVirtualMachine*) { FScripter->Halt(); }
    // Tries what a running script's host must not do, noting each refusal.
    void Meddle(TatVirtualMachine*) {
        auto note = [&](auto operation) {
            try {
                operation();
            } catch (const EatScripterFatal& e) {
                FRefusals.push_back(e.what());
            }
        };
        note([&] { Script().Compile(); });
        note([&] { Script().Clear(); });
        note([&] { Script().SetSourceText("begin end."); });
    }

protected:
    std::vector<std::string> FRefusals;
};

const char* const RoutinesText =
    "var Counter: integer;\n"
    "function Add(a, b: integer): integer;\nbegin\n  Result := a + b;\nend;\n"
    "procedure Swap(var a, b: integer);\nvar t: integer;\nbegin\n  t := a; a := b; b := t;\nend;\n"
    "procedure Twice(x: integer; var y: integer);\nbegin\n  y := x * 2;\n  x := 0;\nend;\n"
    "function Count: integer;\nbegin\n  Counter := Counter + 1;\n  Result := Counter;\nend;\n"
    "function Main: string;\nbegin\n  Result := 'main';\nend;\n"
    "begin\n  Counter := 100;\nend.";

TEST_F(ScripterRunTest, RoutinesReturnTheirResults) {
    CompileText(RoutinesText);
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("Main")), "main");
    Variant args = Variant::NewArray(0, 1);
    args.MutableArrayItems()[0] = Variant::FromInteger(40);
    args.MutableArrayItems()[1] = Variant::FromInteger(2);
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("add", args)), "42");
    EXPECT_EQ(FScripter->Execute().VType(), varNull);
}

TEST_F(ScripterRunTest, VarParametersWriteIntoTheHostArguments) {
    CompileText(RoutinesText);
    std::vector<Variant> args{Variant::FromInteger(1), Variant::FromInteger(2)};
    FScripter->ExecuteSubroutine("Swap", args);
    EXPECT_EQ(Text(args[0]), "2");
    EXPECT_EQ(Text(args[1]), "1");
    std::vector<Variant> mixed{Variant::FromInteger(21), Variant()};
    FScripter->ExecuteSubroutine("Twice", mixed);
    EXPECT_EQ(Text(mixed[0]), "21");  // by value: the routine's write stays inside
    EXPECT_EQ(Text(mixed[1]), "42");
}

TEST_F(ScripterRunTest, GlobalsKeepTheirValuesBetweenRunsUntilRecompiled) {
    CompileText(RoutinesText);
    FScripter->Execute();  // the main block sets Counter
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("Count")), "101");
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("Count")), "102");
    CompileText(RoutinesText);
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("Count")), "");  // Null + 1: a fresh global
    CompileText("function Count: integer;\nbegin\n  Result := 7;\nend;\nbegin\nend.");
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("Count")), "7");
}

TEST_F(ScripterRunTest, ARunCompilesAScriptThatIsNotCompiled) {
    Script().SetSourceText("function F: integer;\nbegin\n  Result := 3;\nend;\nbegin\nend.");
    EXPECT_FALSE(Script().Compiled());
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("F")), "3");
    EXPECT_TRUE(Script().Compiled());
}

TEST_F(ScripterRunTest, UnknownRoutineIsARuntimeError) {
    CompileText(RoutinesText);
    try {
        FScripter->ExecuteSubroutine("Nope");
        FAIL();
    } catch (const EatScripterRuntime& e) {
        EXPECT_EQ(e.OriginalMessage(), "Subroutine 'Nope' does not exist in script");
    }
    EXPECT_FALSE(FScripter->Running());
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("Main")), "main");
}

TEST_F(ScripterRunTest, BracketPrefixRunsTheNumberedScript) {
    CompileText(RoutinesText);
    TatScript* second = FScripter->Scripts().Add();
    second->SetSourceText("function Main: integer;\nbegin\n  Result := 2;\nend;\nbegin\nend.");
    second->Compile();
    const std::string id = std::to_string(second->ID());
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("[" + id + "]Main")), "2");
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("Main")), "main");
    EXPECT_EQ(FScripter->ExecuteSubroutine("[99]Main").VType(), varEmpty);
    EXPECT_EQ(FScripter->CurrentScript(), &Script());
}

TEST_F(ScripterRunTest, EventsAnnounceRunsAndTheirEnd) {
    CompileText(RoutinesText);
    std::vector<std::string> events;
    FScripter->FOnBeforeExecute = [&](TatVirtualMachine*, const std::string& label) {
        events.push_back("before " + label);
    };
    FScripter->FOnRunningChanged = [&](TatVirtualMachine* machine) {
        events.push_back(machine->Running() ? "running" : "stopped");
    };
    FScripter->ExecuteSubroutine("Main");
    FScripter->Execute();
    const std::vector<std::string> expected{"before Main", "running", "stopped", "before ", "running", "stopped"};
    EXPECT_EQ(events, expected);
}

TEST_F(ScripterRunTest, HaltEndsTheRunAndTheNextRunSucceeds) {
    FScripter->DefineMethod("Stop", 0, tkNone, nullptr,
                            TMachineProc::Of<&ScripterRunTest::Stop>(this));
    CompileText("function Loop: integer;\nvar i: integer;\nbegin\n  Result := 1;\n  i := 0;\n  while true do\n  begin\n"
                "    i := i + 1;\n    if i = 50 then Stop;\n  end;\nend;\n"
                "function Main: integer;\nbegin\n  Result := Loop + 1;\nend;\n"
                "function Two: integer;\nbegin\n  Result := 2;\nend;\nbegin\nend.");
    FScripter->ExecuteSubroutine("Main");
    EXPECT_FALSE(FScripter->Running());
    EXPECT_FALSE(FScripter->Halted());
    EXPECT_EQ(Text(FScripter->ExecuteSubroutine("Two")), "2");
}

TEST_F(ScripterRunTest, CompilingOrClearingWhileRunningIsRefused) {
    FScripter->DefineMethod("Meddle", 0, tkNone, nullptr,
                            TMachineProc::Of<&ScripterRunTest::Meddle>(this));
    CompileText("procedure Main;\nbegin\n  Meddle;\nend;\nbegin\nend.");
    FScripter->ExecuteSubroutine("Main");
    const std::vector<std::string> expected{"Cannot compile script while script is running.",
                                            "Cannot clear script while script is running.",
                                            "Cannot change script source code while script is running."};
    EXPECT_EQ(FRefusals, expected);
    EXPECT_TRUE(Script().Compiled());
}

// The loop sequences the machine runs as one step must give the plain instructions
// results whatever the operands hold: references, doubles, values past 32 bits.
TEST_F(ScripterRunTest, LoopSequencesKeepTheirMeaningForEveryOperandKind) {
    CompileText("procedure ByRef(var i, s: integer);\nbegin\n  for i := 1 to 4 do s := s + i mod 3;\nend;\n"
                "procedure F;\nvar i, s, t: integer; x;\nbegin\n  s := 0;\n  ByRef(i, s);\n  Print(s);\n"
                "  Print(i);\n  t := 0;\n  x := 2.5;\n  for i := 1 to x do t := t + i;\n"
                "  x := 0.5;\n  for i := 1 to 2 do x := x + i;\n"
                "  s := 2147483646;\n  for i := s to s + 2 do t := t + 1;\n"
                "  Print(t);\n  Print(x);\n  Print(i);\nend;\nbegin\nend.");
    FScripter->ExecuteSubroutine("F");
    EXPECT_EQ(FOutput, "4\n5\n6\n3.5\n2147483649\n");
}

} // namespace
} // namespace vorn::engine::e2e
