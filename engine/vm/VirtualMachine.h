#pragma once
// The virtual machine (`TatVirtualMachine`): links a script's instruction list, keeps the
// globals, routine frames and temporaries on one fixed value stack, runs the interpreter
// loop, and serves host procedures through its host-argument interface.
//
// Code-generator contract for control flow (what the machine expects of emitted code):
// - Jumps hold the 0-based list position of their target in vInteger; the link step turns
//   it into vPointer and refuses (internal error) a target outside the list or a call
//   whose target is not an inPrepare.
// - A try statement is: inTryFinally/inTryExcept (vInteger = position of the handler
//   part, vInteger2 = position of the first instruction after the statement), the
//   protected statements, the handler part, the instruction after. The protected part
//   simply runs into the handler part: no jump is emitted between them; the machine
//   notices the end of the protected part (and of a finally part) by position.
// - break, continue and exit out of a protected part (or out of a handler part) are
//   plain inJump to the target. The link step counts how many try statements each jump
//   leaves (kept in the jump's Dummy field); at run time the jump runs the finally parts
//   of those statements once, innermost first, drops their except handlers, and goes on
//   at the target. An inRet inside a protected part runs the pending finally parts of
//   its routine before leaving. Try statements keep no native stack: a loop with
//   `continue` inside a try runs in constant native and handler depth.

#include <array>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/vm/MachineProc.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/SimplifiedCode.h"
#include "engine/vm/Variant.h"
#include "platform/Exceptions.h"

namespace vorn::engine {

class TatClasses;
class TatClass;

// What a machine needs from the script that owns it. The scripter's script implements
// it; without one the machine reports runtime errors itself (tests, tools).
class TatMachineHost {
public:
    virtual ~TatMachineHost() = default;
    // Reports a runtime error of the machine with the 1-based position of its current
    // instruction (0, 0 for none); must raise (EatScripterRuntime, or a silent abort).
    [[noreturn]] virtual void RuntimeError(TatVirtualMachine* machine, const std::string& message, int row, int col);
    // The class registry that host calls are bound against at link time (may be null).
    virtual TatClasses* Classes() { return nullptr; }
    // The object reference of default instance `index` (>= 0 the scripter's, < -1 the
    // script's own as -index - 2); 0 when there is none.
    virtual int64_t DefaultInstance(int32_t) { return 0; }
    // Called before every run with the routine name ("" for the main block).
    virtual void BeforeExecute(TatVirtualMachine*, std::string_view) {}
    // Called before the machine links and runs its code: the owner compiles the code when
    // it is not compiled and packs its source positions.
    virtual void PrepareCode(TatVirtualMachine*) {}
    // Whether the owner has a routine `name` (ignoring case); without symbols, every name.
    virtual bool HasRoutine(std::string_view) { return true; }
    // Called when a top-level run starts or ends.
    virtual void RunningChanged(TatVirtualMachine*) {}
};

class TatVirtualMachine;

// A machine class: how a script creates the machines it owns (the debugger's machine
// derives from TatVirtualMachine and registers its own class).
struct TatVirtualMachineClass {
    const char* ClassName;
    std::unique_ptr<TatVirtualMachine> (*Create)(TatMachineHost* host);
};

class TatVirtualMachine {
public:
    // The class of the plain machine.
    static const TatVirtualMachineClass* Class();

    // Limits. The value stack and side stack sizes are fixed by compiled code's
    // expectations; the call-depth limit ends runaway recursion (with or without locals)
    // as a runtime error long before any native limit.
    static constexpr int32_t StackSize = 3000;
    static constexpr int32_t TempStackSize = 50;
    static constexpr int32_t MaxCallDepth = 2000;
    static constexpr int32_t MaxTryDepth = 256;

    explicit TatVirtualMachine(TatMachineHost* host = nullptr);
    ~TatVirtualMachine();
    TatVirtualMachine(const TatVirtualMachine&) = delete;
    TatVirtualMachine& operator=(const TatVirtualMachine&) = delete;

