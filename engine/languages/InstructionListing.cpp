// The instruction listing: operands are shown by what each opcode keeps in them (the
// overlaid operand holds an integer, a real, two indexes or a member reference).

#include "engine/languages/InstructionListing.h"

#include <cstdio>

namespace vorn::engine {

namespace {

enum class TOverlay { None, Int64, Double, TwoIndexes, SecondIndex, MemberRef };

TOverlay OverlayOf(TInstruction op) {
    switch (op) {
    case inPushInteger: case inStoreVarInteger: case inStoreVarRefInteger: return TOverlay::Int64;
    case inPushDouble: case inStoreVarDouble: case inStoreVarRefDouble: return TOverlay::Double;
    case inStoreVarString: case inStoreVarRefString: case inStoreVarConst: case inStoreVarRefConst:
    case inCopyVar: case inCopyVarRef: return TOverlay::TwoIndexes;
    case inPushVarByRef: case inPushGlobalVarByRef: case inVarTest: case inVarTestInteger: case inVarTestDouble:
    case inVarTestString: case inVarTestVar: case inTryFinally: case inTryExcept: return TOverlay::SecondIndex;
    case inCallProc: case inCallClassProc: return TOverlay::MemberRef;
    default: return TOverlay::None;
    }
}

void AddField(std::string& text, const char* name, long long value) {
    if (value != 0) text += std::string(" ") + name + "=" + std::to_string(value);
}

void AddOverlay(std::string& text, const TSimplifiedCode& inst) {
    switch (OverlayOf(inst.OpCode)) {
    case TOverlay::Int64:
        text += inst.vByte == 1 ? " u64=" + std::to_string(inst.valueUInt64) : " i64=" + std::to_string(inst.valueInt64);
        return;
    case TOverlay::Double: {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, " dbl=%.17g", inst.vDouble);
        text += buffer;
        return;
    }
    case TOverlay::TwoIndexes:
        AddField(text, "vInteger2", inst.vInteger2);
        AddField(text, "vInteger3", inst.vInteger3);
        return;
    case TOverlay::SecondIndex: AddField(text, "vInteger2", inst.vInteger2); return;
    case TOverlay::MemberRef: AddField(text, "ref", static_cast<long long>(inst.vSave2)); return;
    case TOverlay::None: return;
    }
}

} // namespace

std::string InstructionText(const TSimplifiedCode& inst) {
    std::string text = InstructionName(inst.OpCode);
    if (OverlayOf(inst.OpCode) != TOverlay::Int64) AddField(text, "vByte", inst.vByte);
    AddField(text, "vSmallInt", inst.vSmallInt);
    AddField(text, "vInteger", inst.vInteger);
    AddField(text, "vInteger1", inst.vInteger1);
    AddOverlay(text, inst);
    if (inst.vString.Length() > 0) text += " '" + inst.vString.ToUtf8() + "'";
    if (inst.vString2.Length() > 0) text += " class='" + inst.vString2.ToUtf8() + "'";
    return text;
}

std::string InstructionListing(const TSimplifiedCode* first) {
    std::string listing;
    int index = 0;
    for (const TSimplifiedCode* inst = first; inst; inst = inst->Next, ++index) {
        char number[16];
        std::snprintf(number, sizeof number, "%4d ", index);
        listing += number + InstructionText(*inst) + "\n";
    }
    return listing;
}

} // namespace vorn::engine
