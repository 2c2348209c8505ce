// The code emission back end: label resolution, the store fusions, the variable errors
// with their texts, the compile-time stacks and the packed member references.

#include "tests/engine/compiler/CompilerFixture.h"

#include <sstream>

#include "engine/vm/ScriptValue.h"

namespace vorn::engine::testlang {
namespace {

using BackEndTest = CompilerFixture;

// Steps: "N" appends a plain instruction, "J x" a jump to label x, "L x" defines label x.
// The expected text lists the vInteger of every jump in emission order.
TEST_F(BackEndTest, LabelResolution) {
    struct Case {
        const char* steps;
        const char* targets;
    };
    const Case cases[] = {
        {"N J a N N L a N", "4"},            // forward: the instruction after the definition
        {"N L a N N J a", "1"},              // backward: resolved at once
        {"J a J a L a N", "2 2"},            // two pending references
        {"J a L a N J a L a N J a", "1 1 3"},  // defined twice: earlier ones keep the first target
        {"J end N L end", "2"},              // defined after the last instruction: the code size
        {"J Abc L aBC N", "1"},              // names ignore case
    };
    for (const Case& c : cases) {
        Script().Clear();
        std::vector<TSimplifiedCode*> jumps;
        std::istringstream steps(c.steps);
        std::string step, name;
        while (steps >> step) {
            if (step == "N") {
                Script().AppendInstruction(inDrop);
            } else if (step == "J") {
                steps >> name;
                jumps.push_back(Script().AppendInstruction(inJump));
                EXPECT_EQ(Script().RegisterReference(name), jumps.back()->vInteger) << c.steps;
            } else {
                steps >> name;
                Script().DefineReferenceAddress(name);
            }
        }
        std::string targets;
        for (TSimplifiedCode* j : jumps) targets += (targets.empty() ? "" : " ") + std::to_string(j->vInteger);
        EXPECT_EQ(targets, c.targets) << c.steps;
    }
}

TEST_F(BackEndTest, BranchesOfAScriptReachTheirLabels) {
    CompileText("var a;\nbegin\n  label top;\n  if a = 1 then goto done;\n  a := 1;\n  goto top;\n  label done;\nend");
    EXPECT_EQ(Opcodes(Script()),
              "inPrepare inPushGlobalVar inPushInteger inOperEqual inJumpIfFalse inJump "
              "inPushInteger inStoreGlobalVar inJump inRet");
    auto code = Code(Script());
    EXPECT_EQ(code[4]->vInteger, 6);  // @EndIf1: after the then-part
    EXPECT_EQ(code[5]->vInteger, 9);  // goto done (forward)
    EXPECT_EQ(code[8]->vInteger, 1);  // goto top (backward)
}

TEST_F(BackEndTest, ManyBranchesResolve) {
    std::string text = "var a;\nbegin\n";
    for (int i = 0; i < 5000; ++i) text += "  if a = " + std::to_string(i) + " then a := 1;\n";
    text += "end";
    CompileText(text);
    auto code = Code(Script());
    int checked = 0;
    for (size_t i = 0; i < code.size(); ++i)
        if (code[i]->OpCode == inJumpIfFalse) {
            EXPECT_EQ(code[size_t(code[i]->vInteger)], code[i + 3]);
            ++checked;
        }
    EXPECT_EQ(checked, 5000);
}

struct StoreCase {
    const char* statement;
    const char* opcodes;    // the main block between inPrepare and inRet
    int vInteger;           // of the last emitted instruction
    const char* vString;
    int vInteger3;          // -1: not checked
};

TEST_F(BackEndTest, StoreFusions) {
    // Locals a (0), b (1), s (2) of Main; r is Main's by-reference argument (-1); g global.
    const StoreCase cases[] = {
        {"a := 5", "inStoreVarInteger", 0, "a", -1},
        {"r := 5", "inStoreVarRefInteger", -1, "r", -1},
        {"g := 5", "inPushInteger inStoreGlobalVar", 0, "g", -1},
        {"a := 1.5", "inStoreVarDouble", 0, "a", -1},
        {"r := 1.5", "inStoreVarRefDouble", -1, "r", -1},
        {"s := 'ab'", "inStoreVarString", 2, "abs", 2},
        {"r := 'ab'", "inStoreVarRefString", -1, "abr", 2},
        {"a := true", "inStoreVarConst", 0, "truea", 4},
        {"r := null", "inStoreVarRefConst", -1, "nullr", 4},
        {"a := b", "inCopyVar", 1, "ba", 1},
        {"r := b", "inCopyVarRef", 1, "br", 1},
        {"a := b + 1", "inPushVar inPushInteger inOperAdd inStoreVar", 0, "a", -1},
        {"r := g", "inPushGlobalVar inStoreVarRef", -1, "r", -1},
    };
    for (const StoreCase& c : cases) {
        CompileText("var g;\nproc Main(var r)\nvar a, b, s;\nbegin\n  " + std::string(c.statement) + ";\nend\nbegin\nend");
        auto code = Code(Script());
        std::string body;
        size_t i = 2;
        for (; code[i]->OpCode != inRet; ++i) body += (body.empty() ? "" : " ") + std::string(InstructionName(code[i]->OpCode));
        EXPECT_EQ(body, c.opcodes) << c.statement;
        TSimplifiedCode* last = code[i - 1];
        EXPECT_EQ(last->vInteger, c.vInteger) << c.statement;
        EXPECT_EQ(last->vString.ToUtf8(), c.vString) << c.statement;
        if (c.vInteger3 >= 0) {
            EXPECT_EQ(last->vInteger3, c.vInteger3) << c.statement;
        }
    }
    CompileText("proc Main\nvar a, b;\nbegin\n  a := 5;\n  b := a;\nend\nbegin\nend");
    auto code = Code(Script());
    EXPECT_EQ(code[2]->valueInt64, 5);  // the fused store keeps its value
    EXPECT_EQ(code[3]->vInteger, 0);    // copy: source a
    EXPECT_EQ(code[3]->vInteger2, 1);   // destination b
}

TEST_F(BackEndTest, VariableErrorsCarryTheirTextsAndPositions) {
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"var x;\nvar x;\nbegin\nend", "Redeclaration of global identifier 'x'.\r\nSource position: 2,5"},
        {"proc P\nvar a, a;\nbegin\nend\nbegin\nend", "Redeclaration of identifier 'a'.\r\nSource position: 2,8"},
        {"proc P(a; a)\nbegin\nend\nbegin\nend", "Redeclaration of identifier 'a'.\r\nSource position: 1,11"},
        {"begin\n  y := 1;\nend", "Undeclared variable 'y'.\r\nSource position: 2,3"},
        {"begin\n  call P(zz);\nend", "Undeclared variable 'zz'.\r\nSource position: 2,11"},
        {"const K = 1;\nbegin\n  K := 2;\nend", "Cannot assign a value to constant 'K'.\r\nSource position: 3,8"},
        {"begin\n  call Nope;\nend", "Unknown method ou subroutine: 'Nope'.\r\nSource position: 2,11"},
        {"begin\n  goto L1;\nend", "Unknown method ou subroutine: 'L1'.\r\nSource position: 2,9"},
    };
    // A generator reports at its node's last position, the name's last character.
    for (const Case& c : cases) EXPECT_EQ(CompileErrorOf(c.source), c.message) << c.source;
}

