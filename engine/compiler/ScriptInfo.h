#pragma once
// The symbol table of one compiled script (`TatScriptInfo`): its routines with their
// arguments and locals, its globals, its main routine, its kind and unit name. It maps a
// variable's name to its stack slot (`VarIndex`) and gives its value while it lives.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compiler/ClassRegistry.h"
#include "engine/vm/SimplifiedCode.h"
#include "engine/vm/Variant.h"

namespace vorn::engine {

class TatScript;
class TatScriptInfo;
class TatRoutineInfo;
class TatRoutinesInfo;
class TatVariablesInfo;

enum TatScriptBehavior : uint8_t { sbNormal = 0, sbClass = 1, sbForm = 2 };
enum TatRoutineVisibility : uint8_t { rvPublic = 0, rvPrivate = 1 };
enum TatVariableVisibility : uint8_t { vvPublic = 0, vvPrivate = 1 };
enum TatCallingConvention : uint8_t { ccRegister = 0, ccPascal, ccCdecl, ccStdCall, ccSafeCall };

// One variable: an argument, a local, a function result or a global.
class TatVariableInfo {
public:
    explicit TatVariableInfo(TatVariablesInfo* owner) : FOwner(owner) {}
    TatVariableInfo(const TatVariableInfo&) = delete;
    TatVariableInfo& operator=(const TatVariableInfo&) = delete;

    const std::string& VarName() const { return FVarName; }
    bool Internal() const { return !FVarName.empty() && FVarName[0] == '#'; }
    // The routine that owns the variable; for a global, the script's main routine.
    TatRoutineInfo* routine() const;
    TatScriptInfo* ScriptInfo() const;
    TatScript* Script() const;
    // Stack slot: a global's position among the globals; a routine variable's position in
    // its routine minus the argument count (arguments -ArgCount..-1, locals from 0).
    int VarIndex() const;
    // The value while the variable lives on the script's machine (see ScriptInfo.cpp).
    Variant Value() const;
    void SetValue(const Variant& value);
    // The variable's slot on the machine, or null (with the routine being run).
    Variant* MachineSlot(std::string& running) const;
    std::string DeclaredClassName() const;
    void SetDeclaredClassName(std::string_view name);
    bool SameDeclaration(const TatVariableInfo& other) const;
    void Assign(const TatVariableInfo& source);

    std::string FVarName;
    int FDeclarationSourcePos = 0;
    int FArgIndex = -1;
    TatArgumentModifier FModifier = moNone;
    TatClass* FDeclaredClass = nullptr;
    bool FGlobal = false;
    std::string FTypeDecl;
    int FSystemType = 0;
    TatVariableVisibility FVisibility = vvPublic;

private:
    friend class TatVariablesInfo;
    TatVariablesInfo* FOwner;
};

// The variables of a routine (or the globals of a script), owned, in declaration order.
class TatVariablesInfo {
public:
    TatVariablesInfo(TatRoutineInfo* routine, TatScriptInfo* scriptInfo) : FRoutine(routine), FScriptInfo(scriptInfo) {}
    TatVariablesInfo(const TatVariablesInfo&) = delete;
    TatVariablesInfo& operator=(const TatVariablesInfo&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    TatVariableInfo* GetItem(int i) const { return FItems[static_cast<size_t>(i)].get(); }
    TatVariableInfo* Add();
    // The last variable of that name (ASCII case ignored): a later declaration hides an
    // earlier one. -1 / nullptr when none.
    int IndexOf(std::string_view name) const;
    TatVariableInfo* FindByName(std::string_view name) const;
    int IndexOfItem(const TatVariableInfo* item) const;
    void Clear() { FItems.clear(); }
    void Assign(const TatVariablesInfo& source);
    TatRoutineInfo* Routine() const { return FRoutine; }
    TatScriptInfo* ScriptInfo() const { return FScriptInfo; }

private:
    TatRoutineInfo* FRoutine;     // null for the globals
    TatScriptInfo* FScriptInfo;   // set for the globals
    std::vector<std::unique_ptr<TatVariableInfo>> FItems;
};

// One routine: its variables (arguments first), entry instruction and signature.
class TatRoutineInfo {
public:
    explicit TatRoutineInfo(TatRoutinesInfo* owner);
    TatRoutineInfo(const TatRoutineInfo&) = delete;
    TatRoutineInfo& operator=(const TatRoutineInfo&) = delete;

    const std::string& Name() const { return FName; }
    bool Internal() const { return !FName.empty() && FName[0] == '#'; }
    TatVariablesInfo& Variables() { return FVariables; }
    const TatVariablesInfo& Variables() const { return FVariables; }
    TatScriptInfo* ScriptInfo() const;

