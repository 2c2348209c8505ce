// Construction, runs (top-level, nested and the global part), the host-argument interface
// and the wrapping of failures into runtime errors.

#include "engine/vm/VirtualMachineInline.h"

#include <algorithm>
#include <cstdio>

#include "engine/compiler/ScripterErrors.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "platform/Unicode.h"

namespace vorn::engine {

namespace {

bool SameTextAscii(std::string_view a, platform::UStringView b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = static_cast<unsigned char>(a[i]), y = b[i];
        if (x >= 'a' && x <= 'z') x = char16_t(x - 32);
        if (y >= 'a' && y <= 'z') y = char16_t(y - 32);
        if (x != y) return false;
    }
    return true;
}

} // namespace

void TatMachineHost::RuntimeError(TatVirtualMachine*, const std::string& message, int row, int col) {
    throw EatScripterRuntime(nullptr, row, col, message);
}

TatVirtualMachine::TatVirtualMachine(TatMachineHost* host)
    : FHost(host ? host : &FDefaultHost),
      FProcStack(std::make_unique<Variant[]>(StackSize)),
      FFrames(std::make_unique<TFrame[]>(MaxCallDepth)) {
    FHandlers.reserve(MaxTryDepth);
}

TatVirtualMachine::~TatVirtualMachine() = default;

const TatVirtualMachineClass* TatVirtualMachine::Class() {
    static const TatVirtualMachineClass descriptor{
        "TatVirtualMachine", [](TatMachineHost* host) { return std::make_unique<TatVirtualMachine>(host); }};
    return &descriptor;
}

void TatVirtualMachine::SetCode(TSimplifiedCode* first) {
    if (FRunning) FatalError("Cannot change the code of a running machine");
    FFirst = first;
    FSolved = false;
    Clear();
}

void TatVirtualMachine::Clear() {
    FDebugStackLevel = 0;
    FRunning = false;
    FMainBegin = nullptr;
    FInitialized = false;
    FInTryExcept = 0;
    FTempStackTop = 0;
    FFrameCount = 0;
    FHandlers.clear();
    FStopInstruction = nullptr;
    FStackTop = 0;
    for (int32_t i = 0; i < StackSize; ++i) FProcStack[size_t(i)] = Variant::Null();
}

void TatVirtualMachine::Halt() {
    FCurrentInstruction = nullptr;
    FNextInstruction = nullptr;
    FHalted = FRunning;
    SetPaused(false);
}

void TatVirtualMachine::CheckHalted() const {
    if (FHalted)
        FatalError("Script execution is being halted. A new execution can only start after the current execution "
                   "finishes.");
}

void TatVirtualMachine::SetPaused(bool value) {
    if (value == FPaused) return;
    FPaused = value;
    FAttention = value ? (FAttention | atPaused) : (FAttention & ~uint32_t(atPaused));
    if (FOnPauseChanged) FOnPauseChanged(this);
}

void TatVirtualMachine::SetCallExecHookEvent(bool value) {
    FCallExecHookEvent = value;
    FAttention = value ? (FAttention | atExecHook) : (FAttention & ~uint32_t(atExecHook));
}

void TatVirtualMachine::SetAutoPause(bool value, int32_t curLine, int32_t maxStackLevel) {
    FAutoPause = value;
    FAutoPauseCurLine = curLine;
    FMaxPauseStackLevel = maxStackLevel;
    FAttention = value ? (FAttention | atAutoPause) : (FAttention & ~uint32_t(atAutoPause));
}

// ---- Entry points and runs --------------------------------------------------------------

TSimplifiedCode* TatVirtualMachine::EntryPoint(std::string_view name) {
    for (TSimplifiedCode* p = FFirst; p; p = p->Next)
        if (p->OpCode == inPrepare && SameTextAscii(name, p->vString.View())) return p;
    RuntimeError("Subroutine '" + std::string(name) + "' does not exist in script");
}

