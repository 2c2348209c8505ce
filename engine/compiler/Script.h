#pragma once
// One compilable unit of script text (`TatScript`) with everything compiled from it: its
// parser, instruction list, symbol table, used units and default instances; the
// compilation pipeline (parse, scan the tree so the language's generators emit code,
// resolve labels, record the code size); and the back end the generators call. A
// language derives from TatScript, loads its grammar and binds generators to its rules.
// The scripter's scripts (`TatScripts`) own them; the first one is the host's script.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compiler/CodeLabels.h"
#include "engine/compiler/CompileStacks.h"
#include "engine/compiler/DefaultInstances.h"
#include "engine/compiler/ElementContext.h"
#include "engine/compiler/ScriptInfo.h"
#include "engine/compiler/ScriptLibrary.h"
#include "engine/compiler/SyntaxParser.h"
#include "engine/vm/SimplifiedCode.h"
#include "engine/vm/VirtualMachine.h"

namespace vorn::engine {

class TatCustomScripter;
class TatScript;
class TatScripts;

// A script class: how the scripts collection creates a script of a language.
struct TatScriptClass {
    const char* ClassName;
    std::unique_ptr<TatScript> (*Create)(TatScripts* collection);
};

// The class reference of script type S (constructible from the collection).
template <class S>
const TatScriptClass* ScriptClassOf(const char* className) {
    static const TatScriptClass descriptor{
        className, [](TatScripts* c) -> std::unique_ptr<TatScript> { return std::make_unique<S>(c); }};
    return &descriptor;
}

// The object whose class carries what is registered for one script (or for the whole
// scripter) alone; scripts use its members without qualification.
class TatInternalObject : public platform::rtti::TObject {
public:
    static const platform::rtti::TClassInfo& ClassInfo();
};

// A script is the host of its machines: they report runtime errors, find classes and
// default instances, and announce runs through it.
class TatScript : public TatMachineHost {
    friend class TatCompiledImage;

public:
    explicit TatScript(TatScripts* collection);
    // Never throws: a script that is still running is cleared by force.
    virtual ~TatScript();
    TatScript(const TatScript&) = delete;
    TatScript& operator=(const TatScript&) = delete;

    // ---- Properties -----------------------------------------------------------------
    TatCustomScripter* Scripter() const { return FScripter; }
    TatSyntaxParser& Parser() { return *FParser; }
    const std::vector<std::string>& SourceCode() const { return FSourceCode; }
    // Changes the source; the compiled state is discarded (refused while running).
    void SetSourceCode(std::vector<std::string> lines);
    void SetSourceText(std::string_view text);
    TatScriptInfo& ScriptInfo() { return *FScriptInfo; }
    TatUsedUnits& UsedUnits() { return *FUsedUnits; }
    TatObjects& DefInstances() { return *FDefInstances; }
    TatObject* IntInstance() const { return FIntInstance; }
    bool Compiled() const { return FCompiled; }
    void SetCompiled(bool value);
    bool SilentCompiled() const { return FSilentCompiled; }
    void SetSilentCompiled(bool value) { FSilentCompiled = value; }
    bool SilentCompilation() const { return FSilentCompilation; }
    bool Compiling() const { return FCompiling; }
    bool ExpandedDebugInfo() const { return FExpandedDebugInfo; }
    TSimplifiedCode* FirstInstruction() const { return FFirstInstruction; }
    TSimplifiedCode* LastInstruction() const { return FLastInstruction; }
    int CodeLine() const { return FCodeLine; }
    const std::string& UnitName() const { return FUnitName; }
    void SetUnitName(std::string value) { FUnitName = std::move(value); }
    const std::string& FileName() const { return FFileName; }
    void SetFileName(std::string value) { FFileName = std::move(value); }
    bool IsDebugScript() const { return FIsDebugScript; }
    // The first machine: the one compilation and execution use (null when the scripter
    // has no machine class).
    TatVirtualMachine* VirtualMachine() const { return FVirtualMachine; }
    int VirtualMachineCount() const { return static_cast<int>(FVirtualMachines.size()); }
    TatVirtualMachine* VirtualMachines(int i) const { return FVirtualMachines[static_cast<size_t>(i)].get(); }
    // Adds a machine of the scripter's machine class running this script's code.
    TatVirtualMachine* AddVirtualMachine();
    bool MachineRunning() const;
    // The script's number in its scripter, unique for the scripter's life (the "[n]"
    // prefix of routine names that event bindings store).
    int ID() const { return FID; }
    void SetID(int value) { FID = value; }
    TLabelSpecs& LabelSpecs() { return FLabels; }
    const std::string& CompiledImage() const { return FCodeStream; }

