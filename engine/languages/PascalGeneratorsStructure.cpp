// Pascal code generators for the structure of a script: global declarations, used
// units, routines (entry, arguments, forward and external declarations, exit) and the
// main block, constants and variables.

#include "engine/compiler/Scripter.h"
#include "engine/languages/PascalScript.h"
#include "engine/vm/ScriptValue.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

namespace {

constexpr const char* MainRoutineName = "___MAIN___";

int RoutineIndex(TatScriptInfo& info, const TatRoutineInfo* routine) {
    for (int i = 0; i < info.Routines().Count(); ++i)
        if (info.Routines().GetItem(i) == routine) return i;
    return -1;
}

bool HasChildOfRule(const TNoTerminalNode* node, int rule) { return node && node->Nodes().IndexOf(rule) >= 0; }

} // namespace

void TreZuderaScript::AfterId(TNoTerminalNode* node) {
    StackPush(stIdentifierList, Variant::FromText(ScriptText::FromUtf8(TextOf(node))));
}

// The slot count of the globals: constants, plus the names of every variable list.
void TreZuderaScript::BeforeGlobalDecl(TNoTerminalNode* node) {
    int slots = 0;
    for (int i = 0; i < node->Count(); ++i) {
        TNoTerminalNode* section = node->GetItem(i);
        if (RuleOf(section) == noConstDecl) slots += section->Count();
        if (RuleOf(section) != noVarDecl) continue;
        for (int j = 0; j < section->Count(); ++j)
            for (int k = 0; k < section->GetItem(j)->Count(); ++k)
                if (RuleOf(section->GetItem(j)->GetItem(k)) == noId) ++slots;
    }
    TSimplifiedCode* prepare = Emit(inGlobalPrepare);
    prepare->vInteger = slots;
    prepare->vDebugInfo = node->InputInitialPos();
}

void TreZuderaScript::AfterConstExpr(TNoTerminalNode* node) {
    TNoTerminalNode* nameNode = Child(node, 0);
    if (!nameNode) return;
    TatVariableInfo* v = DeclareVariable(TextOf(nameNode), -1, moConst, CurrentRoutine() == nullptr,
                                         nameNode->InputInitialPos());
    OptimizeStoreVar(v, true);
}

void TreZuderaScript::AfterVarList(TNoTerminalNode* node) {
    TNoTerminalNode* typeNode = Child(node, node->Count() - 1);
    if (RuleOf(typeNode) != noVarType) typeNode = nullptr;
    const bool isArray = typeNode && typeNode->Count() == 1 && RuleOf(typeNode->GetItem(0)) == noArrayDecl;
    const bool global = CurrentRoutine() == nullptr;
    for (int i = 0; i < node->Count(); ++i) {
        TNoTerminalNode* id = node->GetItem(i);
        if (RuleOf(id) != noId) continue;
        TatVariableInfo* v = DeclareVariable(TextOf(id), -1, moNone, global, id->InputInitialPos());
        if (typeNode) {
            v->FTypeDecl = TextOf(typeNode);
            v->SetDeclaredClassName(v->FTypeDecl);
        }
        if (!isArray) continue;
        Emit(inInitArray)->vInteger = 1;
        Emit(v->FGlobal ? inStoreGlobalVar : inStoreVar)->vInteger = v->VarIndex();
    }
    if (isArray) Emit(inDrop)->vInteger = 1;
    PopString(stIdentifierList);
}

void TreZuderaScript::AfterUses(TNoTerminalNode* node) { UseUnits(node, true); }
void TreZuderaScript::AfterImports(TNoTerminalNode* node) { UseUnits(node, false); }