void TatVirtualMachine::InitializeScript() {
    if (FInitialized || FPrepareInstruction) return;
    CheckHalted();
    FHost->PrepareCode(this);
    SolveAbsoluteAddressing();
    // The global part runs without hooks or wrapping; calls made by initialisers run in
    // frames of their own, and the part ends at the first routine entry of its level.
    int32_t baseFrame = FFrameCount;
    TSimplifiedCode* inst = FFirst;
    try {
        while (inst && !(inst->OpCode == inPrepare && FFrameCount == baseFrame)) {
            FCurrentInstruction = inst;
            FNextInstruction = inst->Next;
            inst->Compute();
            while (!FNextInstruction && FFrameCount > baseFrame) LeaveCall();
            inst = FNextInstruction;
        }
    } catch (...) {
        UnwindFrames(baseFrame);
        FCurrentInstruction = nullptr;
        throw;
    }
    FCurrentInstruction = nullptr;
    FNextInstruction = nullptr;
    FMainBegin = inst;
    FInitialStackTop = FStackTop;
    FInitialized = true;
}

Variant TatVirtualMachine::ExecuteSubroutine(std::string_view name, const Variant& Input) {
    std::vector<Variant> args;
    const Variant& in = DerefPValue(Input);
    if (in.IsArray()) {
        for (const Variant& item : in.ArrayItems()) args.push_back(item);
    } else if (in.VType() != varNull) {
        args.push_back(in);
    }
    return IntExecuteSubroutine(name, args);
}

Variant TatVirtualMachine::IntExecuteSubroutine(std::string_view name, std::vector<Variant>& args,
                                                const std::vector<bool>& byRef) {
    FHost->BeforeExecute(this, name);
    CheckHalted();
    FHost->PrepareCode(this);
    SolveAbsoluteAddressing();
    if (!name.empty() && !FHost->HasRoutine(name))
        RuntimeError("Subroutine '" + std::string(name) + "' does not exist in script");
    TSimplifiedCode* entry = name.empty() ? nullptr : EntryPoint(name);
    FLastExceptionMessage.clear();
    FLastExceptionClassName.clear();
    FLastExceptionLine = FLastExceptionCol = FLastExceptionHelpContext = 0;

    TSimplifiedCode* savedNext = FNextInstruction;
    TSimplifiedCode* savedCurrent = FCurrentInstruction;
    bool nested = FPrepareInstruction != nullptr;
    int32_t savedTop = FStackTop;
    // Leaving restores what the run changed, whatever ends it.
    // A nested run also keeps the argument registers of the host call it runs inside.
    struct TRestore {
        TatVirtualMachine* m;
        bool nested;
        int32_t top;
        TSimplifiedCode* next;
        TSimplifiedCode* current;
        int32_t inputArgBase = m->FCurrentInputArgBase;
        int32_t arrayIndexBase = m->FCurrentArrayIndexBase;
        int32_t outputArgIndex = m->FCurrentOutputArgIndex;
        ~TRestore() {
            if (nested) {
                m->FCurrentInputArgBase = inputArgBase;
                m->FCurrentArrayIndexBase = arrayIndexBase;
                m->FCurrentOutputArgIndex = outputArgIndex;
            }
            m->FinishRun(nested, top, next, current);
        }
    };
    if (nested) {
        // A nested run starts above the host call's output slot and above the live top.
        FStackTop = std::max(FStackTop, FOutputBase + 1);
        if (FStackTop >= StackSize) StackOverflow();
    } else {
        FRunning = true;
        FHost->RunningChanged(this);
        for (int32_t i = FInitialized ? FInitialStackTop : 0; i < StackSize; ++i) FProcStack[size_t(i)] = Variant::Null();
    }
    TRestore restore{this, nested, savedTop, savedNext, savedCurrent};
    if (!nested) {
        if (FInitialized) {
            FStackTop = FInitialStackTop;
        } else {
            FStackTop = 0;
            InitializeScript();
        }
        restore.top = FInitialStackTop;
    }
    if (name.empty()) entry = FMainBegin;
    if (!entry) return Variant::Null();
    if (entry->OpCode != inPrepare) RuntimeError("Invalid subroutine call. Entry point should be a \"Prepare\" instruction");
    int32_t n = static_cast<int32_t>(args.size());
    if (FStackTop + n >= StackSize) StackOverflow();
    for (int32_t i = 0; i < n; ++i) {
        Variant& slot = FProcStack[size_t(FStackTop++)];
        slot.Clear();
        if (size_t(i) < byRef.size() && byRef[size_t(i)])
            CreateReferenceValue(slot, args[size_t(i)]);
        else
            slot = args[size_t(i)];
    }
    Variant result = InternalExecute(entry, n);
    FHalted = false;
    return result;
}