TEST_F(BackEndTest, WithoutOptionExplicitAReferenceDeclaresALocal) {
    FScripter->SetOptionExplicit(false);
    CompileText("proc P\nbegin\n  n := 1;\nend\nbegin\nend");
    TatRoutineInfo* p = Script().ScriptInfo().RoutineByName("P");
    ASSERT_NE(p->VariableByName("n"), nullptr);
    EXPECT_EQ(p->VariableByName("n")->FArgIndex, -1);
    EXPECT_EQ(p->VariableByName("n")->FModifier, moNone);
}

TEST_F(BackEndTest, SilentCompileDeclaresRedeclaredAndConstantStoresStillEmit) {
    Script().SetSourceText("var x;\nvar x;\nconst K = 1;\nbegin\n  K := 2;\nend");
    Script().SilentCompile();
    EXPECT_EQ(Script().ScriptInfo().Globals().Count(), 3);
    EXPECT_EQ(Script().ScriptInfo().Globals().IndexOf("x"), 1);
    EXPECT_EQ(Opcodes(Script()), "inPushInteger inStoreGlobalVar inPrepare inPushInteger inStoreGlobalVar inRet");
}

TEST_F(BackEndTest, StacksKeepIndexesSinceTheLastDelimiter) {
    TatScript& s = Script();
    s.StackPush(stIdentifierList, Variant::FromInteger(10));
    s.StackPush(stIdentifierList, Variant::FromInteger(11));
    s.StackPushDelimitter(stIdentifierList);
    s.StackPush(stIdentifierList, Variant::FromText(ScriptText::FromUtf8("x")));
    EXPECT_EQ(s.GetStack(stIdentifierList)->Index, 0);
    EXPECT_EQ(s.GetStack(stIdentifierList)->Previous()->Index, -1);
    EXPECT_EQ(s.GetStack(stIdentifierList)->Previous()->Previous()->Index, 1);
    EXPECT_EQ(s.StackPopAsString(stIdentifierList), "x");
    EXPECT_TRUE(s.StackDelimitterFound(stIdentifierList));
    s.StackPop(stIdentifierList);
    EXPECT_EQ(s.StackViewAsInt(stIdentifierList), 11);
    EXPECT_EQ(s.StackPopAsInt(stIdentifierList), 11);
    EXPECT_FALSE(s.EmptyStack(stIdentifierList));
    s.ClearStacks();
    EXPECT_TRUE(s.EmptyStack(stIdentifierList));
    try {
        s.StackView(stPendingOperators);
        FAIL();
    } catch (const EatScripterRuntime& e) {
        EXPECT_EQ(e.OriginalMessage(), "Empty stack when trying to pop element stPendingOperators");
    }
}

