// Builds an instruction list from its input (eight bytes per instruction: opcode, vByte,
// vInteger, vInteger2, vInteger3, a constant and two spare bytes), links it and runs the
// main block with a step limit and a heap budget (one instruction can double a text, so
// steps alone do not bound memory). Link errors, runtime errors and the limits are
// expected outcomes; crashes, leaks and undefined behaviour are not.

#include <cstddef>
#include <cstdint>

#include <sanitizer/allocator_interface.h>

#include "engine/vm/EngineErrors.h"
#include "engine/vm/SimplifiedCode.h"
#include "engine/vm/VirtualMachine.h"
#include "platform/Exceptions.h"

using namespace vorn::engine;

namespace {

constexpr size_t RecordSize = 8;
constexpr size_t MaxInstructions = 512;
constexpr int MaxSteps = 20000;
// Heap in use past which a run halts: an eighth of the 2 GB the fuzzer runs with, as the
// next step may double the largest text once more.
constexpr size_t MaxHeapBytes = size_t(256) << 20;

void Build(TSimplifiedCodeList& list, const uint8_t* data, size_t size) {
    list.Append(inPrepare)->vInteger = 2;  // the main block's entry
    for (size_t at = 0; at + RecordSize <= size && list.Count() < int(MaxInstructions); at += RecordSize) {
        const uint8_t* r = data + at;
        auto op = static_cast<TInstruction>(r[0] % InstructionCount);
        // Host calls need a registry and breakpoints the debugger: neither is fuzzed here.
        if (op == inCallProc || op == inCallClassProc || op == inBreakPoint) op = inDrop;
        TSimplifiedCode* i = list.Append(op);
        i->vByte = r[1] % 8;
        i->vInteger = static_cast<int8_t>(r[2]);
        i->vInteger2 = static_cast<int8_t>(r[3]);
        i->vInteger3 = static_cast<int8_t>(r[4]);
        if (op == inPushInteger || op == inStoreVarInteger || op == inStoreVarRefInteger)
            i->valueInt64 = static_cast<int8_t>(r[5]);
        if (op == inPushDouble || op == inStoreVarDouble || op == inStoreVarRefDouble || op == inVarTestDouble)
            i->vDouble = static_cast<int8_t>(r[5]) / 4.0;
        if (op == inVarTestDouble) i->vInteger1 = static_cast<int8_t>(r[6]);
        if (r[7] & 1) i->vString = ScriptText::FromUtf8("ab");
        i->vDebugInfo = PackSourcePosition(list.Count(), 1);
    }
    list.Append(inRet);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StartEngineValues();
    TSimplifiedCodeList list;
    Build(list, data, size);
    TatVirtualMachine machine;
    machine.SetCode(list.First());
    int steps = 0;
    machine.FOnExecHook = [&steps](TatVirtualMachine* m) {
        if (++steps > MaxSteps || __sanitizer_get_current_allocated_bytes() > MaxHeapBytes) m->Halt();
    };
    machine.SetCallExecHookEvent(true);
    try {
        machine.Execute();
        machine.Execute();  // a second run must start clean after whatever the first did
    } catch (const vorn::platform::Exception&) {
    }
    return 0;
}