    // ---- Compilation ------------------------------------------------------------------
    virtual void Clear();
    virtual void Compile() { InternalCompile(false); }
    void SilentCompile() { InternalCompile(true); }
    // The text of a one-assignment script of this language (watches); "" in the base.
    virtual std::string EncodeSingleAssign(std::string_view target, std::string_view expression);
    // Packs every instruction's raw source position into (column << 20) + row.
    void ExpandDebugInfo(bool requiresCompilation);
    // Compiled images (CompiledImage.cpp): saving compiles first when needed and copies
    // the image written by the last compilation; loading replaces the compiled state.
    virtual void SaveCodeToStream(std::string& stream);
    virtual void LoadCodeFromStream(const std::string& stream);
    void InternalLoadCodeFromStream(std::string_view stream, bool registerClass);
    // Any failure to write is the internal error "Unable to save file %s"; failures to
    // open a file for loading pass through as they are.
    void SaveCodeToFile(const std::string& fileName);
    void LoadCodeFromFile(const std::string& fileName);

    // ---- Positions and errors ---------------------------------------------------------
    // A position of the parser's input (a 0-based offset) as a 1-based row and column.
    void GetRowColFromSource(int position, int& row, int& col) const;
    void GetRowColFromInst(const TSimplifiedCode* inst, int& row, int& col) const;
    void GetRowColFromInstStrings(const std::vector<std::string>& lines, const TSimplifiedCode* inst, int& row,
                                  int& col) const;
    std::string ErrorComplement(int position) const;
    // Hands a member-chain element nothing resolves to the scripter's unknown-element
    // handler, which may register what the name stands for and ask for another lookup.
    void DoUnknownElement(TElementContext& context);
    // Report through the scripter (which raises); nothing happens in a silent compilation.
    void CompileError(const std::string& message, int position);
    void CompileError(const std::string& message, int row, int col);
    // Reports a failure that is not a positioned compile error; always raises.
    [[noreturn]] void RuntimeError(const std::string& message);
    // The machine's side of the runtime error: reported through the scripter at the
    // machine's position.
    [[noreturn]] void RuntimeError(TatVirtualMachine* machine, const std::string& message, int row, int col) override;
    TatClasses* Classes() override;
    int64_t DefaultInstance(int32_t index) override;
    void BeforeExecute(TatVirtualMachine* machine, std::string_view label) override;
    void PrepareCode(TatVirtualMachine* machine) override;
    bool HasRoutine(std::string_view name) override;
    void RunningChanged(TatVirtualMachine* machine) override;
    // The internal error of a script without a machine.
    void CheckMachine() const;

    // ---- Back end: instruction list --------------------------------------------------
    TSimplifiedCode* AppendInstruction(TInstruction opcode);
    TSimplifiedCode* AppendInstruction(std::unique_ptr<TSimplifiedCode> instruction);
    // Detaches the last instruction (the list must hold at least two); walks the list.
    std::unique_ptr<TSimplifiedCode> RemoveLastInstruction();
    static void DisposeCode(TSimplifiedCode*& first) noexcept;

