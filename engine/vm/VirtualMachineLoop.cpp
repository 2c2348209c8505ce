// The interpreter loop: dispatch by a switch over the opcode byte (the hot handlers are
// compiled in place), explicit call frames instead of native recursion, the try-handler
// stack, the debugger checks after an instruction, and the handling of failures.

#include "engine/compiler/ScripterErrors.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/VirtualMachineInline.h"

namespace vorn::engine {

namespace {

// The Compute thunk of each opcode: calls the handler of the machine bound as object.
template <void (TatVirtualMachine::*Handler)()>
void CallHandler(void* machine) {
    (static_cast<TatVirtualMachine*>(machine)->*Handler)();
}

constexpr TGenericProc::Code HandlerCodes[InstructionCount] = {
#define VORN_INSTRUCTION(Name, Number, Handler) &CallHandler<&TatVirtualMachine::Handler>,
#include "engine/vm/Instructions.def"
};

// Opcodes whose handlers never change the next instruction nor call out of the machine:
// the loop then takes their successor straight from the list instead of through the
// machine's register (a shorter dependency chain per instruction).
constexpr bool IsPlainOp(TInstruction op) {
    switch (op) {
    case inPrepare: case inPushInteger: case inPushDouble: case inPushVar: case inPushGlobalVar:
    case inStoreVar: case inStoreGlobalVar: case inStoreVarInteger: case inStoreVarDouble: case inCopyVar:
    case inOperAdd: case inOperSub: case inOperMul: case inOperSlash: case inOperDiv: case inOperMod:
    case inOperNeg: case inOperNE: case inOperGE: case inOperLE: case inOperEqual: case inOperGreater:
    case inOperLess: case inPushOutput: case inStoreInput:
        return true;
    default:
        return false;
    }
}

} // namespace

TGenericProc TatVirtualMachine::HandlerProc(TInstruction op) {
    return TGenericProc{HandlerCodes[op < InstructionCount ? op : inExecFun], this};
}

void TatVirtualMachine::StackOverflow() { RuntimeError("Stack overflow"); }
void TatVirtualMachine::StackUnderflow() { RuntimeError("Stack underflow"); }

// Runs the routine whose entry is FCurrentInstruction with `argc` arguments pushed, until
// it returns; returns the number of values it left above its frame base.
int32_t TatVirtualMachine::ExecProcess(int32_t argc) {
    int32_t baseFrame = FFrameCount;
    int32_t baseHandler = static_cast<int32_t>(FHandlers.size());
    TSimplifiedCode* entry = FCurrentInstruction;
    FNextInstruction = nullptr;
    EnterCall(entry, argc);
    FCurrentInstruction = entry;
    for (;;) {
        try {
            RunLoop(baseFrame, baseHandler);
            return FLastReturnCount;
        } catch (const platform::Exception& e) {
            HandleFault(e, baseFrame, baseHandler);
        } catch (...) {
            DropHandlers(baseHandler);
            UnwindFrames(baseFrame);
            throw;
        }
    }
}

// The dispatch loop; returns when the routine entered at `baseFrame` has returned or the
// run was halted. Dispatch is threaded (each handler ends in its own indirect jump, so the
// branch predictor learns the successor of every opcode). The one test after each handler
// covers returns, try boundaries and the debugger flags together. A fused head runs its
// sequence in one step; when its operands are not plain integers or doubles it runs as the
// single instruction it is. Debugging runs unfused.
void TatVirtualMachine::RunLoop(int32_t baseFrame, int32_t baseHandler) {
    void* table[256];
    for (void*& entry : table) entry = &&op_default;
#define VORN_INSTRUCTION(Name, Number, Handler) table[Number] = &&op_##Name;
#include "engine/vm/Instructions.def"
    table[fuCompareJump] = &&op_fuCompareJump;
    table[fuStepJump] = &&op_fuStepJump;
    table[fuPushVarMod] = &&op_fuPushVarMod;
    table[fuAddStore] = &&op_fuAddStore;
    table[fuVarVarOp] = &&op_fuVarVarOp;
    table[fuVarConstOpStore] = &&op_fuVarConstOpStore;
    table[fuNegStore] = &&op_fuNegStore;
    table[fuVarConstOp] = &&op_fuVarConstOp;
    table[fuCompareConstJump] = &&op_fuCompareConstJump;
    table[fuThreeOpStore] = &&op_fuThreeOpStore;
    table[fuStorePush] = &&op_fuStorePush;
    table[inRet] = &&op_ReturnToCaller;
    TSimplifiedCode* inst = FCurrentInstruction;

// Dispatches `inst` while nothing watches the run (its fused sequence if it heads one),
// or after the slow path, where the debugger or a hook may be watching (then unfused).
#define VORN_VM_DISPATCH() goto* table[inst->Dispatch]
#define VORN_VM_DISPATCH_CHECKED() goto* table[FAttention == 0 ? unsigned(inst->Dispatch) : unsigned(inst->OpCode)]
// Goes on at `next`, through the slow path at a return, a try boundary or when the
// debugger or a hook wants to look.
#define VORN_VM_GO(nextInstruction)                                                                \
    do {                                                                                           \
        TSimplifiedCode* next_ = (nextInstruction);                                                \
        if (next_ == FStopInstruction || next_ == nullptr || FAttention != 0) {                    \
            FNextInstruction = next_;                                                              \
            if (!AfterInstruction(baseFrame, baseHandler)) return;                                 \
            inst = FCurrentInstruction = FNextInstruction;                                         \
            VORN_VM_DISPATCH_CHECKED();                                                            \
        }                                                                                          \
        inst = FCurrentInstruction = next_;                                                        \
        VORN_VM_DISPATCH();                                                                        \
    } while (false)

    VORN_VM_DISPATCH_CHECKED();
// Plain handlers go on at the successor; the others may change FNextInstruction.
#define VORN_INSTRUCTION(Name, Number, Handler) \
    op_##Name:                                  \
    if (IsPlainOp(Name)) {                      \
        Handler();                              \
        VORN_VM_GO(inst->Next);                 \
    }                                           \
    FNextInstruction = inst->Next;              \
    Handler();                                  \
    VORN_VM_GO(FNextInstruction);
#include "engine/vm/Instructions.def"
#define VORN_VM_FUSED_STEP(Kind, Handler, Head)                                                    \
    op_##Kind : {                                                                                  \
        TSimplifiedCode* next = Handler(inst);                                                     \
        if (next == nullptr) {                                                                     \
            FNextInstruction = inst->Next;                                                         \
            Head();                                                                                \
            next = FNextInstruction;                                                               \
        }                                                                                          \
        VORN_VM_GO(next);                                                                          \
    }
    VORN_VM_FUSED_STEP(fuCompareJump, FusedCompareJump, _PushVar)
    VORN_VM_FUSED_STEP(fuStepJump, FusedStepJump, _PushInteger)
    VORN_VM_FUSED_STEP(fuPushVarMod, FusedPushVarMod, _PushVar)
    VORN_VM_FUSED_STEP(fuAddStore, FusedAddStore, _OperAdd)
    VORN_VM_FUSED_STEP(fuVarVarOp, FusedVarVarOp, _PushVar)
    VORN_VM_FUSED_STEP(fuVarConstOpStore, FusedVarConstOpStore, _PushVar)
    VORN_VM_FUSED_STEP(fuNegStore, FusedNegStore, _PushVar)
    VORN_VM_FUSED_STEP(fuVarConstOp, FusedVarConstOp, _PushVar)
    VORN_VM_FUSED_STEP(fuCompareConstJump, FusedCompareConstJump, _PushVar)
    VORN_VM_FUSED_STEP(fuThreeOpStore, FusedThreeOpStore, _PushVar)
    VORN_VM_FUSED_STEP(fuStorePush, FusedStorePush, _StoreVar)
#undef VORN_VM_FUSED_STEP
// A return from a routine called inside this loop, with no try statement of the routine
// still active, goes straight back to the caller; halts, finally parts still to run, the
// debugger and the end of the loop's own routine take the general path.
op_ReturnToCaller:
    if (FAttention == 0 && !FHalted && FFrameCount > baseFrame + 1 &&
        (FHandlers.empty() || FHandlers.back().FFrame != FFrameCount)) {
        LeaveCall();
        VORN_VM_GO(FNextInstruction);
    }
    FNextInstruction = nullptr;
    VORN_VM_GO(nullptr);
op_default:
    FNextInstruction = inst->Next;
    _ExecFun();
    VORN_VM_GO(FNextInstruction);
#undef VORN_VM_GO
#undef VORN_VM_DISPATCH_CHECKED
#undef VORN_VM_DISPATCH
}