    // Appends a variable; an argument (argIndex >= 0) raises the argument count, and a
    // by-reference one (moVar) is marked in the by-reference set.
    TatVariableInfo* DeclareVariable(std::string_view name, int sourcePos, int argIndex, TatArgumentModifier modifier);
    TatVariableInfo* VariableByName(std::string_view name) const { return FVariables.FindByName(name); }
    int LocalVarCount() const { return FVariables.Count() - FArgCount; }
    // Whether argument n is passed by reference; any n, also 32 and above.
    bool IsByRefArg(int n) const;
    // True when any argument is passed by reference (the test callers use to decide on
    // write-back; it also sees arguments beyond the 32 bits of the mask).
    bool HasByRefArgs() const { return FByRefArgMask != 0 || !FByRefArgsBeyondMask.empty(); }
    const std::string& ResultTypeDecl() const { return FResultTypeDecl; }
    void SetResultTypeDecl(std::string_view text);
    std::string ResultClassName() const;
    void SetResultClassName(std::string_view name);
    void Assign(const TatRoutineInfo& source);

    std::string FName;
    TSimplifiedCode* FDeclarationInstruction = nullptr;
    bool FIsFunction = false;
    int FArgCount = 0;
    // Bit i: argument i is passed by reference. Kept as the 32-bit value compiled images
    // store; arguments from 32 on are kept in FByRefArgsBeyondMask, so marking them is
    // neither undefined nor lost.
    uint32_t FByRefArgMask = 0;
    std::vector<int> FByRefArgsBeyondMask;
    int FResultIndex = 0;
    TatRoutineInfo* FPrototype = nullptr;
    TatCallingConvention FCallingConvention = ccRegister;
    std::string FExternalDll;
    std::string FExternalName;
    std::string FResultTypeDecl;
    TatClass* FResultClass = nullptr;
    TatRoutineVisibility FVisibility = rvPublic;

private:
    void SetTypeFromString(std::string_view name);
    TatRoutinesInfo* FOwner;
    TatVariablesInfo FVariables;
};

// The routines of a script, owned, in declaration order.
class TatRoutinesInfo {
public:
    explicit TatRoutinesInfo(TatScriptInfo* scriptInfo) : FScriptInfo(scriptInfo) {}
    TatRoutinesInfo(const TatRoutinesInfo&) = delete;
    TatRoutinesInfo& operator=(const TatRoutinesInfo&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    TatRoutineInfo* GetItem(int i) const { return FItems[static_cast<size_t>(i)].get(); }
    TatRoutineInfo* Add();
    // The first routine of that name (ASCII case ignored), -1 when none.
    int IndexOf(std::string_view name) const;
    std::vector<std::string> GetNames() const;
    void Clear() { FItems.clear(); }
    void Assign(const TatRoutinesInfo& source);
    TatScriptInfo* ScriptInfo() const { return FScriptInfo; }

private:
    TatScriptInfo* FScriptInfo;
    std::vector<std::unique_ptr<TatRoutineInfo>> FItems;
};

class TatScriptInfo {
public:
    explicit TatScriptInfo(TatScript* script) : FScript(script) {}
    TatScriptInfo(const TatScriptInfo&) = delete;
    TatScriptInfo& operator=(const TatScriptInfo&) = delete;

    TatRoutinesInfo& Routines() { return FRoutines; }
    const TatRoutinesInfo& Routines() const { return FRoutines; }
    TatVariablesInfo& Globals() { return FGlobals; }
    const TatVariablesInfo& Globals() const { return FGlobals; }
    TatScript* Script() const { return FScript; }
    int CodeSize() const { return FCodeSize; }
    void SetCodeSize(int value) { FCodeSize = value; }
    TatRoutineInfo* MainRoutine() const { return FMainRoutine; }
    void SetMainRoutine(TatRoutineInfo* routine) { FMainRoutine = routine; }
    std::string MainRoutineName() const { return FMainRoutine ? FMainRoutine->FName : std::string(); }
    void SetMainRoutineName(std::string_view name) { FMainRoutine = RoutineByName(name); }
    bool IsClass() const { return FBehavior == sbClass; }
    bool IsForm() const { return FBehavior == sbForm; }

    // Empties routines and globals and resets the kind, names and main routine.
    void Clear();
    TatRoutineInfo* RoutineByName(std::string_view name) const;
    // Appends a routine (no check for an existing name).
    TatRoutineInfo* DeclareRoutine(std::string_view name, TSimplifiedCode* declInstruction, bool isFunction);
    // Reconnects routine entries to the `inPrepare` instructions of a new instruction list
    // starting at `first`, creating routines that are missing; the code size follows.
    void UpdateRoutineInfoPointers(TSimplifiedCode* first);

    std::string FScriptClassName;
    std::string FFormResource;
    TatScriptBehavior FBehavior = sbNormal;
    std::string FUnitName;

private:
    TatRoutinesInfo FRoutines{this};
    int FCodeSize = 0;
    TatVariablesInfo FGlobals{nullptr, this};
    TatScript* FScript;
    TatRoutineInfo* FMainRoutine = nullptr;
};

} // namespace vorn::engine