// The unit names were scanned last to first, so the first unit is on top.
void TreZuderaScript::UseUnits(TNoTerminalNode* node, bool isDefault) {
    for (int i = 0; i < node->Count(); ++i) {
        const std::string name = PopString(stIdentifierList);
        TatScripterLibrary* library = nullptr;
        try {
            library = LoadLibrary(name, isDefault);
        } catch (const EatCompileError&) {
            throw;
        } catch (const platform::EAbort&) {
            throw;
        } catch (const platform::Exception& e) {
            ReportError(e.what(), ScanningInputPos());
        }
        TatUsedUnit* unit = UsedUnits().Add();
        unit->FUnitName = name;
        unit->FIsDefault = isDefault;
        unit->FIsScript = dynamic_cast<TatScriptBasedLibrary*>(library) != nullptr;
        unit->FDeclSourcePos = node->GetItem(i)->InputInitialPos();
    }
}

void TreZuderaScript::BeforeSubRoutine(TNoTerminalNode*) {
    if (FThereIsAnySubrot) return;
    EmitJump(inJump, MainRoutineName);
    FThereIsAnySubrot = true;
}

void TreZuderaScript::BeforeMain(TNoTerminalNode* node) {
    StackPush(stIdentifierList, Variant::FromText(ScriptText::FromUtf8(MainRoutineName)));
    AfterLabel(node);
    TatRoutineInfo* main = CurrentRoutine();
    ScriptInfo().SetMainRoutine(main);
    if (!main || !main->FIsFunction) return;
    main->FResultIndex = main->DeclareVariable("Result", ScanningInputPos(), -1, moNone)->VarIndex();
}

// The entry of a routine (or of the main block): its label and `inPrepare`, unless it
// is declared without a body; a forward declaration is completed here.
void TreZuderaScript::AfterLabel(TNoTerminalNode* node) {
    const std::string name = PopString(stIdentifierList);
    if (name.empty()) return;
    DeclareRoutineAt(node, name);
}

void TreZuderaScript::DeclareRoutineAt(TNoTerminalNode* node, const std::string& name) {
    const bool isMain = RuleOf(node) == noMain;
    TNoTerminalNode* header = isMain ? nullptr : node->GetParentNode();
    TNoTerminalNode* declaration = header ? header->GetParentNode() : nullptr;
    const bool bodiless = HasChildOfRule(declaration, noExternal) || HasChildOfRule(declaration, noForward);
    TSimplifiedCode* prepare = nullptr;
    if (!bodiless) {
        DefineReferenceAddress(name);
        prepare = Emit(inPrepare);
        prepare->vString = ScriptText::FromUtf8(name);
        prepare->vDebugInfo = node->InputInitialPos();
    }
    const bool isFunction = isMain || RuleOf(header) == noFunction;
    TatRoutineInfo* previous = ScriptInfo().RoutineByName(name);
    TatRoutineInfo* prototype = nullptr;
    if (previous && bodiless) {
        ReportError(LanguageMessage(TLanguageMessage::lmRoutineRedeclared, name), ScanningInputPos());
    } else if (previous && previous->FDeclarationInstruction) {
        ReportError(LanguageMessage(TLanguageMessage::lmRoutineReimplemented, name), ScanningInputPos());
    } else if (previous) {
        previous->FName = "#" + previous->FName;
        prototype = previous;
    }
    TatRoutineInfo* routine = ScriptInfo().DeclareRoutine(name, prepare, isFunction);
    routine->FPrototype = prototype;
    SetCurrentRoutine(routine);
    TNoTerminalNode* resultType = Child(declaration, 2);
    if (isFunction && RuleOf(resultType) == noId) routine->SetResultTypeDecl(TextOf(resultType));
}