// The slow path after an instruction: debugger checks, the end of a protected or finally
// part, and returns. False when the loop of `baseFrame` ends.
bool TatVirtualMachine::AfterInstruction(int32_t baseFrame, int32_t baseHandler) {
    if (FAttention != 0) RunDebugChecks();
    for (;;) {
        TSimplifiedCode* next = FNextInstruction;
        if (next == nullptr) {
            if (FHalted) {
                DropHandlers(baseHandler);
                UnwindFrames(baseFrame);
                FNextInstruction = nullptr;
                FCurrentInstruction = nullptr;
                return false;
            }
            int32_t pending = HandlersOfFrame(baseHandler);
            if (pending > 0) {
                LeaveTryStatements(nullptr, pending, true);
                continue;
            }
            LeaveCall();
            if (FFrameCount <= baseFrame) return false;
            continue;
        }
        if (next != FStopInstruction || FHandlers.empty()) return true;
        THandler& h = FHandlers.back();
        if (h.FFrame != FFrameCount) return true;
        if (h.FInFinally) {
            FinishFinally();
            continue;
        }
        if (h.FIsExcept) {
            // The protected part ran to its end: skip the except part.
            TSimplifiedCode* end = h.FEnd;
            --FInTryExcept;
            PopHandler();
            FNextInstruction = end;
            continue;
        }
        // The protected part of a try-finally ran to its end: run the finally part.
        h.FInFinally = true;
        h.FPending = TPending::None;
        ClearLastFailure();
        UpdateStopInstruction();
        return true;
    }
}

