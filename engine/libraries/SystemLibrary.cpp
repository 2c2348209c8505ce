#include "engine/libraries/SystemLibrary.h"

#include <algorithm>

#include "engine/compiler/Scripter.h"
#include "engine/libraries/GeneralAdapters.h"
#include "engine/libraries/MathLibrary.h"
#include "engine/libraries/StrUtilsLibrary.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "platform/rtti/LiveObjects.h"
#include "platform/rtti/TypeBuilder.h"

namespace vorn::engine {

using platform::rtti::TClassInfo;
using platform::rtti::TLiveObjects;

const TClassInfo& TatSystemLibrary::ClassInfo() {
    static const TClassInfo& info =
        platform::rtti::TClassBuilder<TatSystemLibrary, TatScripterLibrary>("TatSystemLibrary", "General").Build();
    return info;
}

TatSystemLibrary::TatSystemLibrary(TatCustomScripter* scripter) : TatScripterLibrary(scripter) {}

TatSystemLibrary::~TatSystemLibrary() {
    while (!FFiles.empty()) FFiles.pop_back();
}

void TatSystemLibrary::Init() {
    TatClass* atClass = FScripter->DefineClass(&ClassInfo());
    const TLibraryRoutine rows[] = {
#define VORN_GENERAL_ROUTINE(Name, Args, Optional, ResultKind, ByRef, Hint, Adapter) \
    {#Name, Args, Optional, ResultKind, ByRef, Hint, BindAdapter<TatSystemLibrary, &general::Adapter>(this)},
#include "engine/libraries/GeneralRoutines.def"
    };
    for (const TLibraryRoutine& row : rows) {
        TLibraryRoutine entry = row;
        // Code insight shows the file's class after AssignFile.
        if (std::string_view(row.FName) == "AssignFile") entry.FResultClass = &TFileClass::ClassInfo();
        DefineLibraryRoutine(atClass, entry);
    }
    DefineExceptionProperties(atClass);
    DefineBaseObjectMethods();
}

namespace {

void LastExceptionMessageGetter(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnText(m, ScriptText::FromUtf8(m->LastExceptionMessage()));
}
void LastExceptionClassNameGetter(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnText(m, ScriptText::FromUtf8(m->LastExceptionClassName()));
}
void LastExceptionHelpContextGetter(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnInteger(m, m->LastExceptionHelpContext());
}
void LastExceptionLineGetter(TatSystemLibrary&, TatVirtualMachine* m) { ReturnInteger(m, m->LastExceptionLine()); }
void LastExceptionColGetter(TatSystemLibrary&, TatVirtualMachine* m) { ReturnInteger(m, m->LastExceptionCol()); }

// TObject.Create: a new instance of the called class from the factory registered with
// it, so its constructor runs; the scripter's binding owns it until a script frees it.
// A class without a factory cannot be created by scripts.
void CreateProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    const TatClass* atClass = m->CurrentClass();
    const TClassInfo* classInfo = atClass ? atClass->ClassRef() : nullptr;
    if (!classInfo || !classInfo->CanCreate())
        m->RuntimeError("Class '" + (atClass ? atClass->Name() : std::string("?")) +
                        "' has no registered constructor and cannot be created");
    void* object = classInfo->FFactory();
    TatHostBinding& binding = library.Scripter()->HostBinding();
    m->ReturnOutputArg(ObjectToVar(binding.AdoptInstance(object, classInfo, m->Host())));
}

void FreeProc(TatSystemLibrary& library, TatVirtualMachine* m) { library.FreeObject(m, m->CurrentObject()); }

} // namespace

void TatSystemLibrary::DefineExceptionProperties(TatClass* atClass) {
    struct TRow { const char* FName; TatTypeKind FKind; TMachineProc FGetter; };
    const TRow rows[] = {
        {"LastExceptionMessage", tkString, BindAdapter<TatSystemLibrary, &LastExceptionMessageGetter>(this)},
        {"LastExceptionHelpContext", tkInteger, BindAdapter<TatSystemLibrary, &LastExceptionHelpContextGetter>(this)},
        {"LastExceptionClassName", tkString, BindAdapter<TatSystemLibrary, &LastExceptionClassNameGetter>(this)},
        {"LastExceptionLine", tkInteger, BindAdapter<TatSystemLibrary, &LastExceptionLineGetter>(this)},
        {"LastExceptionCol", tkInteger, BindAdapter<TatSystemLibrary, &LastExceptionColGetter>(this)},
    };
    for (const TRow& row : rows) {
        TatPropDef def;
        def.FName = row.FName;
        def.FDataType = row.FKind;
        def.FGetter = row.FGetter;
        atClass->DefineProp(def);
    }
}

void TatSystemLibrary::DefineBaseObjectMethods() {
    TatClass* baseObject = FScripter->DefineClass(&platform::rtti::TObject::ClassInfo());
    TatProcDef create;
    create.FName = "Create";
    create.FResultDataType = tkClass;
    create.FProc = BindAdapter<TatSystemLibrary, &CreateProc>(this);
    create.FIsClassMethod = true;
    baseObject->DefineMethod(create);
    TatProcDef free;
    free.FName = "Free";
    free.FProc = BindAdapter<TatSystemLibrary, &FreeProc>(this);
    baseObject->DefineMethod(free);
}

// ---- Objects ----------------------------------------------------------------------------------

TFileClass* TatSystemLibrary::NewFile(std::string fileName) {
    FFiles.push_back(std::make_unique<TFileClass>(std::move(fileName)));
    return FFiles.back().get();
}

void TatSystemLibrary::CloseOpenFiles() {
    std::string failure;
    for (const auto& file : FFiles) {
        if (file->Mode() == TTextFileMode::fmClosed) continue;
        int code = file->Close();
        if (code && failure.empty()) failure = "Could not close file '" + file->FileName() + "': " + InOutErrorText(code);
    }
    FFiles.clear();
    if (!failure.empty()) throw platform::EInOutError(failure);
}

// Scripts free what they created (file objects, objects of Create and host
// constructors); everything else belongs to the host and is refused, so nothing is ever
// freed twice.
void TatSystemLibrary::FreeObject(TatVirtualMachine* m, int64_t objectNumber) {
    if (objectNumber == 0) return;
    auto file = std::find_if(FFiles.begin(), FFiles.end(),
                             [&](const auto& f) { return f->ObjectNumber() == objectNumber; });
    if (file != FFiles.end()) {
        FFiles.erase(file);
        return;
    }
    if (FScripter->HostBinding().FreeCreated(objectNumber)) return;
    void* object = nullptr;
    const TClassInfo* classInfo = nullptr;
    if (!TLiveObjects::Instance().TryResolve(objectNumber, object, classInfo) || !object)
        m->RuntimeError("Cannot free object: the reference is not valid (already freed?)");
    const std::string className = classInfo ? classInfo->Name() : std::string("?");
    m->RuntimeError("Cannot free object of class '" + className + "': it belongs to the host");
}

TFileClass* TatSystemLibrary::FileArg(TatVirtualMachine* m, int i) const {
    int64_t number = m->GetInputArgAsObject(i);
    auto file = std::find_if(FFiles.begin(), FFiles.end(), [&](const auto& f) { return f->ObjectNumber() == number; });
    if (number == 0 || file == FFiles.end())
        m->RuntimeError("Argument " + std::to_string(i) + " is not a file assigned with AssignFile");
    return file->get();
}

// ---- Registration in the process-wide list --------------------------------------------------

namespace {

template <class L>
void RegisterOnce() {
    TatLibraryList* list = atLibraryList();
    if (!list) return;
    for (int i = 0; i < list->Count(); ++i)
        if (list->GetItem(i)->FLibraryClass == LibraryClassOf<L>()) return;
    RegisterScripterLibrary(LibraryClassOf<L>(), false);
}

} // namespace

void RegisterGeneralLibrary() { RegisterOnce<TatSystemLibrary>(); }
void RegisterMathLibrary() { RegisterOnce<TatMathLibrary>(); }
void RegisterStrUtilsLibrary() { RegisterOnce<TatStrUtilsLibrary>(); }

} // namespace vorn::engine
