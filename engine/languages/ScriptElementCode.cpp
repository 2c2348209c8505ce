// The code of a resolved chain element: a variable read or store, a host property or
// method call (known or late-bound), a script routine call; and the by-reference
// argument checks and candidate updates those calls share.

#include "engine/compiler/Scripter.h"
#include "engine/languages/ScriptElement.h"

namespace vorn::engine {

namespace {

std::string Num(int value) { return std::to_string(value); }

} // namespace

void TatScriptLanguageBase::GenerateVariableCode(TElement& e, bool hasSubNode) {
    TatVariableInfo* v = e.Variable;
    const std::string& name = e.C.ElementName;
    if (hasSubNode || e.C.Operation == doRead) {
        const int position = (e.C.Operation == doRead && !hasSubNode && e.C.IdxCount == 0)
                                 ? ArgumentPosition(e.ElementNode) : -1;
        TSimplifiedCode* push = nullptr;
        if (position >= 0) {
            push = Emit(v->FGlobal ? inPushGlobalVarByRef : inPushVarByRef);
            push->vInteger2 = position;
            if (FPushVarList) FPushVarList->push_back(push);
            // Positions from 32 on have no bit: their parameters are checked by the callee.
            if (position < 32) FByRefArgMask |= uint32_t(1) << position;
        } else if (e.C.IdxCount == 0) {
            push = Emit(v->FGlobal ? inPushGlobalVar : inPushVar);
        } else {
            push = Emit(v->FGlobal ? inPushGlobalIdxVar : inPushIdxVar);
            push->vByte = static_cast<uint8_t>(e.C.IdxCount);
        }
        push->vInteger = v->VarIndex();
        push->vString = ScriptText::FromUtf8(name);
        const bool defer = Scripter() && Scripter()->Classes().FDeferObjectResolution;
        FCurrentClass = (defer || !v->FDeclaredClass) ? UndefinedClass() : v->FDeclaredClass;
    } else if (e.C.Operation == doExec) {
        ReportError(LanguageMessage(TLanguageMessage::lmVariableCalled, name), ScanningInputPos());
    }
    if (hasSubNode || e.C.Operation != doWrite) return;
    if (e.C.IdxCount == 0) return OptimizeStoreVar(v, false);
    TSimplifiedCode* store = Emit(v->FGlobal ? inStoreGlobalIdxVar : (v->FModifier == moVar ? inStoreIdxVarRef : inStoreIdxVar));
    store->vInteger = v->VarIndex();
    store->vByte = static_cast<uint8_t>(e.C.IdxCount);
    store->vString = ScriptText::FromUtf8(name);
}

void TatScriptLanguageBase::GeneratePropertyCode(TElement& e, TatProperty* property, const std::string& name,
                                                 int idxCount, bool hasSubNode, int instance) {
    const int pos = ScanningInputPos();
    const bool write = !hasSubNode && e.C.Operation == doWrite;
    const int classIndex = property ? property->atClass()->Index() : (FCurrentClass ? FCurrentClass->Index() : -1);
    const std::string indexError = LanguageMessage(TLanguageMessage::lmPropertyIndexing, name,
                                                   Num(property ? property->IndexCount() : 0));
    if (write) {
        if (property && !property->GetWriteable())
            return ReportError(LanguageMessage(TLanguageMessage::lmPropertyNotWritable, name), pos);
        if (property && property->IndexCount() != idxCount) return ReportError(indexError, pos);
        TSimplifiedCode* call = Emit(FIsClassReference ? inCallClassProc : inCallProc);
        call->vInteger = FIsClassReference ? classIndex : instance;
        call->vByte = FIsClassReference ? 1 : 255;
        RelativeSetterRef(property, call);
        call->vString = ScriptText::FromUtf8(name);
        call->vInteger1 = idxCount;
        FIsClassReference = false;
        return;
    }
    if (e.C.Operation != doRead && !hasSubNode && FCurrentClass != UndefinedClass())
        return ReportError(LanguageMessage(TLanguageMessage::lmPropertyCalled, name), pos);
    if (property && !property->FGetter)
        return ReportError(LanguageMessage(TLanguageMessage::lmPropertyNotReadable, name), pos);
    if (property && property->IndexCount() != idxCount) return ReportError(indexError, pos);
    TSimplifiedCode* call = Emit(FIsClassReference ? inCallClassProc : inCallProc);
    call->vInteger = FIsClassReference ? classIndex : instance;
    call->vString = ScriptText::FromUtf8(name);
    if (!property && e.C.Operation == doExec && !hasSubNode) {
        // A late-bound name used as a statement is called as a method.
        call->vSmallInt = 1;
        RelativeMethodRef(nullptr, call);
    } else {
        RelativeGetterRef(property, call);
        call->vInteger1 = idxCount;
    }
    if (property)
        property->UpdateObjectInfo(FCurrentClass);
    else
        FCurrentClass = UndefinedClass();
    if (hasSubNode || e.C.Operation == doRead) Emit(inPushOutput);
    FIsClassReference = false;
}

// Accepts A - D to A arguments for a method with A arguments of which D have defaults.
bool TatScriptLanguageBase::CheckMethodArguments(TElement& e) {
    const TatMethod* m = e.Method;
    const int n = e.C.ArgCount, a = m->FArgCount, d = m->FDefArgCount;
    const int pos = ScanningInputPos();
    if (n < a - d) {
        ReportError(d > 0 ? LanguageMessage(TLanguageMessage::lmMethodTooFewRange, m->FName, Num(a - d), Num(a))
                          : LanguageMessage(TLanguageMessage::lmMethodTooFew, m->FName, Num(a)),
                    pos);
        return false;
    }
    if (n > a) {
        ReportError(LanguageMessage(TLanguageMessage::lmMethodTooMany, m->FName, Num(a)), pos);
        return false;
    }
    return CheckByRefArguments(e, m->FByRefArgMask, TLanguageMessage::lmMethodByRef, e.C.ElementName);
}

void TatScriptLanguageBase::GenerateMethodCode(TElement& e, bool hasSubNode) {
    TatMethod* m = e.Method;
    const std::string& name = e.C.ElementName;
    const int pos = ScanningInputPos();
    const bool needValue = hasSubNode || e.C.Operation == doRead;
    const bool assigns = e.C.Operation == doWrite && !hasSubNode && !e.DefaultProperty;
    if (m) {
        TLanguageMessage error{};
        bool failed = true;
        if (m->FResultDataType == tkNone && needValue) error = TLanguageMessage::lmMethodNoResult;
        else if (hasSubNode && m->FResultDataType != tkClass && m->FResultDataType != tkVariant)
            error = TLanguageMessage::lmMethodNoObject;
        else if (!m->FProc) error = TLanguageMessage::lmMethodNotDefined;
        else if (assigns) error = TLanguageMessage::lmAssignToMethod;
        else failed = false;
        if (failed) return ReportError(LanguageMessage(error, name), pos);
        if (!CheckMethodArguments(e)) return;
        UpdateByRefPushVars([m](int i) { return m->IsByRefArg(i); });
    } else if (assigns) {
        return ReportError(LanguageMessage(TLanguageMessage::lmAssignToMethod, name), pos);
    }
    TSimplifiedCode* call = Emit(FIsClassReference && m ? inCallClassProc : inCallProc);
    call->vInteger = FIsClassReference && m ? m->atClass()->Index() : e.Instance;
    call->vByte = static_cast<uint8_t>(e.C.ArgCount);
    call->vSmallInt = 1;
    RelativeMethodRef(m, call);
    call->vString = ScriptText::FromUtf8(name);
    if (m)
        m->UpdateObjectInfo(FCurrentClass);
    else
        FCurrentClass = UndefinedClass();
    if (e.C.IdxCount > 0 && !e.DefaultProperty)
        ReportError(LanguageMessage(TLanguageMessage::lmMethodIndexation), pos);
    if (needValue) Emit(inPushOutput);
    FIsClassReference = false;
}

void TatScriptLanguageBase::GenerateRoutineCode(TElement& e, bool hasSubNode) {
    TatRoutineInfo* r = e.Routine;
    const std::string& name = e.C.ElementName;
    const int pos = ScanningInputPos();
    if (e.C.Operation == doWrite && !hasSubNode)
        return ReportError(LanguageMessage(TLanguageMessage::lmAssignToRoutine, name), pos);
    if (e.C.ArgCount != r->FArgCount) {
        auto id = e.C.ArgCount < r->FArgCount ? TLanguageMessage::lmSubroutineTooFew : TLanguageMessage::lmSubroutineTooMany;
        return ReportError(LanguageMessage(id, name, Num(r->FArgCount)), pos);
    }
    if (!CheckByRefArguments(e, r->FByRefArgMask, TLanguageMessage::lmSubroutineByRef, name)) return;
    UpdateByRefPushVars([r](int i) { return r->IsByRefArg(i); });
    TSimplifiedCode* call = Emit(inCall);
    call->vByte = static_cast<uint8_t>(e.C.ArgCount);
    call->valueInt64 = 0;
    call->vString = ScriptText::FromUtf8(name);
    call->vInteger = RegisterReference(name);
    if (e.C.IdxCount > 0) ReportError(LanguageMessage(TLanguageMessage::lmCallIndexation), pos);
    if (hasSubNode || e.C.Operation == doRead) Emit(inPushOutput);
}

// A by-reference parameter must get a bare variable; the error points at the first
// argument that is not one.
bool TatScriptLanguageBase::CheckByRefArguments(TElement& e, uint32_t calleeMask, TLanguageMessage message,
                                                const std::string& name) {
    if (e.C.ArgCount == 0) return true;
    const uint32_t missing = calleeMask & ~FLastByRefArgMask;
    if (!missing) return true;
    int lowest = 0;
    while (!(missing & (uint32_t(1) << lowest))) ++lowest;
    TNoTerminalNode* argument = Child(e.ArgList, lowest);
    ReportError(LanguageMessage(message, name), argument ? argument->InputInitialPos() : ScanningInputPos());
    return false;
}

// Candidates whose parameter is by value become plain pushes.
void TatScriptLanguageBase::UpdateByRefPushVars(const std::function<bool(int)>& isByRef) {
    if (!FLastPushVarList) return;
    for (TSimplifiedCode* push : *FLastPushVarList) {
        if (!isByRef(push->vInteger2)) {
            if (push->OpCode == inPushVarByRef) push->OpCode = inPushVar;
            if (push->OpCode == inPushGlobalVarByRef) push->OpCode = inPushGlobalVar;
        }
        push->vInteger2 = 0;
    }
}

} // namespace vorn::engine