void TatVirtualMachine::RunDebugChecks() {
    if (FAutoPause && LineNumberFromInstruction(FNextInstruction) + 1 != FAutoPauseCurLine &&
        FDebugStackLevel <= FMaxPauseStackLevel) {
        FPaused = true;
        FAutoPause = false;
        FAttention = (FAttention | atPaused) & ~uint32_t(atAutoPause);
    }
    if (FPaused && FOnDebugHook) FOnDebugHook(this);
    if (FCallExecHookEvent && FOnExecHook) FOnExecHook(this);
}

// Hands a failure to the innermost try statement of this loop, or passes it outward
// (wrapped once into a runtime error when no script handler will see it).
void TatVirtualMachine::HandleFault(const platform::Exception& e, int32_t baseFrame, int32_t baseHandler) {
    std::exception_ptr error = std::current_exception();
    bool wrapped = dynamic_cast<const EatScripterRuntime*>(&e) != nullptr ||
                   dynamic_cast<const platform::EAbort*>(&e) != nullptr;
    // A failure carried through a finally part was recorded when it happened.
    if (!FRethrowing) RecordFailure(e);
    FRethrowing = false;
    if (!wrapped && FInTryExcept == 0) {
        try {
            WrapFailure(e);
        } catch (...) {
            error = std::current_exception();
        }
    }
    while (static_cast<int32_t>(FHandlers.size()) > baseHandler) {
        THandler& h = FHandlers.back();
        if (h.FInFinally) {
            // A failure inside a finally part replaces what the part was to do next.
            PopHandler();
            continue;
        }
        UnwindFrames(h.FFrame);
        FStackTop = h.FStackTop;
        FTempStackTop = h.FTempStackTop;
        if (h.FIsExcept) {
            TSimplifiedCode* part = h.FHandlerPart;
            --FInTryExcept;
            PopHandler();
            FCurrentInstruction = part;
            return;
        }
        h.FInFinally = true;
        h.FPending = TPending::Rethrow;
        h.FPendingError = error;
        UpdateStopInstruction();
        FCurrentInstruction = h.FHandlerPart;
        return;
    }
    UnwindFrames(baseFrame);
    std::rethrow_exception(error);
}