    // ---- Code and linking ---------------------------------------------------------------
    // The instruction list to run (owned by the script); clears the linked state.
    void SetCode(TSimplifiedCode* first);
    TSimplifiedCode* FirstInstruction() const { return FFirst; }
    // Links the list once: handlers, jump targets, try layouts, host members. A broken
    // list (target out of range, call of a non-entry, bad try layout) is an internal error.
    void SolveAbsoluteAddressing();
    bool Solved() const { return FSolved; }
    void SetFastSolving(bool value) { FFastSolving = value; }

    // ---- Running ----------------------------------------------------------------------
    // Runs routine `name` (main block when empty) with `Input` as arguments: Null none,
    // an array its elements, anything else one argument. Returns the run's result.
    Variant ExecuteSubroutine(std::string_view name, const Variant& Input);
    Variant ExecuteSubroutine(std::string_view name) { return ExecuteSubroutine(name, Variant::Null()); }
    // Runs `name` with host arguments; `byRef[i]` passes a reference to args[i] instead
    // of a copy, so the routine writes into the host's array.
    Variant IntExecuteSubroutine(std::string_view name, std::vector<Variant>& args, const std::vector<bool>& byRef = {});
    Variant Execute(const Variant& Input) { return ExecuteSubroutine({}, Input); }
    Variant Execute() { return Execute(Variant::Null()); }
    // Runs the global part once (the code before the first inPrepare).
    void InitializeScript();
    // The first inPrepare whose routine name equals `name` ignoring case; raises the
    // runtime error "Subroutine '%s' does not exist in script" when none.
    TSimplifiedCode* EntryPoint(std::string_view name);
    // Stops the run: every level returns normally; new runs are refused until then.
    void Halt();
    void CheckHalted() const;
    // Forgets globals, breakpoints' state of the run and the initialisation.
    void Clear();
    bool Running() const { return FRunning; }
    bool Halted() const { return FHalted; }
    bool Initialized() const { return FInitialized; }
    int32_t InitialStackTop() const { return FInitialStackTop; }

    // ---- Debugger flags (tested after every instruction through one word) -------------
    bool Paused() const { return FPaused; }
    void SetPaused(bool value);
    void SetCallExecHookEvent(bool value);
    void SetAutoPause(bool value, int32_t curLine, int32_t maxStackLevel);
    std::function<void(TatVirtualMachine*)> FOnExecHook;
    std::function<void(TatVirtualMachine*)> FOnPauseChanged;
    std::function<void(TatVirtualMachine*)> FOnDebugHook;

    // ---- Host-argument interface ------------------------------------------------------
    int InputArgCount() const { return FCurrentInstruction ? FCurrentInstruction->vByte : 0; }
    Variant GetInputArg(int i) const;
    // The same argument without a copy: the value a reference argument refers to, or an
    // empty value for a slot off the stack. Valid until the stack changes.
    const Variant& PeekInputArg(int i) const {
        static const Variant empty;
        const int32_t slot = FCurrentInputArgBase + i;
        if (slot < 0 || slot >= StackSize) return empty;
        const Variant& v = FProcStack[size_t(slot)];
        return v.IsRef() ? DerefPValue(v) : v;
    }
    std::string GetInputArgAsString(int i) const;
    int32_t GetInputArgAsInteger(int i) const;
    int64_t GetInputArgAsInt64(int i) const;
    uint64_t GetInputArgAsUInt64(int i) const;
    double GetInputArgAsFloat(int i) const;
    bool GetInputArgAsBoolean(int i) const;
    char GetInputArgAsChar(int i) const;
    char16_t GetInputArgAsWideChar(int i) const;
    int64_t GetInputArgAsObject(int i) const;
    Variant GetInputArgAsVariant(int i) const { return GetInputArg(i); }
    Variant GetArrayIndex(int d) const;
    int32_t GetArrayIndexAsInteger(int d) const;
    std::string GetArrayIndexAsString(int d) const;
    void ReturnOutputArg(const Variant& v);
    void ReturnOutputArgAsVariant(const Variant& v) { ReturnOutputArg(v); }
    // Writes through a by-reference argument; a by-value one is the runtime error
    // "Method expects argument %d as variable reference".
    void SetInputArg(int i, const Variant& v);
    void SetInputArgIfByRef(int i, const Variant& v);
    int64_t CurrentObject() const { return FCurrentObject; }
    const TatClass* CurrentClass() const { return FCurrentClass; }
    std::string CurrentMethodName() const;
    std::string CurrentPropertyName() const;

