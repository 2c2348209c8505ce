// Member-chain elements: resolving a name (variable, script routine, with-member,
// property, method, class, type cast, keyword) in a fixed order, and the code of each
// kind, with argument counts, by-reference parameters and default properties checked.

#include <cctype>

#include "engine/compiler/Scripter.h"
#include "engine/languages/ScriptElement.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

namespace {

bool IsBlank(const std::string& text) {
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

} // namespace

void TatScriptLanguageBase::MakeDataElementCode(TNoTerminalNode* codeNode, TDataOperation operation) {
    TElement e;
    e.CodeNode = codeNode;
    e.ElementNode = codeNode ? codeNode->GetParentNode() : nullptr;
    e.ArgList = Child(e.ElementNode, 1);
    TNoTerminalNode* indexes = Child(e.ElementNode, 2);
    e.C.ElementName = PopString(stIdentifierList);
    e.C.Operation = operation;
    e.C.ArgCount = e.ArgList ? e.ArgList->Count() : 0;
    e.C.IdxCount = indexes ? indexes->Count() : 0;
    e.C.HasArgList = e.C.ArgCount > 0 || (e.ArgList && !IsBlank(TextOf(e.ArgList)));
    e.C.HasUpnode = FollowsDot(e.ElementNode);
    for (int i = 0; e.ElementNode && i + 1 < e.ElementNode->Count(); ++i)
        if (e.ElementNode->GetItem(i) == codeNode) e.C.HasSubNode = true;
    if (!e.C.HasUpnode) {
        FCurrentClass = nullptr;
        FIsClassReference = false;
    }
    if (e.C.ElementName.empty() || !LookupElement(e)) {
        FreePushVarList(FLastPushVarList);
        return;
    }
    ApplyDefaultProperty(e);
    GenerateElementCode(e, e.C.HasSubNode || e.DefaultProperty);
    FreePushVarList(FLastPushVarList);
    if (!e.DefaultProperty) return;
    const int count = e.DefaultProperty->IndexCount();
    Emit(inLoadStackValue)->vInteger = count;
    GeneratePropertyCode(e, e.DefaultProperty, e.DefaultProperty->Name(), count, e.C.HasSubNode, -1);
}

// Up to two passes: the unknown-element hook may register the name and ask for another.
bool TatScriptLanguageBase::LookupElement(TElement& e) {
    for (int pass = 0; pass < 2; ++pass) {
        e.C.CurrentClass = FCurrentClass;
        if (KnownVariable(e) || KnownRoutine(e) || KnownWithMember(e, false) || KnownWithMember(e, true) ||
            KnownProperty(e) || KnownMethod(e) || KnownClass(e, false) || KnownClass(e, true))
            return true;
        if (!e.C.HasArgList && !e.C.HasSubNode && e.C.Operation != doWrite &&
            SpecialKeyWord(platform::AsciiUpperCase(e.C.ElementName), e.C.Operation)) {
            e.Kind = etKeyword;
            return false;
        }
        if (pass > 0) break;
        e.C.RepeatChecking = false;
        DoUnknownElement(e.C);
        if (!e.C.RepeatChecking) break;
    }
    ReportUnknownElement(e);
    return e.Kind == etVariable;
}

bool TatScriptLanguageBase::KnownVariable(TElement& e) {
    if (e.C.HasArgList || e.C.HasUpnode) return false;
    TatVariableInfo* v = CurrentRoutine() ? CurrentRoutine()->VariableByName(e.C.ElementName) : nullptr;
    if (!v) v = ScriptInfo().Globals().FindByName(e.C.ElementName);
    if (!v) return false;
    e.Kind = etVariable;
    e.Variable = v;
    return true;
}

bool TatScriptLanguageBase::KnownRoutine(TElement& e) {
    if (e.C.HasUpnode) return false;
    if (!e.C.HasArgList && e.C.Operation == doWrite && !e.C.HasSubNode) return false;
    TatRoutineInfo* r = ScriptInfo().RoutineByName(e.C.ElementName);
    if (!r) return false;
    e.Kind = etRoutine;
    e.Routine = r;
    return true;
}

// With-objects are searched innermost first; the member's object is the temporary.
bool TatScriptLanguageBase::KnownWithMember(TElement& e, bool method) {
    if (FCurrentClass || e.C.HasUpnode || (!method && e.C.HasArgList)) return false;
    for (auto it = FWithVariables.rbegin(); it != FWithVariables.rend(); ++it) {
        TatClass* c = (*it)->FDeclaredClass;
        if (!c) continue;
        TatMethod* m = method ? c->MethodByName(e.C.ElementName) : nullptr;
        TatProperty* p = method ? nullptr : c->PropertyByName(e.C.ElementName);
        if (!m && !p) continue;
        TSimplifiedCode* with = Emit(inWithObject);
        with->vInteger = (*it)->VarIndex();
        with->vString = ScriptText::FromUtf8((*it)->FVarName);
        FCurrentClass = c;
        e.Kind = method ? etMethod : etProperty;
        e.Method = m;
        e.Property = p;
        e.Instance = -1;
        return true;
    }
    return false;
}

bool TatScriptLanguageBase::KnownProperty(TElement& e) {
    if (e.C.HasArgList) return false;
    if (FCurrentClass) {
        TatProperty* p = nullptr;
        if (FCurrentClass != UndefinedClass()) {
            p = FIsClassReference ? FCurrentClass->ClassPropertyByName(e.C.ElementName)
                                  : FCurrentClass->PropertyByName(e.C.ElementName);
            if (!p) return false;
        }
        e.Kind = etProperty;
        e.Property = p;
        e.Instance = -1;
        return true;
    }
    if (e.C.HasUpnode || !Scripter()) return false;
    TatProperty* p = nullptr;
    int i = DefInstances().FindInstanceByPropertyName(e.C.ElementName, p);
    if (i >= 0) {
        e.Instance = -(i + 2);
    } else if ((i = Scripter()->DefaultInstances().FindInstanceByPropertyName(e.C.ElementName, p)) >= 0) {
        e.Instance = i;
    } else {
        return false;
    }
    e.Kind = etProperty;
    e.Property = p;
    return true;
}

bool TatScriptLanguageBase::KnownMethod(TElement& e) {
    if (FCurrentClass) {
        TatMethod* m = nullptr;
        if (FCurrentClass != UndefinedClass()) {
            m = FIsClassReference ? FCurrentClass->ClassMethodByName(e.C.ElementName)
                                  : FCurrentClass->MethodByName(e.C.ElementName);
            if (!m) return false;
        }
        e.Kind = etMethod;
        e.Method = m;
        e.Instance = -1;
        return true;
    }
    if (e.C.HasUpnode || !Scripter()) return false;
    TatMethod* m = nullptr;
    int i = DefInstances().FindInstanceByMethodName(e.C.ElementName, m);
    if (i >= 0) {
        e.Instance = -(i + 2);
    } else if ((i = Scripter()->DefaultInstances().FindInstanceByMethodName(e.C.ElementName, m)) >= 0) {
        e.Instance = i;
    } else {
        return false;
    }
    e.Kind = etMethod;
    e.Method = m;
    return true;
}

// A class reference (TStringList.Create, or TStringList as a value) or a type cast
// (a class name with exactly one argument).
bool TatScriptLanguageBase::KnownClass(TElement& e, bool typeCast) {
    if (e.C.HasUpnode || !Scripter()) return false;
    if (typeCast ? (!e.C.HasArgList || e.C.ArgCount != 1)
                 : (e.C.HasArgList || (!e.C.HasSubNode && e.C.Operation != doRead)))
        return false;
    const int index = Scripter()->Classes().IndexOf(e.C.ElementName);
    if (index < 0) return false;
    e.Kind = typeCast ? etTypeCast : etClass;
    e.ClassIndex = index;
    return true;
}

// An undeclared bare assignment target is declared when declarations are optional;
// anything else unknown is reported by how it was used.
void TatScriptLanguageBase::ReportUnknownElement(TElement& e) {
    const TElementContext& c = e.C;
    const bool optional = !Scripter() || !Scripter()->OptionExplicit();
    if (optional && c.Operation == doWrite && !c.HasArgList && !c.HasUpnode && !c.HasSubNode) {
        TNoTerminalNode* id = Child(e.ElementNode, 0);
        e.Variable = DeclareVariable(c.ElementName, -1, moNone, false, id ? id->InputInitialPos() : -1);
        e.Kind = etVariable;
        return;
    }
    TLanguageMessage message = TLanguageMessage::lmUnknownIdentifier;
    if (c.HasUpnode && c.HasArgList)
        message = FCurrentClass ? TLanguageMessage::lmUnknownMemberMethod : TLanguageMessage::lmObjectForMemberMethod;
    else if (c.HasUpnode)
        message = FCurrentClass ? TLanguageMessage::lmUnknownMember : TLanguageMessage::lmObjectForMember;
    else if (c.HasArgList)
        message = TLanguageMessage::lmUnknownMethodOrRoutine;
    ReportError(LanguageMessage(message, c.ElementName), ScanningInputPos());
}

// Indexes after a value whose class has a default property belong to that property:
// they are set aside while the value itself is fetched.
void TatScriptLanguageBase::ApplyDefaultProperty(TElement& e) {
    if (e.C.IdxCount <= 0) return;
    TatClass* c = nullptr;
    if (e.Kind == etVariable) {
        c = e.Variable->FDeclaredClass;
    } else if (e.Kind == etProperty && e.Property && e.Property->IndexCount() < e.C.IdxCount) {
        e.Property->UpdateObjectInfo(c);
    } else if (e.Kind == etMethod && e.Method) {
        e.Method->UpdateObjectInfo(c);
    }
    if (!c || c == UndefinedClass() || !c->DefaultProperty()) return;
    e.DefaultProperty = c->DefaultProperty();
    const int count = e.DefaultProperty->IndexCount();
    std::unique_ptr<TSimplifiedCode> with;
    if (LastInstruction() && LastInstruction()->OpCode == inWithObject && FirstInstruction() != LastInstruction())
        with = RemoveLastInstruction();
    Emit(inSaveStackValue)->vInteger = count;
    if (with) AppendInstruction(std::move(with));
    e.C.IdxCount -= count;
}

void TatScriptLanguageBase::GenerateElementCode(TElement& e, bool hasSubNode) {
    switch (e.Kind) {
    case etVariable: return GenerateVariableCode(e, hasSubNode);
    case etProperty:
        return GeneratePropertyCode(e, e.Property, e.C.ElementName, e.C.IdxCount, hasSubNode, e.Instance);
    case etMethod: return GenerateMethodCode(e, hasSubNode);
    case etRoutine: return GenerateRoutineCode(e, hasSubNode);
    case etClass:
        if (hasSubNode) {
            FCurrentClass = Scripter()->Classes().GetItem(e.ClassIndex);
            FIsClassReference = true;
            return;
        } else {
            TSimplifiedCode* push = Emit(inPushClass);
            push->vInteger = e.ClassIndex;
            push->vString = ScriptText::FromUtf8(e.C.ElementName);
            return;
        }
    case etTypeCast:
        // The cast converts a value, never a variable: its argument is pushed as a plain
        // value, so a variable assigned from TFoo(x) never refers to x's stack slot.
        UpdateByRefPushVars([](int) { return false; });
        FCurrentClass = Scripter()->Classes().GetItem(e.ClassIndex);
        return;
    default: return;
    }
}

// The position of an argument that is a bare chain element among its list, else -1.
int TatScriptLanguageBase::ArgumentPosition(TNoTerminalNode* element) const {
    TNoTerminalNode* expression = element ? element->GetParentNode() : nullptr;
    if (RuleOf(expression) != ExpressionRule() || expression->Count() != 1) return -1;
    TNoTerminalNode* list = expression->GetParentNode();
    if (RuleOf(list) != ArgListRule()) return -1;
    for (int i = 0; i < list->Count(); ++i)
        if (list->GetItem(i) == expression) return i;
    return -1;
}

} // namespace vorn::engine