void TreZuderaScript::AfterInputArgs(TNoTerminalNode* node) {
    TatRoutineInfo* routine = CurrentRoutine();
    if (!routine) return;
    int argIndex = 0;
    for (int g = 0; g < node->Count(); ++g) {
        TNoTerminalNode* group = node->GetItem(g);
        TNoTerminalNode* typeNode = Child(group, group->Count() - 1);
        if (RuleOf(typeNode) != noVarType) typeNode = nullptr;
        const TatArgumentModifier modifier = RuleOf(group) == noByRef ? moVar : moNone;
        for (int i = 0; i < group->Count(); ++i) {
            TNoTerminalNode* argName = group->GetItem(i);
            if (argName == typeNode) continue;
            TatVariableInfo* v =
                routine->DeclareVariable(TextOf(argName), argName->InputInitialPos(), argIndex++, modifier);
            if (typeNode) {
                v->FTypeDecl = TextOf(typeNode);
                v->SetDeclaredClassName(v->FTypeDecl);
            }
            PopString(stIdentifierList);
        }
    }
    if (routine->FIsFunction) {
        TatVariableInfo* result = routine->DeclareVariable("Result", ScanningInputPos(), -1, moNone);
        routine->FResultIndex = result->VarIndex();
        result->FTypeDecl = routine->ResultTypeDecl();
        result->SetDeclaredClassName(result->FTypeDecl);
    }
    CheckPrototype(routine);
}

// A body must repeat its forward declaration: same variables, names, order and kinds.
void TreZuderaScript::CheckPrototype(TatRoutineInfo* routine) {
    const TatRoutineInfo* prototype = routine->FPrototype;
    if (!prototype) return;
    const std::string name = routine->FName;
    if (routine->Variables().Count() != prototype->Variables().Count())
        return ReportError(LanguageMessage(TLanguageMessage::lmRoutineDiffers, name), ScanningInputPos());
    for (int i = 0; i < routine->Variables().Count(); ++i) {
        const TatVariableInfo* v = routine->Variables().GetItem(i);
        if (!v->SameDeclaration(*prototype->Variables().GetItem(i)))
            return ReportError(LanguageMessage(TLanguageMessage::lmRoutineDiffers, name), v->FDeclarationSourcePos);
    }
}

void TreZuderaScript::AfterSubRoutine(TNoTerminalNode*) {
    TatRoutineInfo* routine = CurrentRoutine();
    if (!routine || !routine->FDeclarationInstruction) return;
    DefineReferenceAddress("@EndSub" + std::to_string(RoutineIndex(ScriptInfo(), routine)));
    if (routine->FIsFunction) {
        TSimplifiedCode* push = Emit(inPushVar);
        push->vInteger = routine->FResultIndex;
        push->vString = ScriptText::FromUtf8("Result");
    }
    routine->FDeclarationInstruction->vInteger = routine->LocalVarCount();
    Emit(inRet);
}

void TreZuderaScript::AfterMain(TNoTerminalNode* node) { AfterSubRoutine(node); }

// External routines keep their signature; their name gains "@" so that calls never
// resolve to a script routine.
void TreZuderaScript::AfterExternal(TNoTerminalNode* node) {
    TatRoutineInfo* routine = CurrentRoutine();
    if (!routine) return;
    int next = 0;
    routine->FCallingConvention = ccRegister;
    if (RuleOf(Child(node, 0)) == noCallingConvetion) {
        static constexpr std::pair<const char*, TatCallingConvention> conventions[] = {
            {"stdcall", ccStdCall}, {"safecall", ccSafeCall}, {"cdecl", ccCdecl},
            {"pascal", ccPascal},   {"register", ccRegister}};
        const std::string text = platform::AsciiLowerCase(TextOf(Child(node, 0)));
        for (const auto& [word, convention] : conventions)
            if (text.find(word) != std::string::npos) routine->FCallingConvention = convention;
        next = 1;
    }
    bool valid = true;
    routine->FExternalDll = ExtractQuotedString(TextOf(Child(node, next)), valid);
    TNoTerminalNode* entry = Child(node, next + 1);
    routine->FExternalName = entry ? TextOf(entry) : routine->FName;
    routine->FName = "@" + routine->FName;
}

// No rule refers to <push_output>; kept for grammars that do.
void TreZuderaScript::AfterPushOutput(TNoTerminalNode* node) {
    for (int i = 0; i + 2 < node->Count(); ++i) Emit(inPushOutput)->vInteger = i;
}

} // namespace vorn::engine