// Runs from the routine entry `entry` with `argc` arguments pushed; builds the result
// from what the routine left above its locals.
Variant TatVirtualMachine::InternalExecute(TSimplifiedCode* entry, int32_t argc) {
    int32_t base = FStackTop;
    FCurrentInstruction = entry;
    int32_t count = ExecProcess(argc);
    int32_t locals = entry->vInteger;
    int32_t first = base + locals;
    int32_t n = count - locals;
    if (n <= 0 || first < 0 || first + n > StackSize) return Variant::Null();
    if (n == 1) return DerefValue(FProcStack[size_t(first)]);
    Variant array = Variant::NewArray(0, n - 1);
    std::vector<Variant>& items = array.MutableArrayItems();
    for (int32_t i = 0; i < n; ++i) items[size_t(i)] = DerefValue(FProcStack[size_t(first + i)]);
    return array;
}

void TatVirtualMachine::FinishRun(bool nested, int32_t top, TSimplifiedCode* next, TSimplifiedCode* current) noexcept {
    if (nested) {
        FNextInstruction = next;
        FCurrentInstruction = current;
        FStackTop = top;
        return;
    }
    FNextInstruction = nullptr;
    FCurrentInstruction = nullptr;
    FPrepareInstruction = nullptr;
    FFrameCount = 0;
    FHandlers.clear();
    FStopInstruction = nullptr;
    FInTryExcept = 0;
    FDebugStackLevel = 0;
    FStackTop = top;
    for (int32_t i = FInitialStackTop; i < StackSize; ++i) FProcStack[size_t(i)].Clear();
    FCurrentOleObject.Clear();
    FRunning = false;
    FHalted = false;
    try {
        FHost->RunningChanged(this);
    } catch (...) {
        // A host listener must not turn the end of a run into a second failure.
    }
}

// ---- Failure wrapping ----------------------------------------------------------------------

void TatVirtualMachine::RuntimeError(const std::string& msg) {
    if (FInTryExcept > 0) throw EatRuntimeError(msg);
    int row = 0, col = 0;
    if (FCurrentInstruction) {
        row = FCurrentInstruction->vDebugInfo & 0xFFFFF;
        col = static_cast<int>(static_cast<uint32_t>(FCurrentInstruction->vDebugInfo) >> 20);
    }
    FHost->RuntimeError(this, msg, row, col);
    throw EatRuntimeError(msg);  // a host that returns still must not resume the handler
}

std::string TatVirtualMachine::GetStackContentAsString() const {
    std::string text;
    int32_t last = std::max(0, FStackTop - 4);
    for (int32_t i = std::min(FStackTop, StackSize) - 1; i >= last; --i) {
        if (!text.empty()) text += ',';
        text += VarContent(DerefPValue(FProcStack[size_t(i)]));
    }
    if (FStackTop > 4) text += "...";
    return text;
}

void TatVirtualMachine::RecordFailure(const std::exception& e) {
    if (auto* wrapped = dynamic_cast<const EatScripterRuntime*>(&e)) {
        FLastExceptionMessage = wrapped->OriginalMessage();
    } else {
        FLastExceptionMessage = e.what();
    }
    auto* own = dynamic_cast<const platform::Exception*>(&e);
    FLastExceptionClassName = own ? own->ClassName() : "Exception";
    FLastExceptionHelpContext = 0;
    if (FCurrentInstruction && FLastExceptionLine == 0 && FLastExceptionCol == 0) {
        FLastExceptionLine = FCurrentInstruction->vDebugInfo & 0xFFFFF;
        FLastExceptionCol = static_cast<int32_t>(static_cast<uint32_t>(FCurrentInstruction->vDebugInfo) >> 20);
    }
}

