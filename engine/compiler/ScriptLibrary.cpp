#include "engine/compiler/ScriptLibrary.h"

#include <cassert>

#include "engine/compiler/CompilerMessages.h"
#include "engine/compiler/Script.h"
#include "engine/compiler/Scripter.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/VirtualMachine.h"
#include "platform/CaseFolding.h"
#include "platform/rtti/TypeBuilder.h"

namespace vorn::engine {

using platform::rtti::TClassBuilder;
using platform::rtti::TClassInfo;

namespace {

// The process-wide library list, alive between CreateLibraryList and FreeLibraryList.
std::unique_ptr<TatLibraryList> GLibraryList;

} // namespace

std::string DefaultLibraryName(std::string_view className) {
    if (!className.empty() && platform::AsciiUpperChar(className[0]) == 'T') return std::string(className.substr(1));
    return std::string(className);
}

const TClassInfo& TatScripterLibrary::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TatScripterLibrary, platform::rtti::TObject>("TatScripterLibrary", "ScripterLibrary").Build();
    return info;
}

// The library object travels like any other object: as its live-object number.
void TatScripterLibrary::SelfProc(TatVirtualMachine* machine) { machine->ReturnOutputArg(ObjectToVar(ObjectNumber())); }

// ---- Library list -------------------------------------------------------------------------

TatLibraryListItem* TatLibraryList::Add() {
    FItems.push_back(std::make_unique<TatLibraryListItem>());
    return FItems.back().get();
}

TatLibraryListItem* TatLibraryList::FindByLibraryName(std::string_view name) const {
    for (const auto& item : FItems)
        if (item->FLibraryClass && platform::UnicodeSameText(item->FLibraryClass->LibraryName(), name)) return item.get();
    return nullptr;
}

void TatLibraryList::Remove(const TatScripterLibraryClass* libraryClass) {
    for (auto it = FItems.begin(); it != FItems.end(); ++it)
        if ((*it)->FLibraryClass == libraryClass) {
            FItems.erase(it);
            return;
        }
}

TatLibraryList* atLibraryList() { return GLibraryList.get(); }

TatLibraryListItem* RegisterScripterLibrary(const TatScripterLibraryClass* libraryClass, bool explicitLoad) {
    assert(GLibraryList && "the engine is started before libraries register");
    if (!GLibraryList) return nullptr;
    TatLibraryListItem* item = GLibraryList->Add();
    item->FLibraryClass = libraryClass;
    item->FExplicitLoad = explicitLoad;
    return item;
}

void CreateLibraryList() { GLibraryList = std::make_unique<TatLibraryList>(); }

void FreeLibraryList() noexcept { GLibraryList.reset(); }

// ---- Script-based library ----------------------------------------------------------------

const TClassInfo& TatScriptBasedLibrary::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TatScriptBasedLibrary, TatScripterLibrary>("TatScriptBasedLibrary", "ScripterLibrary").Build();
    return info;
}

TatScriptBasedLibrary::~TatScriptBasedLibrary() = default;

// Defines the script-visible class of the library and one member per public routine and
// public global of the library script.
void TatScriptBasedLibrary::Init() {
    if (!FRegClass) FRegClass = &ClassInfo();
    if (FRegClassName.empty()) FRegClassName = FRegClass->Name();
    FNewClass = FScripter->Classes().AddClassByRTTI(FRegClass, FRegClassName);
    FNewClass->FBaseScript = FInternalScript;
    DefineRoutineMethods();
    DefineGlobalProperties();
}

void TatScriptBasedLibrary::DefineRoutineMethods() {
    TatRoutinesInfo& routines = FInternalScript->ScriptInfo().Routines();
    for (int i = 0; i < routines.Count(); ++i) {
        TatRoutineInfo* r = routines.GetItem(i);
        if (platform::AsciiSameText(r->FName, "___MAIN___") || r->FVisibility == rvPrivate) continue;
        TatProcDef def;
        def.FName = r->FName;
        def.FArgCount = r->FArgCount;
        def.FResultDataType = r->FResultClass ? tkClass : tkVariant;
        def.FResultClass = r->FResultClass ? r->FResultClass->ClassRef() : nullptr;
        def.FProc = TMachineProc::Of<&TatScriptBasedLibrary::ExecSubRoutineProc>(this);
        TatMethod* m = FNewClass->DefineMethod(def);
        if (r->FResultClass) m->FResultVirtualClass = r->FResultClass;
        // Any by-reference argument counts, also one whose bit is the mask's sign bit.
        if (r->HasByRefArgs()) {
            std::vector<uint8_t> positions;
            for (int v = 0; v < r->Variables().Count() && v < 256; ++v)
                if (r->Variables().GetItem(v)->FModifier == moVar) positions.push_back(static_cast<uint8_t>(v));
            m->SetVarArgs(positions);
        }
        m->SetArgCount(r->FArgCount);
        for (int a = 0; a < r->FArgCount && a < m->ArgDefs().Count(); ++a) {
            m->ArgDefs().GetItem(a)->FName = r->Variables().GetItem(a)->FVarName;
            m->ArgDefs().GetItem(a)->FDataTypeName = r->Variables().GetItem(a)->FTypeDecl;
        }
        FMethodList.push_back(m);
    }
}

void TatScriptBasedLibrary::DefineGlobalProperties() {
    TatVariablesInfo& globals = FInternalScript->ScriptInfo().Globals();
    for (int i = 0; i < globals.Count(); ++i) {
        TatVariableInfo* g = globals.GetItem(i);
        if (g->FVisibility != vvPublic) continue;
        TatPropDef def;
        def.FName = g->FVarName;
        def.FDataType = g->FDeclaredClass ? tkClass : tkVariant;
        def.FPropertyClass = g->FDeclaredClass ? g->FDeclaredClass->ClassRef() : nullptr;
        def.FGetter = TMachineProc::Of<&TatScriptBasedLibrary::GetScriptVarProc>(this);
        def.FSetter = TMachineProc::Of<&TatScriptBasedLibrary::SetScriptVarProc>(this);
        TatProperty* p = FNewClass->SetProp(def);
        if (g->FDeclaredClass) p->FVirtualClass = g->FDeclaredClass;
        FPropList.push_back(p);
    }
}

void TatScriptBasedLibrary::Finalize() {
    if (FNewClass) {
        if (FNewClass->FBaseScript == FInternalScript) FNewClass->FBaseScript = nullptr;
        for (TatMethod* m : FMethodList) FNewClass->Methods().Remove(m);
        for (TatProperty* p : FPropList) FNewClass->Properties().Remove(p);
    }
    FMethodList.clear();
    FPropList.clear();
}

// The three member procs run the library script on its own machine.
void TatScriptBasedLibrary::GetScriptVarProc(TatVirtualMachine*) { NoMachineError(); }
void TatScriptBasedLibrary::SetScriptVarProc(TatVirtualMachine*) { NoMachineError(); }
void TatScriptBasedLibrary::ExecSubRoutineProc(TatVirtualMachine*) { NoMachineError(); }

// ---- Used units -----------------------------------------------------------------------------

TatUsedUnit* TatUsedUnits::Add() {
    FItems.push_back(std::make_unique<TatUsedUnit>());
    return FItems.back().get();
}

TatUsedUnit* TatUsedUnits::FindByName(std::string_view unitName) const {
    for (const auto& unit : FItems)
        if (platform::UnicodeSameText(unit->FUnitName, unitName)) return unit.get();
    return nullptr;
}

} // namespace vorn::engine