    // ---- Errors and diagnostics ---------------------------------------------------------
    // Raises a runtime error positioned at the current instruction (never returns). Inside
    // a script's try-except it raises EatRuntimeError directly so that the script's own
    // handler receives the real text even where the host silences runtime errors.
    [[noreturn]] void RuntimeError(const std::string& msg);
    // The top four stack slots, top first, for error messages.
    std::string GetStackContentAsString() const;

    // ---- Registers and state (read by the debugger, watches and tests) ------------------
    TSimplifiedCode* CurrentInstruction() const { return FCurrentInstruction; }
    // The inPrepare of the routine being executed (null outside routines).
    TSimplifiedCode* PrepareInstruction() const { return FPrepareInstruction; }
    int32_t StackTop() const { return FStackTop; }
    const Variant& StackSlot(int32_t i) const { return FProcStack[static_cast<size_t>(i)]; }
    Variant& StackSlot(int32_t i) { return FProcStack[static_cast<size_t>(i)]; }
    int32_t StackBase() const { return FStackBase; }
    int32_t DebugStackLevel() const { return FDebugStackLevel; }
    int32_t InTryExcept() const { return FInTryExcept; }
    TSimplifiedCode* StopInstruction() const { return FStopInstruction; }
    const std::string& LastExceptionMessage() const { return FLastExceptionMessage; }
    const std::string& LastExceptionClassName() const { return FLastExceptionClassName; }
    int32_t LastExceptionLine() const { return FLastExceptionLine; }
    int32_t LastExceptionCol() const { return FLastExceptionCol; }
    int32_t LastExceptionHelpContext() const { return FLastExceptionHelpContext; }
    TatMachineHost* Host() const { return FHost; }

    // ---- Opcode handlers, one per opcode, generated from Instructions.def ---------------
#define VORN_INSTRUCTION(Name, Number, Handler) void Handler();
#include "engine/vm/Instructions.def"

