// The link step: binds each instruction to its handler, turns jump and try positions into
// instruction pointers, counts the try statements each jump leaves, and binds host calls
// to their procedures. A list that would make the machine run off into nowhere (a target
// out of range, a call of something that is not a routine entry, a try statement whose
// parts are out of order) is refused here as an internal error.

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "engine/compiler/ClassRegistry.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/VirtualMachine.h"

namespace vorn::engine {

namespace {

bool HasJumpTarget(TInstruction op) {
    switch (op) {
    case inJumpIfFalse: case inJumpIfTrue: case inJump: case inVarTest: case inVarTestInteger:
    case inVarTestDouble: case inVarTestString: case inVarTestVar: case inCall: case inTestIfFalse:
    case inTestIfTrue:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void BrokenCode(const std::string& what, size_t position) {
    InternalError(what + " at instruction " + std::to_string(position));
}

// One try statement by list positions: protected part [first, handler), handler part
// [handler, end).
struct TTryRegion {
    int32_t first, handler, end;
    bool isExcept;
};

} // namespace

void TatVirtualMachine::SolveAbsoluteAddressing() {
    if (FSolved) return;
    std::vector<TSimplifiedCode*> table;
    for (TSimplifiedCode* p = FFirst; p; p = p->Next) table.push_back(p);
    for (size_t k = 0; k < table.size(); ++k) LinkInstruction(table[k], table, k);
    LinkTryRegions(table);
    FuseSequences(table);
    FSolved = true;
    FFastSolving = true;
}

void TatVirtualMachine::LinkInstruction(TSimplifiedCode* inst, const std::vector<TSimplifiedCode*>& table, size_t k) {
    auto at = [&](int32_t position, const char* what) {
        if (position < 0 || size_t(position) >= table.size()) BrokenCode(std::string(what) + " out of range", k);
        return table[size_t(position)];
    };
    if (inst->OpCode >= InstructionCount) BrokenCode("Unknown opcode", k);
    inst->Compute = HandlerProc(inst->OpCode);
    inst->Dummy = 0;
    if (inst->OpCode == inBreakPoint) return;  // the debugger's own patch keeps its operands
    if (inst->OpCode != inWithObject) inst->vPointer = 0;
    if (HasJumpTarget(inst->OpCode)) {
        inst->vPointer = reinterpret_cast<intptr_t>(at(inst->vInteger, "Jump target"));
        if (inst->OpCode == inCall && table[size_t(inst->vInteger)]->OpCode != inPrepare)
            BrokenCode("Call of an instruction that is not a routine entry", k);
        return;
    }
    switch (inst->OpCode) {
    case inTryFinally:
    case inTryExcept:
        if (inst->vInteger <= int32_t(k) || inst->vInteger2 < inst->vInteger)
            BrokenCode("Try statement with its parts out of order", k);
        inst->vPointer = reinterpret_cast<intptr_t>(at(inst->vInteger, "Handler part"));
        inst->vPointer2 = reinterpret_cast<intptr_t>(at(inst->vInteger2, "End of try statement"));
        return;
    case inPushClass:
    case inCastClass: {
        TatClasses* classes = FHost->Classes();
        if (inst->vInteger >= 0 && classes && inst->vInteger < classes->Count())
            inst->vPointer = reinterpret_cast<intptr_t>(classes->GetItem(inst->vInteger));
        return;
    }
    case inCallProc:
        inst->vPointer = inst->vInteger == -1 ? 0 : static_cast<intptr_t>(FHost->DefaultInstance(inst->vInteger));
        LinkHostCall(inst);
        return;
    case inCallClassProc: {
        TatClasses* classes = FHost->Classes();
        if (inst->vInteger >= 0 && classes && inst->vInteger < classes->Count())
            inst->vPointer = reinterpret_cast<intptr_t>(classes->GetItem(inst->vInteger));
        LinkHostCall(inst);
        return;
    }
    default:
        return;
    }
}

// Binds the procedure of a host call from its packed member reference. The bare kinds
// 1, 2 and 3 go to the late-bound procedures; others are taken by index, then by name.
void TatVirtualMachine::LinkHostCall(TSimplifiedCode* inst) {
    const int32_t packed = static_cast<int32_t>(inst->vSave2);
    const int32_t kind = PackedMemberKind(packed);
    if (inst->OpCode == inCallProc && IsUnresolvedMemberReference(packed)) {
        if (kind == mrPropertyRead) inst->vProc = GenericProc(TMachineProc::Of<&TatVirtualMachine::UndefinedGetterProc>(this));
        if (kind == mrPropertyWrite) inst->vProc = GenericProc(TMachineProc::Of<&TatVirtualMachine::UndefinedSetterProc>(this));
        if (kind == mrMethod) inst->vProc = GenericProc(TMachineProc::Of<&TatVirtualMachine::UndefinedMethodProc>(this));
        return;
    }
    TatClasses* classes = FHost->Classes();
    const std::string className = inst->vString2.ToUtf8();
    const std::string memberName = inst->vString.ToUtf8();
    int32_t classIndex = PackedClassIndex(packed), memberIndex = PackedMemberIndex(packed);
    TatClass* c = nullptr;
    if (classes && classIndex < classes->Count()) c = classes->GetItem(classIndex);
    if (c && !FFastSolving && !className.empty() && c->Name() != className) c = nullptr;
    if (!c && classes) c = classes->ClassByName(className);
    if (!c) RuntimeError("Error in loaded compiled code: Class \"" + className + "\" not registered");
    TMachineProc proc;
    if (kind == mrMethod) {
        TatMethod* m = memberIndex < c->Methods().Count() ? c->Methods().GetItem(memberIndex) : nullptr;
        if (!m || (!FFastSolving && m->Name() != memberName)) m = c->MethodByName(memberName);
        if (!m) RuntimeError("Error in loaded compiled code: Method \"" + className + "." + memberName + "\" not registered");
        proc = m->FProc;
    } else {
        TatProperty* p = memberIndex < c->Properties().Count() ? c->Properties().GetItem(memberIndex) : nullptr;
        if (!p || (!FFastSolving && p->Name() != memberName)) p = c->PropertyByName(memberName);
        if (!p) RuntimeError("Error in loaded compiled code: Property \"" + className + "." + memberName + "\" not registered");
        proc = kind == mrPropertyWrite ? p->FSetter : p->FGetter;
    }
    inst->vProc = GenericProc(proc);
}

// Records in each jump's Dummy the number of try statements it leaves: those whose range
// (protected part for try-except, protected and finally part for try-finally) holds the
// jump but not its target. Regions must nest.
void TatVirtualMachine::LinkTryRegions(const std::vector<TSimplifiedCode*>& table) {
    std::vector<TTryRegion> regions;
    for (size_t k = 0; k < table.size(); ++k) {
        TSimplifiedCode* t = table[k];
        if (t->OpCode != inTryFinally && t->OpCode != inTryExcept) continue;
        bool isExcept = t->OpCode == inTryExcept;
        regions.push_back({int32_t(k) + 1, t->vInteger, t->vInteger2, isExcept});
    }
    if (regions.empty()) return;
    for (size_t k = 0; k < table.size(); ++k) {
        TSimplifiedCode* j = table[k];
        if (j->OpCode != inJump && j->OpCode != inJumpIfFalse && j->OpCode != inJumpIfTrue) continue;
        int32_t from = int32_t(k), to = j->vInteger, count = 0;
        for (const TTryRegion& r : regions) {
            int32_t last = r.isExcept ? r.handler : r.end;
            bool holdsJump = from >= r.first && from < last;
            bool holdsTarget = to >= r.first && to < last;
            if (holdsJump && !holdsTarget) ++count;
        }
        j->Dummy = count;
    }
}

namespace {

bool IsCompare(TInstruction op) {
    return op == inOperLE || op == inOperLess || op == inOperGE || op == inOperGreater || op == inOperEqual ||
           op == inOperNE;
}

// The mask CompareInts tests for a comparison opcode: bit 0 holds for less, bit 1 for
// equal, bit 2 for greater.
uint8_t CompareMask(TInstruction op) {
    switch (op) {
    case inOperLE: return 0b011;
    case inOperLess: return 0b001;
    case inOperGE: return 0b110;
    case inOperGreater: return 0b100;
    case inOperEqual: return 0b010;
    default: return 0b101;
    }
}

bool IsArith(TInstruction op) { return op == inOperAdd || op == inOperSub || op == inOperMul || op == inOperSlash; }

} // namespace

// The range of frame slots the fused sequence headed by `head` reads and writes.
void TatVirtualMachine::SpanFusedSlots(TSimplifiedCode& head) {
    TSimplifiedCode::TFusedOperands& f = head.Fuse;
    auto span = [&f](std::initializer_list<int32_t> slots) {
        f.Low = std::min(slots);
        f.High = std::max(slots);
    };
    switch (head.Fused) {
    case fuThreeOpStore: f.CIsSlot ? span({f.A, f.B, f.C, f.X}) : span({f.A, f.B, f.X}); break;
    case fuCompareJump: case fuVarVarOp: span({f.A, f.B}); break;
    case fuVarConstOpStore: case fuNegStore: span({f.A, f.X}); break;
    case fuPushVarMod: case fuVarConstOp: case fuCompareConstJump: span({f.A}); break;
    case fuStepJump: case fuAddStore: case fuStorePush: span({f.X}); break;
    default: break;
    }
}

// Marks the heads of the hot sequences loops compile to. A sequence is fused only when
// its jumps leave no try statement; entering it in the middle (a jump target there) runs
// the plain instructions, since only the head is marked.
void TatVirtualMachine::FuseSequences(const std::vector<TSimplifiedCode*>& table) {
    const size_t n = table.size();
    // Try boundaries (where the machine watches for the end of a part) are never skipped.
    std::vector<bool> boundary(n + 4, false);
    for (TSimplifiedCode* t : table)
        if (t->OpCode == inTryFinally || t->OpCode == inTryExcept) {
            boundary[size_t(t->vInteger)] = true;
            boundary[size_t(t->vInteger2)] = true;
        }
    // Nor is a jump target inside a sequence (its head may be one).
    std::vector<bool> jumpedTo(n + 4, false);
    for (TSimplifiedCode* t : table)
        if (HasJumpTarget(t->OpCode) && t->vInteger >= 0 && size_t(t->vInteger) < n) jumpedTo[size_t(t->vInteger)] = true;
    auto op = [&](size_t k) {
        return k < n && !boundary[k] ? table[k]->OpCode : TInstruction(InstructionCount);
    };
    auto inner = [&](size_t k) { return k < n && !jumpedTo[k] ? op(k) : TInstruction(InstructionCount); };
    auto at = [&](size_t k) { return table[k]; };
    auto constant = [](const TSimplifiedCode* c) {
        return c->OpCode == inPushDouble ? Variant::FromDouble(c->vDouble)
                                         : BigIntToScriptValue(c->valueUInt64, c->vByte != 0);
    };
    for (size_t k = 0; k < n; ++k) {
        TSimplifiedCode* i = table[k];
        i->Fused = 0;
        i->Fuse = TSimplifiedCode::TFusedOperands{};
        TSimplifiedCode::TFusedOperands& f = i->Fuse;
        const TInstruction third = inner(k + 2);
        if (op(k) == inPushVar && inner(k + 1) == inPushVar &&
            (third == inPushVar || third == inPushInteger || third == inPushDouble) &&
            (IsArith(inner(k + 3)) || inner(k + 3) == inOperMod) && IsArith(inner(k + 4)) && inner(k + 5) == inStoreVar) {
            i->Fused = fuThreeOpStore;
            f.A = i->vInteger;
            f.B = at(k + 1)->vInteger;
            f.CIsSlot = third == inPushVar;
            if (f.CIsSlot) f.C = at(k + 2)->vInteger;
            else f.Constant = constant(at(k + 2));
            f.Op = at(k + 3)->OpCode;
            f.Op2 = at(k + 4)->OpCode;
            f.X = at(k + 5)->vInteger;
            f.Exit = at(k + 5)->Next;
        } else if (op(k) == inPushVar && inner(k + 1) == inPushVar && IsCompare(inner(k + 2)) && inner(k + 3) == inJumpIfFalse &&
            table[k + 3]->Dummy == 0) {
            i->Fused = fuCompareJump;
            f.A = i->vInteger;
            f.B = at(k + 1)->vInteger;
            f.Op = CompareMask(at(k + 2)->OpCode);
            f.Exit = at(k + 3)->Next;
            f.Target = reinterpret_cast<TSimplifiedCode*>(at(k + 3)->vPointer);
        } else if (op(k) == inPushInteger && inner(k + 1) == inPushVar && inner(k + 2) == inOperAdd && inner(k + 3) == inJump &&
                   table[k + 3]->Dummy == 0) {
            auto* target = reinterpret_cast<TSimplifiedCode*>(table[k + 3]->vPointer);
            if (target && target->OpCode == inStoreVar && target->vInteger == table[k + 1]->vInteger) {
                i->Fused = fuStepJump;
                f.Constant = constant(i);
                f.X = target->vInteger;
                f.Target = target->Next;
            }
        } else if (op(k) == inPushVar && inner(k + 1) == inPushInteger && inner(k + 2) == inOperMod) {
            i->Fused = fuPushVarMod;
            f.A = i->vInteger;
            f.Constant = constant(at(k + 1));
            f.Exit = at(k + 2)->Next;
        } else if (op(k) == inOperAdd && inner(k + 1) == inStoreVar) {
            i->Fused = fuAddStore;
            f.X = at(k + 1)->vInteger;
            f.Exit = at(k + 1)->Next;
        } else if (op(k) == inPushVar && inner(k + 1) == inPushVar && IsArith(inner(k + 2))) {
            i->Fused = fuVarVarOp;
            f.A = i->vInteger;
            f.B = at(k + 1)->vInteger;
            f.Op = at(k + 2)->OpCode;
            f.Exit = at(k + 2)->Next;
        } else if (op(k) == inPushVar && (inner(k + 1) == inPushInteger || inner(k + 1) == inPushDouble) &&
                   IsArith(inner(k + 2)) && inner(k + 3) == inStoreVar) {
            i->Fused = fuVarConstOpStore;
            f.A = i->vInteger;
            f.Constant = constant(at(k + 1));
            f.Op = at(k + 2)->OpCode;
            f.X = at(k + 3)->vInteger;
            f.Exit = at(k + 3)->Next;
        } else if (op(k) == inPushVar && inner(k + 1) == inOperNeg && inner(k + 2) == inStoreVar) {
            i->Fused = fuNegStore;
            f.A = i->vInteger;
            f.X = at(k + 2)->vInteger;
            f.Exit = at(k + 2)->Next;
        } else if (op(k) == inPushVar && (inner(k + 1) == inPushInteger || inner(k + 1) == inPushDouble) &&
                   IsArith(inner(k + 2))) {
            i->Fused = fuVarConstOp;
            f.A = i->vInteger;
            f.Constant = constant(at(k + 1));
            f.Op = at(k + 2)->OpCode;
            f.Exit = at(k + 2)->Next;
        } else if (op(k) == inStoreVar && inner(k + 1) == inPushVar && table[k + 1]->vInteger == i->vInteger) {
            i->Fused = fuStorePush;
            f.X = i->vInteger;
            f.Exit = at(k + 1)->Next;
        } else if (op(k) == inPushVar && inner(k + 1) == inPushInteger && IsCompare(inner(k + 2)) &&
                   inner(k + 3) == inJumpIfFalse && table[k + 3]->Dummy == 0) {
            i->Fused = fuCompareConstJump;
            f.A = i->vInteger;
            f.Constant = constant(at(k + 1));
            f.Op = CompareMask(at(k + 2)->OpCode);
            f.Exit = at(k + 3)->Next;
            f.Target = reinterpret_cast<TSimplifiedCode*>(at(k + 3)->vPointer);
        }
        SpanFusedSlots(*i);
        i->Dispatch = i->Fused != 0 ? i->Fused : uint8_t(i->OpCode);
    }
    // A for-loop step runs its loop test in place: one range check covers both.
    for (TSimplifiedCode* i : table) {
        if (i->Fused != fuStepJump || i->Fuse.Target == nullptr || i->Fuse.Target->Fused != fuCompareJump) continue;
        const TSimplifiedCode::TFusedOperands& test = i->Fuse.Target->Fuse;
        i->Fuse.Low = std::min(i->Fuse.Low, test.Low);
        i->Fuse.High = std::max(i->Fuse.High, test.High);
    }
}

} // namespace vorn::engine