TEST_F(BackEndTest, InsertBeforeTheLastInstruction) {
    TatScript& s = Script();
    s.AppendInstruction(inPushInteger);
    s.AppendInstruction(inDrop);
    std::unique_ptr<TSimplifiedCode> last = s.RemoveLastInstruction();
    EXPECT_EQ(s.CodeLine(), 0);
    s.AppendInstruction(inDuplicate);
    s.AppendInstruction(std::move(last));
    EXPECT_EQ(Opcodes(s), "inPushInteger inDuplicate inDrop");
    EXPECT_EQ(s.CodeLine(), 2);
}

TEST_F(BackEndTest, MemberReferencesArePacked) {
    CompileText("begin\n  call Twice(1);\n  call Beep;\nend");
    auto code = Code(Script());
    TatClass* lib = FScripter->ClassByName("TTestLibrary");
    ASSERT_NE(lib, nullptr);
    TSimplifiedCode* twice = code[2];
    ASSERT_EQ(twice->OpCode, inCallProc);
    int32_t packed = static_cast<int32_t>(twice->vSave2);
    EXPECT_EQ(PackedMemberKind(packed), mrMethod);
    EXPECT_EQ(PackedMemberIndex(packed), lib->MethodByName("Twice")->Index());
    EXPECT_EQ(PackedClassIndex(packed), lib->Index());
    EXPECT_EQ(twice->vSave1, 0);
    EXPECT_EQ(twice->vString2.ToUtf8(), "TTestLibrary");
    EXPECT_EQ(twice->vInteger, 1);

    TSimplifiedCode probe(inCallProc);
    Script().RelativeGetterRef(nullptr, &probe);
    EXPECT_EQ(probe.vSave2, 1);
    Script().RelativeSetterRef(nullptr, &probe);
    EXPECT_EQ(probe.vSave2, 2);
    Script().RelativeMethodRef(nullptr, &probe);
    EXPECT_EQ(probe.vSave2, 3);
}

// A member beyond the 15 bits of its field would silently call another member.
TEST_F(BackEndTest, MemberBeyondThePackedRangeIsACompileError) {
    TatClass* big = FScripter->Classes().Add("TBig");
    TatProcDef def;
    for (int i = 0; i <= MaxPackedMemberIndex + 1; ++i) {
        def.FName = "M" + std::to_string(i);
        big->AddProc(def);
    }
    TSimplifiedCode probe(inCallProc);
    Script().RelativeMethodRef(big->Methods().GetItem(MaxPackedMemberIndex), &probe);
    EXPECT_EQ(PackedMemberIndex(static_cast<int32_t>(probe.vSave2)), MaxPackedMemberIndex);
    try {
        Script().RelativeMethodRef(big->Methods().GetItem(MaxPackedMemberIndex + 1), &probe);
        FAIL();
    } catch (const EatCompileError& e) {
        EXPECT_NE(e.Message().find("Member 'M32768' of class 'TBig'"), std::string::npos) << e.Message();
    }
}

} // namespace
} // namespace vorn::engine::testlang