void TatVirtualMachine::UnwindFrames(int32_t toFrame) {
    bool halted = FHalted;
    while (FFrameCount > toFrame) LeaveCall();
    FHalted = halted;
}

int32_t TatVirtualMachine::HandlersOfFrame(int32_t baseHandler) const {
    int32_t n = 0;
    for (int32_t i = static_cast<int32_t>(FHandlers.size()) - 1; i >= baseHandler; --i) {
        if (FHandlers[size_t(i)].FFrame != FFrameCount) break;
        ++n;
    }
    return n;
}

void TatVirtualMachine::DropHandlers(int32_t baseHandler) {
    while (static_cast<int32_t>(FHandlers.size()) > baseHandler) {
        if (FHandlers.back().FIsExcept) --FInTryExcept;
        PopHandler();
    }
}

// ---- Try statements -------------------------------------------------------------------------

void TatVirtualMachine::PushHandler(bool isExcept) {
    if (static_cast<int32_t>(FHandlers.size()) >= MaxTryDepth) RuntimeError("Too many nested try statements");
    const TSimplifiedCode* i = FCurrentInstruction;
    THandler h;
    h.FHandlerPart = reinterpret_cast<TSimplifiedCode*>(i->vPointer);
    h.FEnd = reinterpret_cast<TSimplifiedCode*>(i->vPointer2);
    h.FStackTop = FStackTop;
    h.FTempStackTop = FTempStackTop;
    h.FFrame = FFrameCount;
    h.FIsExcept = isExcept;
    FHandlers.push_back(std::move(h));
    if (isExcept) ++FInTryExcept;
    UpdateStopInstruction();
}

void TatVirtualMachine::PopHandler() {
    FHandlers.pop_back();
    UpdateStopInstruction();
}

void TatVirtualMachine::UpdateStopInstruction() {
    if (FHandlers.empty()) {
        FStopInstruction = nullptr;
        return;
    }
    const THandler& h = FHandlers.back();
    FStopInstruction = h.FInFinally ? h.FEnd : h.FHandlerPart;
}

// Leaves `count` try statements of the running routine towards `target` (a return when
// `isReturn`): except handlers are dropped, the first finally part not yet running is
// started with the rest of the way as its pending action.
void TatVirtualMachine::LeaveTryStatements(TSimplifiedCode* target, int32_t count, bool isReturn) {
    while (count > 0 && !FHandlers.empty() && FHandlers.back().FFrame == FFrameCount) {
        THandler& h = FHandlers.back();
        --count;
        if (h.FIsExcept || h.FInFinally) {
            if (h.FIsExcept) --FInTryExcept;
            PopHandler();
            continue;
        }
        h.FInFinally = true;
        h.FPending = isReturn ? TPending::Return : TPending::Jump;
        h.FPendingTarget = target;
        h.FPendingCount = count;
        ClearLastFailure();
        UpdateStopInstruction();
        FNextInstruction = h.FHandlerPart;
        return;
    }
    FNextInstruction = target;
}

// A finally part reached its end: carry out what was pending when it started.
void TatVirtualMachine::FinishFinally() {
    THandler h = std::move(FHandlers.back());
    PopHandler();
    switch (h.FPending) {
    case TPending::None: FNextInstruction = h.FEnd; break;
    case TPending::Rethrow:
        FRethrowing = true;
        std::rethrow_exception(h.FPendingError);
    case TPending::Jump: LeaveTryStatements(h.FPendingTarget, h.FPendingCount, false); break;
    case TPending::Return: LeaveTryStatements(nullptr, h.FPendingCount, true); break;
    }
}

void TatVirtualMachine::ClearLastFailure() {
    FLastExceptionMessage.clear();
    FLastExceptionClassName.clear();
    FLastExceptionLine = FLastExceptionCol = FLastExceptionHelpContext = 0;
}

void TatVirtualMachine::_TryFinally() { PushHandler(false); }
void TatVirtualMachine::_TryExcept() { PushHandler(true); }

} // namespace vorn::engine
