// The back end of TatScript that the language generators call: the instruction list,
// named labels with queued forward references, the compile-time stacks and the packed
// member references of host calls.

#include <cassert>

#include "engine/compiler/CompilerMessages.h"
#include "engine/compiler/Script.h"
#include "engine/vm/ScriptValue.h"

namespace vorn::engine {

// ---- Instruction list -----------------------------------------------------------------

TSimplifiedCode* TatScript::AppendInstruction(TInstruction opcode) {
    return AppendInstruction(std::make_unique<TSimplifiedCode>(opcode));
}

TSimplifiedCode* TatScript::AppendInstruction(std::unique_ptr<TSimplifiedCode> instruction) {
    TSimplifiedCode* inst = instruction.release();
    inst->Next = nullptr;
    if (FLastInstruction)
        FLastInstruction->Next = inst;
    else
        FFirstInstruction = inst;
    FLastInstruction = inst;
    ++FCodeLine;
    return inst;
}

// Walks from the first instruction to find the predecessor: meant for the rare insert
// before the last instruction (remove, append the new one, append the removed one).
std::unique_ptr<TSimplifiedCode> TatScript::RemoveLastInstruction() {
    assert(FFirstInstruction && FFirstInstruction != FLastInstruction);
    TSimplifiedCode* previous = FFirstInstruction;
    while (previous->Next != FLastInstruction) previous = previous->Next;
    std::unique_ptr<TSimplifiedCode> last(FLastInstruction);
    previous->Next = nullptr;
    FLastInstruction = previous;
    --FCodeLine;
    return last;
}

void TatScript::DisposeCode(TSimplifiedCode*& first) noexcept {
    while (first) {
        std::unique_ptr<TSimplifiedCode> doomed(first);
        first = first->Next;
    }
}

// ---- Labels -----------------------------------------------------------------------------

int TatScript::RegisterReference(std::string_view name) {
    assert(FLastInstruction);
    TLabelSpec* label = FLabels.FindOrAdd(name);
    if (label->Address >= 0) {
        FLastInstruction->vInteger = static_cast<int32_t>(label->Address + 1);
        return FLastInstruction->vInteger;
    }
    label->Refs.push_back(TAddress{FCodeLine, FLastInstruction});
    return 0;
}

// The label's target is the instruction appended next: references get Address + 1.
void TatScript::DefineReferenceAddress(std::string_view name) {
    TLabelSpec* label = FLabels.FindOrAdd(name);
    label->Address = FCodeLine;
    SolveReference(label);
}

void TatScript::SolveReference(TLabelSpec* label) {
    for (const TAddress& ref : label->Refs) ref.Code->vInteger = static_cast<int32_t>(label->Address + 1);
    label->Refs.clear();
}

// ---- Compile-time stacks ---------------------------------------------------------------------

void TatScript::StackPushDelimitter(TStackType stack) { FStack.Push(stack, Variant::Null()); }

void TatScript::EmptyStackError(TStackType stack) {
    RuntimeError(CompilerMessage(TCompilerMessage::cmEmptyStack, StackTypeName(stack)));
}

Variant TatScript::StackPop(TStackType stack) {
    if (EmptyStack(stack)) EmptyStackError(stack);
    return FStack.Pop(stack);
}

std::string TatScript::StackPopAsString(TStackType stack) { return ScriptValueAsString(StackPop(stack)).ToUtf8(); }
double TatScript::StackPopAsDouble(TStackType stack) { return ScriptValueAsDouble(StackPop(stack)); }
int32_t TatScript::StackPopAsInt(TStackType stack) { return ScriptValueAsInteger(StackPop(stack)); }
bool TatScript::StackPopAsBool(TStackType stack) { return ScriptValueAsBool(StackPop(stack)); }

Variant TatScript::StackView(TStackType stack) {
    if (EmptyStack(stack)) EmptyStackError(stack);
    return FStack.Top(stack)->Element;
}

int32_t TatScript::StackViewAsInt(TStackType stack) { return ScriptValueAsInteger(StackView(stack)); }

bool TatScript::StackDelimitterFound(TStackType stack) { return ScriptValueIsNull(StackView(stack)); }

// ---- Member references ---------------------------------------------------------------------

void TatScript::RelativeGetterRef(const TatProperty* property, TSimplifiedCode* instruction) {
    if (!property) return SetMemberRef(instruction, mrPropertyRead, 0, nullptr, {});
    SetMemberRef(instruction, mrPropertyRead, property->Index(), property->atClass(), property->Name());
}

void TatScript::RelativeSetterRef(const TatProperty* property, TSimplifiedCode* instruction) {
    if (!property) return SetMemberRef(instruction, mrPropertyWrite, 0, nullptr, {});
    SetMemberRef(instruction, mrPropertyWrite, property->Index(), property->atClass(), property->Name());
}

void TatScript::RelativeMethodRef(const TatMethod* method, TSimplifiedCode* instruction) {
    if (!method) return SetMemberRef(instruction, mrMethod, 0, nullptr, {});
    SetMemberRef(instruction, mrMethod, method->Index(), method->atClass(), method->Name());
}

// Packs kind, member position and class position into vSave2. A bare kind marks a member
// bound by name at link time. Positions beyond the 15 bits of their fields would call a
// different member, so they are a compile error (a silent compilation binds by name).
void TatScript::SetMemberRef(TSimplifiedCode* instruction, TMemberRefKind kind, int memberIndex, const TatClass* owner,
                             const std::string& memberName) {
    instruction->vSave1 = 0;
    instruction->vSave2 = kind;
    if (!owner) return;
    int32_t packed = 0;
    if (!TryPackMemberReference(kind, memberIndex, owner->Index(), packed)) {
        CompileError(CompilerMessage(TCompilerMessage::cmMemberOutOfReach, memberName, owner->Name()),
                     ScanningInputPos());
        return;
    }
    instruction->vSave2 = static_cast<intptr_t>(packed);
    instruction->vString2 = ScriptText::FromUtf8(owner->Name());
}

} // namespace vorn::engine