    // ---- Back end: labels ---------------------------------------------------------------
    // Binds the last instruction to the label: returns Address + 1 of a defined label (and
    // writes it into the instruction's vInteger), or queues the reference and returns 0.
    int RegisterReference(std::string_view name);
    // Defines the label at the current code line and resolves its pending references.
    void DefineReferenceAddress(std::string_view name);
    TLabelSpec* NewLabelSpec(std::string_view name) { return FLabels.Add(name); }
    TLabelSpec* FindLabelSpec(std::string_view name) const { return FLabels.Find(name); }
    void SolveReference(TLabelSpec* label);
    void ClearLabelSpecs() { FLabels.Clear(); }

    // ---- Back end: compile-time stacks ------------------------------------------------
    void StackPush(TStackType stack, const Variant& value) { FStack.Push(stack, value); }
    void StackPushDelimitter(TStackType stack);
    bool EmptyStack(TStackType stack) const { return FStack.Top(stack) == nullptr; }
    Variant StackPop(TStackType stack);
    std::string StackPopAsString(TStackType stack);
    double StackPopAsDouble(TStackType stack);
    int32_t StackPopAsInt(TStackType stack);
    bool StackPopAsBool(TStackType stack);
    Variant StackView(TStackType stack);
    int32_t StackViewAsInt(TStackType stack);
    bool StackDelimitterFound(TStackType stack);
    TStackElement* GetStack(TStackType stack) const { return FStack.Top(stack); }
    void ClearStacks() { FStack.ClearAll(); }

    // ---- Back end: variables -----------------------------------------------------------
    TatVariableInfo* DeclareVariable(std::string_view name, int argIndex, TatArgumentModifier modifier, bool global,
                                     int sourcePos = -1);
    TatVariableInfo* RegisterVariableReference(std::string_view name);
    // Emits the store of the value on top of the machine stack into the variable, fused
    // with the push just emitted where possible.
    void OptimizeStoreVar(TatVariableInfo* variable, bool initialising);
    void OptimizeVarTest(int varIndex, std::string_view varName, std::string_view label, uint8_t jumpWhen);
    TatRoutineInfo* CurrentRoutine() const { return FCurrentRoutine; }
    void SetCurrentRoutine(TatRoutineInfo* routine) { FCurrentRoutine = routine; }
    int ScanningInputPos() const { return FParser->ScanningInputPos(); }

    // ---- Back end: member references ---------------------------------------------------
    void RelativeGetterRef(const TatProperty* property, TSimplifiedCode* instruction);
    void RelativeSetterRef(const TatProperty* property, TSimplifiedCode* instruction);
    void RelativeMethodRef(const TatMethod* method, TSimplifiedCode* instruction);

    // ---- Libraries ----------------------------------------------------------------------
    // Resolves a unit of a uses clause through the scripter (silent in a silent compile).
    TatScripterLibrary* LoadLibrary(std::string_view name, bool isDefault);
    TatScriptBasedLibrary* SelfRegisterAsLibrary(std::string_view name);
    TatScriptBasedLibrary* SelfRegisterAsLibrary(TatCustomScripter* scripter, std::string_view name);
    TatScriptBasedLibrary* SelfRegisterAsLibrary(TatCustomScripter* scripter, std::string_view name,
                                                 const platform::rtti::TClassInfo* registeredClass,
                                                 std::string_view registeredClassName, bool isDefault, bool addMethod);
    void SelfUnregisterAsLibrary(std::string_view name);
    void SelfUnregisterAsLibrary(TatCustomScripter* scripter, std::string_view name);
    bool IsRegisteredAsLibrary(TatCustomScripter* scripter) const;
    bool CheckRegisteredAsLibrary(TatCustomScripter* scripter, TatScriptBasedLibrary*& library) const;
    // The scripter that holds `library` is going away: forget the registration without
    // touching that scripter.
    void ForgetLibraryRegistration(const TatScriptBasedLibrary* library) noexcept;
    // Registrations visible to this script only.
    TatClass* UsesObject(platform::rtti::TObject* object, const std::string& name, const std::string& className);
    void UnuseObject(std::string_view className);

