#pragma once
// A small language for exercising the compilation pipeline without the Pascal language:
// the grammar in tests/data/grammar/testlang.grm and generators that declare globals,
// constants, routines with by-value and by-reference arguments and locals; assign; call
// script routines and library methods; branch with named and generated labels; and
// use libraries. Header-only so the compile benchmark shares it with the tests.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Script.h"
#include "engine/compiler/Scripter.h"
#include "platform/CaseFolding.h"
#include "platform/rtti/TypeBuilder.h"

namespace vorn::engine::testlang {

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The grammar text, read from the folder given once by the test or benchmark.
inline std::string& GrammarText() {
    static std::string text;
    return text;
}

inline void LoadGrammar(const std::filesystem::path& testDataFolder) {
    GrammarText() = ReadFile(testDataFolder / "grammar" / "testlang.grm");
}

class TTestScript : public TatScript {
public:
    explicit TTestScript(TatScripts* collection) : TatScript(collection) {
        Parser().SetGrammarText(GrammarText());
        Bind("program", [this](TNoTerminalNode*) { FRoutineCount = 0; FIfCount = 0; }, nullptr);
        Bind("unitname", nullptr, [this](TNoTerminalNode* n) { UseUnit(n); });
        Bind("newvar", nullptr, [this](TNoTerminalNode* n) { DeclareVariable(Text(n), -1, moNone, true); });
        Bind("constdecl", nullptr, [this](TNoTerminalNode* n) { DeclareConstant(n); });
        Bind("routine", [this](TNoTerminalNode*) { EnterRoutine(); }, [this](TNoTerminalNode*) { LeaveRoutine(); });
        Bind("routinename", nullptr, [this](TNoTerminalNode* n) { DeclareRoutineEntry(Text(n)); });
        Bind("argname", nullptr, [this](TNoTerminalNode* n) { DeclareArgument(n); });
        Bind("localvar", nullptr, [this](TNoTerminalNode* n) { DeclareVariable(Text(n), -1, moNone, false); });
        Bind("main", [this](TNoTerminalNode*) { EnterMain(); }, [this](TNoTerminalNode*) { Emit(inRet); });
        Bind("ifbody", [this](TNoTerminalNode*) { OpenIf(); }, nullptr);
        Bind("if", nullptr, [this](TNoTerminalNode*) { DefineReferenceAddress("@EndIf" + std::to_string(StackPopAsInt(stContext))); });
        Bind("goto", nullptr, [this](TNoTerminalNode* n) { Jump(Text(n->GetItem(0))); });
        Bind("labeldef", nullptr, [this](TNoTerminalNode* n) { DefineReferenceAddress(Text(n->GetItem(0))); });
        Bind("call", nullptr, [this](TNoTerminalNode* n) { EmitCall(n); });
        Bind("target", nullptr, [this](TNoTerminalNode* n) { RegisterVariableReference(Text(n)); StackPush(stContext, Variant::FromText(ScriptText::FromUtf8(Text(n)))); });
        Bind("assign", nullptr, [this](TNoTerminalNode*) { StoreAssigned(); });
        Bind("binop", nullptr, [this](TNoTerminalNode* n) { EmitOperator(Text(n->GetItem(0))); });
        Bind("integer", nullptr, [this](TNoTerminalNode* n) { Emit(inPushInteger)->valueInt64 = std::stoll(Text(n)); });
        Bind("float", nullptr, [this](TNoTerminalNode* n) { Emit(inPushDouble)->vDouble = std::stod(Text(n)); });
        Bind("string", nullptr, [this](TNoTerminalNode* n) { Emit(inPushString)->vString = ScriptText::FromUtf8(Unquote(Text(n))); });
        Bind("constword", nullptr, [this](TNoTerminalNode* n) { EmitConstant(Text(n)); });
        Bind("varref", nullptr, [this](TNoTerminalNode* n) { EmitPushVariable(Text(n)); });
    }

    static const TatScriptClass* Class() { return ScriptClassOf<TTestScript>("TTestScript"); }

private:
    using Handler = std::function<void(TNoTerminalNode*)>;