void TatVirtualMachine::WrapFailure(const std::exception& e) {
    TSimplifiedCode* i = FCurrentInstruction;
    if (!i) RuntimeError("Undefined instruction");
    const char* name = InstructionName(i->OpCode);
    char numbers[80];
    std::snprintf(numbers, sizeof numbers, " ($%X,$%X,$%X,$%X,'", static_cast<unsigned>(i->vInteger),
                  static_cast<unsigned>(i->vByte), static_cast<unsigned>(i->vInteger2),
                  static_cast<unsigned>(i->vInteger3));
    std::string message = std::string(e.what()) + " when evaluating instruction " + (name[0] ? name + 2 : "") +
                          numbers + i->vString.ToUtf8() + "').\r\nStack content is: [" + GetStackContentAsString() +
                          "]";
    int row = i->vDebugInfo & 0xFFFFF;
    int col = static_cast<int>(static_cast<uint32_t>(i->vDebugInfo) >> 20);
    message += ".\r\nSource position: " + std::to_string(row) + "," + std::to_string(col);
    FHost->RuntimeError(this, message, row, col);
    throw EatRuntimeError(message);
}

// ---- Host-argument interface ----------------------------------------------------------------

Variant TatVirtualMachine::GetInputArg(int i) const {
    int32_t slot = FCurrentInputArgBase + i;
    if (slot < 0 || slot >= StackSize) return Variant();
    return DerefValue(FProcStack[size_t(slot)]);
}

std::string TatVirtualMachine::GetInputArgAsString(int i) const { return VarToStrUtf8(GetInputArg(i)); }
int32_t TatVirtualMachine::GetInputArgAsInteger(int i) const { return VarToInteger(GetInputArg(i)); }
int64_t TatVirtualMachine::GetInputArgAsInt64(int i) const { return VarToInt64(GetInputArg(i)); }
uint64_t TatVirtualMachine::GetInputArgAsUInt64(int i) const { return VarToUInt64(GetInputArg(i)); }
double TatVirtualMachine::GetInputArgAsFloat(int i) const { return VarToFloat(GetInputArg(i)); }
bool TatVirtualMachine::GetInputArgAsBoolean(int i) const { return VarToInteger(GetInputArg(i)) != 0; }
char TatVirtualMachine::GetInputArgAsChar(int i) const { return VarToChar(GetInputArg(i)); }
char16_t TatVirtualMachine::GetInputArgAsWideChar(int i) const { return VarToWideChar(GetInputArg(i)); }
int64_t TatVirtualMachine::GetInputArgAsObject(int i) const { return VarToObject(GetInputArg(i)); }

Variant TatVirtualMachine::GetArrayIndex(int d) const {
    int32_t slot = FCurrentArrayIndexBase + d;
    if (slot < 0 || slot >= StackSize) return Variant();
    return DerefValue(FProcStack[size_t(slot)]);
}

int32_t TatVirtualMachine::GetArrayIndexAsInteger(int d) const { return ScriptValueAsInteger(GetArrayIndex(d)); }
std::string TatVirtualMachine::GetArrayIndexAsString(int d) const { return VarToStrUtf8(GetArrayIndex(d)); }

void TatVirtualMachine::ReturnOutputArg(const Variant& v) {
    if (FOutputBase < 0 || FOutputBase >= StackSize) StackOverflow();
    FProcStack[size_t(FOutputBase)] = v;
}

void TatVirtualMachine::SetInputArg(int i, const Variant& v) {
    int32_t slot = FCurrentInputArgBase + i;
    if (slot >= 0 && slot < StackSize && IsReference(FProcStack[size_t(slot)])) {
        SetRefValue(FProcStack[size_t(slot)], v);
        return;
    }
    RuntimeError("Method expects argument " + std::to_string(i) + " as variable reference");
}

void TatVirtualMachine::SetInputArgIfByRef(int i, const Variant& v) {
    int32_t slot = FCurrentInputArgBase + i;
    if (slot >= 0 && slot < StackSize && IsReference(FProcStack[size_t(slot)])) SetRefValue(FProcStack[size_t(slot)], v);
}

std::string TatVirtualMachine::CurrentMethodName() const {
    TSimplifiedCode* i = FCurrentInstruction;
    if (FRunning && i && (i->OpCode == inCallProc || i->OpCode == inCallClassProc) && i->vSmallInt == 1)
        return i->vString.ToUtf8();
    return {};
}

std::string TatVirtualMachine::CurrentPropertyName() const {
    if (!FTempCurrentPropertyName.empty()) return FTempCurrentPropertyName;
    TSimplifiedCode* i = FCurrentInstruction;
    if (FRunning && i && (i->OpCode == inCallProc || i->OpCode == inCallClassProc) && i->vSmallInt != 1)
        return i->vString.ToUtf8();
    return {};
}

} // namespace vorn::engine