    // Late-bound member procedures bound to host calls unresolved at compile time.
    void UndefinedGetterProc(TatVirtualMachine* machine);
    void UndefinedSetterProc(TatVirtualMachine* machine);
    void UndefinedMethodProc(TatVirtualMachine* machine);

private:
    // Registers a script call saves and the return address; one per active call.
    struct TFrame {
        TSimplifiedCode* FReturn;
        TSimplifiedCode* FPrepare;
        int32_t FStackBase, FInputBase, FOutputBase, FInputOffset;
        int32_t FCallerTop;  // stack top before the arguments were pushed
    };
    // What a finally part does when it reaches its end.
    enum class TPending : uint8_t { None, Rethrow, Jump, Return };
    // One active try statement.
    struct THandler {
        TSimplifiedCode* FHandlerPart = nullptr;  // finally or except part
        TSimplifiedCode* FEnd = nullptr;          // first instruction after the statement
        int32_t FStackTop = 0;                    // restored when a failure is handled
        int32_t FTempStackTop = 0;                // the side stack too
        int32_t FFrame = 0;                       // call depth of the routine that runs it
        bool FIsExcept = false;
        bool FInFinally = false;                  // the finally part is running
        TPending FPending = TPending::None;
        int32_t FPendingCount = 0;                // try statements still to leave after a jump
        TSimplifiedCode* FPendingTarget = nullptr;
        std::exception_ptr FPendingError;
    };
    // Sequences the link step fuses (numbers above every opcode; kept in the head
    // instruction's Fused field). Each runs the whole sequence when its operands are plain
    // integers and otherwise runs just the head instruction, so nothing changes meaning.
    enum TFusedOp : uint8_t {
        fuCompareJump = 128,  // PushVar a; PushVar b; OperLE/Less/GE/Greater/Equal/NE; JumpIfFalse
        fuStepJump,           // PushInteger c; PushVar i; OperAdd; Jump to StoreVar i
        fuPushVarMod,         // PushVar a; PushInteger c; OperMod
        fuAddStore,           // OperAdd; StoreVar x
        fuVarVarOp,           // PushVar a; PushVar b; OperAdd/Sub/Mul/Slash
        fuVarConstOpStore,    // PushVar a; PushInteger/PushDouble c; OperAdd/Sub/Mul/Slash; StoreVar x
        fuNegStore,           // PushVar a; OperNeg; StoreVar x
        fuVarConstOp,         // PushVar a; PushInteger/PushDouble c; OperAdd/Sub/Mul/Slash
        fuCompareConstJump,   // PushVar a; PushInteger c; OperLE/Less/GE/Greater/Equal/NE; JumpIfFalse
        fuThreeOpStore,       // PushVar a; PushVar b; PushVar/PushInteger/PushDouble c; Op; Op; StoreVar x
        fuStorePush,          // StoreVar x; PushVar x
    };
    // Bits of FAttention: anything the loop must look at after an instruction.
    enum : uint32_t { atPaused = 1, atExecHook = 2, atAutoPause = 4 };

    friend struct TatVirtualMachineLoop;

    TGenericProc HandlerProc(TInstruction op);
    int32_t ExecProcess(int32_t argc);
    void RunLoop(int32_t baseFrame, int32_t baseHandler);
    bool AfterInstruction(int32_t baseFrame, int32_t baseHandler);
    void HandleFault(const platform::Exception& e, int32_t baseFrame, int32_t baseHandler);
    void UnwindFrames(int32_t toFrame);
    int32_t HandlersOfFrame(int32_t baseHandler) const;
    void DropHandlers(int32_t baseHandler);
    void ClearLastFailure();
    void FinishRun(bool nested, int32_t top, TSimplifiedCode* next, TSimplifiedCode* current) noexcept;
    void EnterCall(TSimplifiedCode* prepare, int32_t argc);
    void LeaveCall();
    void PushHandler(bool isExcept);
    void PopHandler();
    void UpdateStopInstruction();
    void LeaveTryStatements(TSimplifiedCode* target, int32_t count, bool isReturn);
    void FinishFinally();
    void RecordFailure(const std::exception& e);
    [[noreturn]] void WrapFailure(const std::exception& e);
    void RunDebugChecks();
    Variant InternalExecute(TSimplifiedCode* entry, int32_t argc);
    void LinkInstruction(TSimplifiedCode* inst, const std::vector<TSimplifiedCode*>& table, size_t k);
    void LinkHostCall(TSimplifiedCode* inst);
    void LinkTryRegions(const std::vector<TSimplifiedCode*>& table);
    void FuseSequences(const std::vector<TSimplifiedCode*>& table);
    static void SpanFusedSlots(TSimplifiedCode& head);
    TSimplifiedCode* FusedCompareJump(TSimplifiedCode* head);
    TSimplifiedCode* FusedStepJump(TSimplifiedCode* head);
    TSimplifiedCode* FusedPushVarMod(TSimplifiedCode* head);
    TSimplifiedCode* FusedAddStore(TSimplifiedCode* head);
    TSimplifiedCode* FusedVarVarOp(TSimplifiedCode* head);
    TSimplifiedCode* FusedVarConstOpStore(TSimplifiedCode* head);
    TSimplifiedCode* FusedNegStore(TSimplifiedCode* head);
    TSimplifiedCode* FusedVarConstOp(TSimplifiedCode* head);
    TSimplifiedCode* FusedCompareConstJump(TSimplifiedCode* head);
    TSimplifiedCode* FusedThreeOpStore(TSimplifiedCode* head);
    TSimplifiedCode* FusedStorePush(TSimplifiedCode* head);
    Variant* FusedFrame(const TSimplifiedCode::TFusedOperands& f);