    void Bind(const char* rule, Handler before, Handler after) {
        int i = Parser().NoTerminals().IndexOf(rule);
        if (i >= 0) Parser().NoTerminals().GetItem(i)->AssignNodeScanningEvents(std::move(before), std::move(after));
    }
    static std::string Text(TNoTerminalNode* n) { return n->GetInputToken(); }
    static std::string Unquote(const std::string& s) {
        std::string out;
        for (size_t i = 1; i + 1 < s.size(); ++i) {
            out += s[i];
            if (s[i] == '\'' && s[i + 1] == '\'') ++i;
        }
        return out;
    }
    TSimplifiedCode* Emit(TInstruction op) {
        TSimplifiedCode* inst = AppendInstruction(op);
        inst->vDebugInfo = ScanningInputPos();
        return inst;
    }
    void UseUnit(TNoTerminalNode* n) {
        std::string name = Text(n);
        if (!UsedUnits().FindByName(name)) {
            TatUsedUnit* unit = UsedUnits().Add();
            unit->FUnitName = name;
            unit->FIsDefault = true;
            unit->FDeclSourcePos = n->InputInitialPos();
        }
        LoadLibrary(name, true);
    }
    void DeclareConstant(TNoTerminalNode* n) {
        // The value's push was emitted by the integer's own generator.
        TatVariableInfo* v = DeclareVariable(Text(n->GetItem(0)), -1, moConst, true);
        OptimizeStoreVar(v, true);
    }
    // The first routine is preceded by the jump to the main block.
    void EnterRoutine() {
        if (FRoutineCount++ == 0) Jump("___MAIN___");
        FArgCount = 0;
    }
    void DeclareRoutineEntry(const std::string& name) {
        DefineReferenceAddress(name);
        TSimplifiedCode* prepare = Emit(inPrepare);
        prepare->vString = ScriptText::FromUtf8(name);
        SetCurrentRoutine(ScriptInfo().DeclareRoutine(name, prepare, false));
    }
    void DeclareArgument(TNoTerminalNode* n) {
        bool byRef = n->GetParentNode()->GetNoTerminal()->IdS() == "byrefarg";
        DeclareVariable(Text(n), FArgCount++, byRef ? moVar : moNone, false);
    }
    void LeaveRoutine() {
        Emit(inRet);
        SetCurrentRoutine(nullptr);
    }
    void EnterMain() {
        DefineReferenceAddress("___MAIN___");
        TSimplifiedCode* prepare = Emit(inPrepare);
        prepare->vString = ScriptText::FromUtf8("___MAIN___");
        TatRoutineInfo* main = ScriptInfo().DeclareRoutine("___MAIN___", prepare, false);
        ScriptInfo().SetMainRoutine(main);
        SetCurrentRoutine(main);
    }
    void OpenIf() {
        int n = ++FIfCount;
        Emit(inJumpIfFalse);
        RegisterReference("@EndIf" + std::to_string(n));
        StackPush(stContext, Variant::FromInteger(n));
    }
    void Jump(const std::string& label) {
        Emit(inJump);
        RegisterReference(label);
    }
    // A method of a default instance (a library) is a host call; anything else calls a
    // script routine by its label.
    void EmitCall(TNoTerminalNode* n) {
        std::string callee = Text(n->GetItem(0));
        int argCount = n->Count() - 1;
        TatMethod* method = nullptr;
        if (Scripter()->DefaultInstances().FindInstanceByMethodName(callee, method) >= 0 ||
            DefInstances().FindInstanceByMethodName(callee, method) >= 0) {
            TSimplifiedCode* call = Emit(inCallProc);
            RelativeMethodRef(method, call);
            call->vInteger = argCount;
            call->vString = ScriptText::FromUtf8(callee);
            return;
        }
        TSimplifiedCode* call = Emit(inCall);
        call->vString = ScriptText::FromUtf8(callee);
        call->vInteger1 = argCount;
        RegisterReference(callee);
    }
    void StoreAssigned() {
        std::string name = StackPopAsString(stContext);
        if (TatVariableInfo* v = RegisterVariableReference(name)) OptimizeStoreVar(v, false);
    }
    void EmitOperator(const std::string& op) {
        Emit(op == "+" ? inOperAdd : op == "-" ? inOperSub : inOperEqual);
    }
    void EmitConstant(const std::string& word) {
        TSimplifiedCode* push = Emit(inPushConst);
        std::string upper = platform::AsciiUpperCase(word);
        push->vByte = upper == "TRUE" ? 0 : upper == "FALSE" ? 1 : 2;
        push->vString = ScriptText::FromUtf8(word);
    }
    void EmitPushVariable(const std::string& name) {
        TatVariableInfo* v = RegisterVariableReference(name);
        if (!v) return;
        TSimplifiedCode* push = Emit(v->FGlobal ? inPushGlobalVar : inPushVar);
        push->vInteger = v->VarIndex();
        push->vString = ScriptText::FromUtf8(name);
    }

    int FRoutineCount = 0;
    int FIfCount = 0;
    int FArgCount = 0;
};

// A host library with two methods, registered by tests under the name "TestLib".
class TTestLibrary : public TatScripterLibrary {
public:
    static constexpr const char* LibraryClassName = "TTestLibrary";
    static std::string LibraryName() { return "TestLib"; }
    explicit TTestLibrary(TatCustomScripter* scripter) : TatScripterLibrary(scripter) {}
    void Init() override {
        TatClass* c = FScripter->Classes().AddClassByRTTI(&ClassInfo(), "");
        TatProcDef def;
        def.FName = "Beep";
        c->DefineMethod(def);
        def.FName = "Twice";
        def.FArgCount = 1;
        def.FResultDataType = tkVariant;
        c->DefineMethod(def);
    }
    static const platform::rtti::TClassInfo& ClassInfo() {
        static const platform::rtti::TClassInfo& info =
            platform::rtti::TClassBuilder<TTestLibrary, TatScripterLibrary>("TTestLibrary", "Tests").Build();
        return info;
    }
};

// A library that exists only when a script asks for it ("uses ExtraLib").
class TExtraLibrary : public TatScripterLibrary {
public:
    static constexpr const char* LibraryClassName = "TExtraLibrary";
    static std::string LibraryName() { return "ExtraLib"; }
    explicit TExtraLibrary(TatCustomScripter* scripter) : TatScripterLibrary(scripter) {}
    void Init() override {
        TatClass* c = FScripter->Classes().AddClassByRTTI(&ClassInfo(), "");
        TatProcDef def;
        def.FName = "Extra";
        c->DefineMethod(def);
    }
    static const platform::rtti::TClassInfo& ClassInfo() {
        static const platform::rtti::TClassInfo& info =
            platform::rtti::TClassBuilder<TExtraLibrary, TatScripterLibrary>("TExtraLibrary", "Tests").Build();
        return info;
    }
};

// Starts the engine with the test language as the default language and the two test
// libraries registered (TestLib loaded by every scripter, ExtraLib on request).
inline void StartTestEngine(const std::filesystem::path& testDataFolder) {
    StartEngine();
    LoadGrammar(testDataFolder);
    ScripterGlobals().LanguageScriptClasses[slPascal] = TTestScript::Class();
    RegisterScripterLibrary(LibraryClassOf<TTestLibrary>(), false);
    RegisterScripterLibrary(LibraryClassOf<TExtraLibrary>(), true);
}

} // namespace vorn::engine::testlang