    // ---- Script classes (ScriptClasses.cpp) ----------------------------------------------
    // A compiled class script makes its class creatable: the registry entry of its script
    // class name gets "Create" and one member per public routine and global, and this
    // script becomes the class's base script. Nothing happens for other scripts.
    void RegisterScriptClass();
    // Takes back what RegisterScriptClass gave (the entry stays, without members).
    void UnregisterScriptClass() noexcept;
    // Defines the read-only "Self" of a class script's code: the object whose private
    // script this is (FOriginalObject), nil in the class script itself.
    void DefineSelfProperty();
    void GetSelfBaseObjectProc(TatVirtualMachine* machine);
    platform::rtti::TObject* FOriginalObject = nullptr;

protected:
    void InternalCompile(bool silent);
    // Writes the compiled image of the script into `stream`.
    virtual void InternalSaveCodeToStream(std::string& stream);
    // Forced clearing for the destructor and for re-entry guards: never refuses.
    void ClearState(bool force) noexcept;

    int FCounterInit = 0;
    bool FIsDebugScript = false;

private:
    void SourceCodeChange();
    void ParseSource();
    void SolveUndefinedReferences();
    void PackPositions();
    void StoreIntoLocal(TatVariableInfo* variable);
    void SetMemberRef(TSimplifiedCode* instruction, TMemberRefKind kind, int memberIndex, const TatClass* owner,
                      const std::string& memberName);
    [[noreturn]] void EmptyStackError(TStackType stack);

    void ResetMachines();

    TatCustomScripter* FScripter;
    std::unique_ptr<TatSyntaxParser> FParser;
    std::vector<std::unique_ptr<TatVirtualMachine>> FVirtualMachines;
    TatVirtualMachine* FVirtualMachine = nullptr;
    int FID = 0;
    TCompileStacks FStack;
    int FCodeLine = -1;
    TLabelSpecs FLabels;
    TatRoutineInfo* FCurrentRoutine = nullptr;
    std::vector<std::string> FSourceCode;
    TSimplifiedCode* FFirstInstruction = nullptr;
    TSimplifiedCode* FLastInstruction = nullptr;
    std::unique_ptr<TatScriptInfo> FScriptInfo;
    bool FCompiled = false;
    bool FSilentCompiled = false;
    bool FSolvedAddressing = false;
    bool FExpandedDebugInfo = false;
    std::unique_ptr<TatUsedUnits> FUsedUnits;
    bool FRollbackSourceCode = false;
    std::vector<TatScriptBasedLibrary*> FLibraries;  // registrations this script made of itself
    bool FSilentCompilation = false;
    std::string FFileName;
    std::string FUnitName;
    std::unique_ptr<TatInternalObject> FInternalObject;
    std::unique_ptr<TatObjects> FDefInstances;
    TatObject* FIntInstance = nullptr;
    std::string FCodeStream;
    bool FCompiling = false;
    bool FClearingScript = false;
};

// The scripts of a scripter; the first is the default script.
class TatScripts {
public:
    explicit TatScripts(TatCustomScripter* scripter);
    ~TatScripts();
    TatScripts(const TatScripts&) = delete;
    TatScripts& operator=(const TatScripts&) = delete;

    TatCustomScripter* Scripter() const { return FScripter; }
    // Creates a script of the scripter's default script class (else the item class).
    TatScript* Add();
    // Adds a script of the given class.
    TatScript* AddOf(const TatScriptClass* scriptClass);
    int Count() const { return static_cast<int>(FItems.size()); }
    TatScript* Items(int i) const { return FItems[static_cast<size_t>(i)].get(); }
    int IndexOf(const TatScript* script) const;
    // The first script whose unit name equals `name` ignoring case, or nullptr.
    TatScript* FindByUnitName(std::string_view name) const;
    // The script whose ID() is `id`, or nullptr.
    TatScript* FindByID(int id) const;
    // Frees the scripts from the last to the first.
    void Clear() noexcept;

private:
    TatScript* Adopt(std::unique_ptr<TatScript> script);

    TatCustomScripter* FScripter;
    std::vector<std::unique_ptr<TatScript>> FItems;
    int FNextID = 0;
};

} // namespace vorn::engine