    [[noreturn]] void StackOverflow();
    [[noreturn]] void StackUnderflow();
    Variant& FrameSlot(int32_t index);
    Variant& GlobalSlot(int32_t index);
    void Push(const Variant& v);
    void Push(Variant&& v);
    void NeedOperands(int32_t n) const;
    void BinaryOp(Variant (*op)(const Variant&, const Variant&));
    void CompareOp(bool (*op)(const Variant&, const Variant&), bool negate);
    void TakeJump();
    int32_t IndexValue(int start, int j, int offset);
    Variant ClassToVar(const TatClass* c);
    const TatClass* TranslateClass(const Variant& v);
    bool ObjectIsOf(int64_t object, const TatClass* c);
    const TatClass* LateBoundClass(const char* what);
    static std::string PositionSuffix(const TSimplifiedCode* i);
    void CallHost(TSimplifiedCode* inst);
    Variant GetScriptArrayElement(const Variant& v, int start);
    void SetScriptArrayElement(Variant& v, int start, const Variant& value);
    void StoreIdx(Variant& target);

    TatMachineHost* FHost;
    TatMachineHost FDefaultHost;
    TSimplifiedCode* FFirst = nullptr;
    bool FSolved = false;
    bool FFastSolving = true;

    std::unique_ptr<Variant[]> FProcStack;
    int32_t FStackTop = 0;
    int32_t FStackBase = 0;
    int32_t FInputBase = 0;
    int32_t FOutputBase = 0;
    int32_t FInputOffset = 0;
    int32_t FCurrentInputArgBase = 0;
    int32_t FCurrentArrayIndexBase = 0;
    int32_t FCurrentOutputArgIndex = 0;
    TSimplifiedCode* FNextInstruction = nullptr;
    TSimplifiedCode* FCurrentInstruction = nullptr;
    TSimplifiedCode* FPrepareInstruction = nullptr;
    TSimplifiedCode* FStopInstruction = nullptr;
    TSimplifiedCode* FMainBegin = nullptr;
    int32_t FInitialStackTop = 0;
    bool FInitialized = false;
    bool FHalted = false;
    bool FRunning = false;
    bool FPaused = false;
    bool FCallExecHookEvent = false;
    bool FAutoPause = false;
    int32_t FAutoPauseCurLine = 0;
    int32_t FMaxPauseStackLevel = 0;
    uint32_t FAttention = 0;
    int32_t FDebugStackLevel = 0;
    int32_t FInTryExcept = 0;

    int64_t FCurrentObject = 0;
    const TatClass* FCurrentClass = nullptr;
    Variant FCurrentOleObject;
    std::string FTempCurrentPropertyName;

    std::string FLastExceptionMessage;
    std::string FLastExceptionClassName;
    int32_t FLastExceptionLine = 0;
    int32_t FLastExceptionCol = 0;
    int32_t FLastExceptionHelpContext = 0;

    std::array<Variant, TempStackSize> FTempStack;
    int32_t FTempStackTop = 0;

    std::unique_ptr<TFrame[]> FFrames;
    int32_t FFrameCount = 0;
    int32_t FLastReturnCount = 0;
    bool FRethrowing = false;
    std::vector<THandler> FHandlers;  // reserved to MaxTryDepth at construction
};

} // namespace vorn::engine
