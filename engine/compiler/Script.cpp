// TatScript: construction, source changes, clearing and the compilation pipeline; and
// the scripts collection. The back end the generators call is in ScriptBackEnd.cpp and
// ScriptVariables.cpp, library registration in ScriptLibraryRegistration.cpp.

#include "engine/compiler/Script.h"

#include "engine/compiler/CompiledImage.h"
#include "engine/compiler/CompilerMessages.h"
#include "engine/compiler/Scripter.h"
#include "engine/compiler/TextLines.h"
#include "engine/vm/EngineErrors.h"
#include "platform/CaseFolding.h"
#include "platform/rtti/LiveObjects.h"
#include "platform/rtti/TypeBuilder.h"

namespace vorn::engine {

const platform::rtti::TClassInfo& TatInternalObject::ClassInfo() {
    static const platform::rtti::TClassInfo& info =
        platform::rtti::TClassBuilder<TatInternalObject, platform::rtti::TObject>("TatInternalObject", "Scripter").Build();
    return info;
}

namespace {

// Sets a flag for the lifetime of the guard, also when the operation fails.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : FFlag(flag) { FFlag = true; }
    ~TFlagGuard() { FFlag = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& FFlag;
};

} // namespace

// ---- Construction -----------------------------------------------------------------------

TatScript::TatScript(TatScripts* collection)
    : FScripter(collection ? collection->Scripter() : nullptr),
      FParser(std::make_unique<TatSyntaxParser>()),
      FScriptInfo(std::make_unique<TatScriptInfo>(this)),
      FUsedUnits(std::make_unique<TatUsedUnits>(FScripter)) {
    if (!FScripter) return;
    if (FScripter->MachineClass()) FVirtualMachine = AddVirtualMachine();
    // Every script registers its own internal object, under a class name made unique by
    // the object's number; the linker maps any "TatInternalObject<n>" to the running script.
    FInternalObject = std::make_unique<TatInternalObject>();
    FDefInstances = std::make_unique<TatObjects>(&FScripter->Classes());
    std::string className = "TatInternalObject" + std::to_string(FInternalObject->ObjectNumber());
    FIntInstance = FDefInstances->Add(FInternalObject.get(), className, className);
}

TatScript::~TatScript() {
    ClearState(true);
    FDefInstances.reset();
    FInternalObject.reset();
}

bool TatScript::MachineRunning() const { return FVirtualMachine && FVirtualMachine->Running(); }

void TatScript::CheckMachine() const {
    if (!FVirtualMachine) NoMachineError();
}

TatVirtualMachine* TatScript::AddVirtualMachine() {
    const TatVirtualMachineClass* machineClass = FScripter ? FScripter->MachineClass() : nullptr;
    if (!machineClass) NoMachineError();
    FVirtualMachines.push_back(machineClass->Create(this));
    TatVirtualMachine* machine = FVirtualMachines.back().get();
    machine->SetCode(FFirstInstruction);
    return machine;
}

// Every machine but the first is freed; the first forgets the code, its link and its
// globals (the instruction list it pointed at is about to go).
void TatScript::ResetMachines() {
    while (FVirtualMachines.size() > 1) FVirtualMachines.pop_back();
    if (FVirtualMachine) FVirtualMachine->SetCode(nullptr);
}

// ---- Machine host -------------------------------------------------------------------------

void TatScript::RuntimeError(TatVirtualMachine*, const std::string& message, int row, int col) {
    if (FScripter) FScripter->InternalRuntimeError(message, this, row, col);
    throw EatScripterRuntime(this, row, col, message);
}

TatClasses* TatScript::Classes() { return FScripter ? &FScripter->Classes() : nullptr; }

// The scripter's default instance `index` (>= 0) or this script's own -index - 2 (< -1),
// as the number scripts hold for the object.
int64_t TatScript::DefaultInstance(int32_t index) {
    TatObjects* list = nullptr;
    int64_t position = index;  // 64-bit: a loaded image may hold any 32-bit operand
    if (index >= 0 && FScripter) list = &FScripter->DefaultInstances();
    if (index < -1) {
        list = FDefInstances.get();
        position = -position - 2;
    }
    if (!list || position >= list->Count()) return 0;
    return platform::rtti::TLiveObjects::Instance().NumberOf(list->GetItem(static_cast<int>(position))->Instance());
}

void TatScript::BeforeExecute(TatVirtualMachine* machine, std::string_view label) {
    if (FScripter) FScripter->BeforeExecute(machine, label);
}

// A run compiles the script when it is not compiled and works with packed positions.
void TatScript::PrepareCode(TatVirtualMachine* machine) {
    if (!FCompiled) Compile();
    PackPositions();
    if (machine->FirstInstruction() != FFirstInstruction) machine->SetCode(FFirstInstruction);
}

bool TatScript::HasRoutine(std::string_view name) { return FScriptInfo->RoutineByName(name) != nullptr; }

void TatScript::RunningChanged(TatVirtualMachine* machine) {
    if (FScripter && !FIsDebugScript) FScripter->CheckRunningChanged(machine);
}

std::string TatScript::EncodeSingleAssign(std::string_view, std::string_view) { return {}; }

// ---- Source -----------------------------------------------------------------------------

void TatScript::SetSourceCode(std::vector<std::string> lines) {
    if (MachineRunning()) FatalError(CompilerMessage(TCompilerMessage::cmSourceWhileRunning));
    FSourceCode = std::move(lines);
    SourceCodeChange();
}

void TatScript::SetSourceText(std::string_view text) { SetSourceCode(SplitLines(text)); }

// Hands the new source to the parser and discards everything compiled from the old one.
void TatScript::SourceCodeChange() {
    if (FRollbackSourceCode) return;
    FParser->SetStrings(FSourceCode);
    Clear();
    if (FScripter && !FIsDebugScript) FScripter->SourceCodeChanged(this);
}

void TatScript::SetCompiled(bool value) {
    if (value == FCompiled) return;
    if (value)
        Compile();
    else
        Clear();
}

// ---- Clearing ---------------------------------------------------------------------------

void TatScript::Clear() {
    CheckMachine();
    if (FClearingScript) return;
    if (MachineRunning()) FatalError(CompilerMessage(TCompilerMessage::cmClearWhileRunning));
    TFlagGuard guard(FClearingScript);
    // Objects this script created and never freed go with its compiled state.
    if (FScripter) FScripter->FreeScriptObjects(this);
    UnregisterScriptClass();
    while (!FLibraries.empty()) SelfUnregisterAsLibrary(FLibraries.front()->Scripter(), "");
    if (!FIsDebugScript) FScriptInfo->Clear();
    ResetMachines();
    ClearLabelSpecs();
    ClearStacks();
    DisposeCode(FFirstInstruction);
    FLastInstruction = nullptr;
    FCodeLine = -1;
    FCompiled = FSilentCompiled = FSolvedAddressing = FExpandedDebugInfo = false;
    FCurrentRoutine = nullptr;
    FUsedUnits->Clear();
    FFileName.clear();
    // Last, so a library that fails to release something (a file that cannot be flushed)
    // reports it with the script already cleared.
    if (FScripter)
        for (int i = 0; i < FScripter->LibInstanceCount(); ++i) FScripter->LibInstance(i)->ScriptCleared(this);
}

// Used where refusing is not an option (destruction): library registrations are dropped
// without letting a failure escape, and the compiled state is freed.
void TatScript::ClearState(bool force) noexcept {
    try {
        if (!force) {
            Clear();
            return;
        }
        while (!FLibraries.empty()) {
            TatScriptBasedLibrary* library = FLibraries.front();
            FLibraries.erase(FLibraries.begin());
            if (TatCustomScripter* owner = library->Scripter()) owner->RemoveLibraryInstance(library, library->FName);
        }
    } catch (...) {
        FLibraries.clear();
    }
    if (FScripter) FScripter->FreeScriptObjects(this);
    UnregisterScriptClass();
    FVirtualMachines.clear();
    FVirtualMachine = nullptr;
    ClearLabelSpecs();
    ClearStacks();
    DisposeCode(FFirstInstruction);
    FLastInstruction = nullptr;
    FCodeLine = -1;
    FCompiled = FSilentCompiled = FSolvedAddressing = FExpandedDebugInfo = false;
}

// ---- Compilation pipeline -----------------------------------------------------------------

void TatScript::InternalCompile(bool silent) {
    CheckMachine();
    TFlagGuard compiling(FCompiling);
    FSilentCompilation = silent;
    struct TSilentReset {
        bool& Flag;
        ~TSilentReset() { Flag = false; }
    } silentReset{FSilentCompilation};
    if (MachineRunning()) FatalError(CompilerMessage(TCompilerMessage::cmCompileWhileRunning));
    if (FScripter) FScripter->BeforeCompile();
    Clear();
    ParseSource();
    FParser->ScanSyntaxTree();
    SolveUndefinedReferences();
    FCompiled = !silent;
    FSilentCompiled = true;
    FScriptInfo->SetCodeSize(FCodeLine + 1);
    FScriptInfo->FUnitName = FUnitName;
    FVirtualMachine->SetCode(FFirstInstruction);
    if (!FCompiled) return;
    FCodeStream.clear();
    PackPositions();
    InternalSaveCodeToStream(FCodeStream);
    RegisterScriptClass();
}

// A syntax error is reported at the furthest position any parse attempt reached.
void TatScript::ParseSource() {
    TParsingResults results = FParser->CheckLanguage();
    if (results.Result == srCorrect) return;
    int row = 0, col = 0;
    GetRowColFromSource(results.MaxInputPos - 1, row, col);
    CompileError(CompilerMessage(TCompilerMessage::cmSyntaxError), row, col);
}

// A label that still has pending references was used but never defined: since calls
// refer to routines by name, this reports the call of an undeclared routine.
void TatScript::SolveUndefinedReferences() {
    for (int i = 0; i < FLabels.Count(); ++i) {
        TLabelSpec* label = FLabels.GetItem(i);
        if (label->Refs.empty()) continue;
        TSimplifiedCode* first = label->Refs.front().Code;
        CompileError(CompilerMessage(TCompilerMessage::cmUnknownSubroutine, label->Name), first->vDebugInfo);
    }
}

void TatScript::ExpandDebugInfo(bool requiresCompilation) {
    if (FExpandedDebugInfo) return;
    if (requiresCompilation && !FCompiled) Compile();
    PackPositions();
}

// Walks a cursor over the input as the instructions' raw positions go (usually upwards,
// so the walk is linear in the text) and stores each position as (column << 20) + row.
// Columns count every character, a carriage return included.
void TatScript::PackPositions() {
    if (FExpandedDebugInfo) return;
    const platform::UString& input = FParser->Input();
    const int length = static_cast<int>(input.size());
    std::vector<int> lineLengths;
    for (int start = 0, i = 0; i <= length; ++i) {
        if (i == length || input[static_cast<size_t>(i)] == u'\n') {
            int end = i;
            if (end > start && input[static_cast<size_t>(end - 1)] == u'\r') --end;
            lineLengths.push_back(end - start);
            start = i + 1;
        }
    }
    auto isLineFeed = [&](int p) { return p > 0 && p < length && input[static_cast<size_t>(p - 1)] == u'\n'; };
    int p = 1, line = 1, col = 1;
    for (TSimplifiedCode* inst = FFirstInstruction; inst; inst = inst->Next) {
        while (p < inst->vDebugInfo) {
            if (isLineFeed(p)) {
                ++line;
                col = 1;
            } else {
                ++col;
            }
            ++p;
        }
        while (p > inst->vDebugInfo) {
            --p;
            if (isLineFeed(p)) {
                --line;
                col = (line >= 1 && line <= static_cast<int>(lineLengths.size()) ? lineLengths[size_t(line - 1)] : 0) + 1;
            } else {
                --col;
            }
        }
        inst->vDebugInfo = PackSourcePosition(line, col);
    }
    FExpandedDebugInfo = true;
}

void TatScript::SaveCodeToStream(std::string& stream) {
    if (!FCompiled) Compile();
    stream = FCodeStream;
}

void TatScript::LoadCodeFromStream(const std::string& stream) { InternalLoadCodeFromStream(stream, true); }

void TatScript::InternalLoadCodeFromStream(std::string_view stream, bool registerClass) {
    TatCompiledImage::Load(*this, stream, registerClass);
}

void TatScript::InternalSaveCodeToStream(std::string& stream) { TatCompiledImage::Save(*this, stream); }

// ---- Positions and errors ---------------------------------------------------------------

void TatScript::GetRowColFromSource(int position, int& row, int& col) const {
    GetRowColFromStrings(FParser->Strings(), position, row, col);
}

void TatScript::GetRowColFromInst(const TSimplifiedCode* inst, int& row, int& col) const {
    GetRowColFromInstStrings(FParser->Strings(), inst, row, col);
}

void TatScript::GetRowColFromInstStrings(const std::vector<std::string>& lines, const TSimplifiedCode* inst, int& row,
                                         int& col) const {
    if (FExpandedDebugInfo) {
        row = inst->vDebugInfo & 0xFFFFF;
        col = static_cast<int>(static_cast<uint32_t>(inst->vDebugInfo) >> 20);
        return;
    }
    GetRowColFromStrings(lines, inst->vDebugInfo, row, col);
}

std::string TatScript::ErrorComplement(int position) const {
    int row = 0, col = 0;
    if (FExpandedDebugInfo) {
        row = position & 0xFFFFF;
        col = static_cast<int>(static_cast<uint32_t>(position) >> 20);
    } else {
        GetRowColFromSource(position, row, col);
    }
    return ".\r\nSource position: " + std::to_string(row) + "," + std::to_string(col);
}

// Parse-tree positions are 1-based character indexes while the conversion takes a 0-based
// offset: convert one less, so the error points at the token itself (as the syntax error and
// the packed positions of the same token do), not one column past it.
void TatScript::CompileError(const std::string& message, int position) {
    if (FSilentCompilation) return;
    int row = 0, col = 0;
    GetRowColFromSource(position > 0 ? position - 1 : 0, row, col);
    CompileError(message, row, col);
}

void TatScript::DoUnknownElement(TElementContext& context) {
    if (FScripter && FScripter->FOnUnknownElement) FScripter->FOnUnknownElement(FScripter, context);
}

void TatScript::CompileError(const std::string& message, int row, int col) {
    if (FSilentCompilation || !FScripter) return;
    FScripter->InternalCompileError(message, row, col, this);
}

void TatScript::RuntimeError(const std::string& message) {
    if (FScripter) FScripter->InternalRuntimeError(message, this);
    throw EatScripterRuntime(this, 0, 0, message);
}

// ---- Scripts collection -------------------------------------------------------------------

TatScripts::TatScripts(TatCustomScripter* scripter) : FScripter(scripter) {}

TatScripts::~TatScripts() { Clear(); }

TatScript* TatScripts::Add() {
    const TatScriptClass* scriptClass = FScripter ? FScripter->DefaultScriptClass() : nullptr;
    if (scriptClass) return AddOf(scriptClass);
    return Adopt(std::make_unique<TatScript>(this));
}

TatScript* TatScripts::AddOf(const TatScriptClass* scriptClass) { return Adopt(scriptClass->Create(this)); }

// Scripts are numbered as they join; numbers are not reused while the scripter lives.
TatScript* TatScripts::Adopt(std::unique_ptr<TatScript> script) {
    script->SetID(FNextID++);
    FItems.push_back(std::move(script));
    return FItems.back().get();
}

TatScript* TatScripts::FindByID(int id) const {
    for (const auto& s : FItems)
        if (s->ID() == id) return s.get();
    return nullptr;
}

int TatScripts::IndexOf(const TatScript* script) const {
    for (int i = 0; i < Count(); ++i)
        if (Items(i) == script) return i;
    return -1;
}

TatScript* TatScripts::FindByUnitName(std::string_view name) const {
    for (const auto& s : FItems)
        if (platform::UnicodeSameText(s->UnitName(), name)) return s.get();
    return nullptr;
}

// Last to first; a script leaves the list before it is destroyed, so what its
// destruction triggers (library removal clears the other scripts) sees only live ones.
void TatScripts::Clear() noexcept {
    while (!FItems.empty()) {
        std::unique_ptr<TatScript> doomed = std::move(FItems.back());
        FItems.pop_back();
        doomed.reset();
    }
}

} // namespace vorn::engine
