// Registration of host classes and records from the reflection layer into the class
// registry. Every member is bound to one of the generic procs (GenericProcs.cpp), which
// find the member again by name when a script uses it.

#include "engine/compiler/HostBinding.h"

#include "engine/compiler/RttiValues.h"
#include "engine/compiler/Scripter.h"
#include "engine/vm/RecordWrapper.h"
#include "platform/CaseFolding.h"

namespace vorn::engine {

namespace rtti = platform::rtti;

namespace {

bool Visible(const TDefineClassOptions& options, rtti::TMemberVisibility visibility) {
    return (options.FVisibilityFilter & VisibilityBit(visibility)) != 0;
}

// The kinds a default scripter registers published properties of (event properties included).
rtti::TTypeKinds DefaultTypeInfoFilter() {
    rtti::TTypeKinds kinds = 0;
    for (rtti::TTypeKind k : {rtti::tkInteger, rtti::tkChar, rtti::tkEnumeration, rtti::tkFloat, rtti::tkString,
                              rtti::tkSet, rtti::tkClass, rtti::tkWChar, rtti::tkLString, rtti::tkWString,
                              rtti::tkVariant, rtti::tkArray, rtti::tkInt64, rtti::tkUString, rtti::tkMethod})
        kinds |= rtti::KindBit(k);
    return kinds;
}

// The overloads of one name that a call can reach (the class's own and its ancestors', as
// the generic method proc chooses among them): the one with the most parameters (the
// class's own and the later declared on a tie) and the fewest parameters of any.
struct TOverloadRange {
    const rtti::TMethodInfo* Widest = nullptr;
    int32_t Fewest = 0;
};

TOverloadRange OverloadRange(const rtti::TClassInfo* classRef, std::string_view name) {
    TOverloadRange range;
    for (const rtti::TStructInfo* t = classRef; t; t = t->ParentStruct())
        for (const auto& m : t->Methods()) {
            if (!platform::AsciiSameText(m->Name(), name)) continue;
            const int32_t count = int32_t(m->Parameters().size());
            if (!range.Widest || count < range.Fewest) range.Fewest = count;
            if (!range.Widest || count > int32_t(range.Widest->Parameters().size()) ||
                (t == classRef && count == int32_t(range.Widest->Parameters().size())))
                range.Widest = m.get();
        }
    return range;
}

} // namespace

struct TatHostBinding::TDefineContext {
    const TDefineClassOptions& FOptions;
    bool FConstructorRegistered = false;
};

TatHostBinding::TatHostBinding(TatCustomScripter* scripter)
    : FTypeInfoFilter(DefaultTypeInfoFilter()), FScripter(scripter) {}

TatHostBinding::~TatHostBinding() { FreeAllCreated(); }

// ---- Extended registration ------------------------------------------------------------------

TatClass* TatHostBinding::DefineClass(const rtti::TClassInfo* classRef, const TDefineClassOptions& options,
                                      const std::string& name) {
    TatClasses& classes = FScripter->Classes();
    TatRegLevelGuard level(classes);
    DefineObjectFree();
    const std::string className = name.empty() ? classRef->Name() : name;
    TatClass* entry = classes.FindOrAdd(className);
    classes.SetLibraryContext(entry);
    if (entry->FClassRef && options.FRedefine == roNone) return entry;
    if (entry->FClassRef && options.FRedefine == roOverwrite) {
        entry->Methods().Clear();
        entry->Properties().Clear();
        if (entry->Ancestor()) entry->Ancestor()->RemoveDescendant(entry);
        entry->AncestorDestroyed();
    }
    entry->FName = className;
    entry->FClassRef = classRef;
    if (!platform::AsciiSameText(classRef->Name(), className)) {
        // An alias: the class under its own name first; the alias inherits its members.
        DefineClass(classRef, options, {});
        entry->FAncestorName = classRef->Name();
        entry->Inherits(entry->FAncestorName);
        return entry;
    }
    if (const rtti::TClassInfo* parent = classRef->Parent()) {
        DefineClass(parent, options, parent->Name());
        entry->FAncestorName = parent->Name();
        if (!entry->FAncestorName.empty()) entry->Inherits(entry->FAncestorName);
    }
    if (classRef == &rtti::TObject::ClassInfo()) DefineObjectFree();
    TDefineContext ctx{options};
    DefineMethods(entry, classRef, ctx);
    DefineProperties(entry, classRef, ctx);
    DefineFields(entry, classRef, ctx);
    return entry;
}

// Marks by-reference positions and names the argument definitions after the parameters.
void TatHostBinding::ApplyParameters(TatMethod* method, const rtti::TMethodInfo* info) {
    const auto& params = info->Parameters();
    for (size_t i = 0; i < params.size(); ++i) {
        if (params[i].IsByRef()) {
            const uint8_t position[] = {uint8_t(i)};
            method->SetVarArgs(position);
        }
        if (int(i) < method->ArgDefs().Count()) {
            TatDataDef* def = method->ArgDefs().GetItem(int(i));
            def->FName = params[i].Name();
            def->FDataTypeName = TypeInfoName(params[i].Type());
            def->FDataType = ScrTypeKind(params[i].Type());
        }
    }
}

// Declared methods in order; overloads share one entry (the generic proc chooses the
// overload by argument count at call time). The entry takes the widest overload's
// argument count and as many optional arguments as the narrowest one leaves out, so the
// compiler accepts a call of any overload; a count between that no overload takes is a
// runtime error of the generic proc.
void TatHostBinding::DefineMethods(TatClass* entry, const rtti::TClassInfo* classRef, TDefineContext& ctx) {
    bool declaresConstructor = false;
    for (const auto& m : classRef->Methods()) {
        declaresConstructor = declaresConstructor || m->IsConstructor();
        if (!Visible(ctx.FOptions, m->Visibility())) continue;
        bool skip = ctx.FOptions.FRedefine == roInclude && entry->MethodByName(m->Name()) &&
                    !(m->IsConstructor() && !ctx.FConstructorRegistered);
        if (!skip) {
            const TOverloadRange range = OverloadRange(classRef, m->Name());
            TatProcDef def;
            def.FName = m->Name();
            def.FArgCount = int32_t(range.Widest->Parameters().size());
            def.FDefArgCount = def.FArgCount - range.Fewest;
            def.FResultDataType = m->IsConstructor() ? tkClass : ScrTypeKind(m->ReturnType());
            def.FResultClass = m->IsConstructor() ? classRef : ScrClassType(m->ReturnType());
            def.FProc = Bound<&TatHostBinding::GenericMethodMachineProc>();
            def.FIsClassMethod = m->IsClassMethod() || m->IsConstructor();
            TatMethod* method = entry->DefineMethod(def);
            method->FResultClassName = m->IsConstructor() ? std::string() : ScrClassName(m->ReturnType());
            method->FResultType = m->ReturnType();
            ApplyParameters(method, range.Widest);
            if (m->IsConstructor()) ctx.FConstructorRegistered = true;
        }
        if (!ctx.FOptions.FRecursive) continue;
        if (m->ReturnType() != classRef) RecursiveDefine(m->ReturnType(), ctx);
        for (const auto& p : m->Parameters()) RecursiveDefine(p.Type(), ctx);
    }
    // A class without a declared constructor is created through its registered factory.
    if (!declaresConstructor && classRef->CanCreate() && !entry->MethodByName("Create")) {
        TatProcDef create;
        create.FName = "Create";
        create.FResultDataType = tkClass;
        create.FResultClass = classRef;
        create.FProc = Bound<&TatHostBinding::GenericMethodMachineProc>();
        create.FIsClassMethod = true;
        entry->DefineMethod(create);
    }
}

// "Free" on the root class, passed down to every descendant that lacks it.
void TatHostBinding::DefineObjectFree() {
    TatClass* root = FScripter->Classes().ClassByName(rtti::TObject::ClassInfo().Name());
    if (!root || root->MethodByName("Free")) return;
    TatProcDef free;
    free.FName = "Free";
    free.FProc = Bound<&TatHostBinding::ObjectFreeProc>();
    root->DefineMethod(free);
}

void TatHostBinding::RecordsReached(const rtti::TTypeInfo* type) {
    if (!type) return;
    if (type->Kind() == rtti::tkRecord) DefineRecordByRTTI(type);
    if (type->Kind() == rtti::tkDynArray && type->ElementType() && type->ElementType()->Kind() == rtti::tkRecord)
        DefineRecordByRTTI(type->ElementType());
}

// Plain and indexed properties in declaration order.
void TatHostBinding::DefineProperties(TatClass* entry, const rtti::TClassInfo* classRef, TDefineContext& ctx) {
    std::vector<const rtti::TPropertyInfo*> list = ctx.FOptions.FProperties;
    if (!ctx.FOptions.FCustomProperties) {
        list.clear();
        for (const auto& p : classRef->Properties()) list.push_back(p.get());
    }
    for (const rtti::TPropertyInfo* p : list) {
        if (!p || !Visible(ctx.FOptions, p->Visibility())) continue;
        bool indexed = !p->IndexParameters().empty();
        if (!indexed && !p->Type()) continue;
        TatPropDef def;
        def.FName = p->Name();
        def.FDataType = ScrTypeKind(p->Type());
        if (p->IsReadable())
            def.FGetter = indexed ? Bound<&TatHostBinding::GenericIdxPropGetterMachineProc>()
                                  : Bound<&TatHostBinding::GenericPropGetterMachineProc>();
        if (p->IsWritable())
            def.FSetter = indexed ? Bound<&TatHostBinding::GenericIdxPropSetterMachineProc>()
                                  : Bound<&TatHostBinding::GenericPropSetterMachineProc>();
        def.FPropertyClass = ScrClassType(p->Type());
        def.FIndexCount = int32_t(p->IndexParameters().size());
        if (!(ctx.FOptions.FRedefine == roInclude && entry->PropertyByName(p->Name()))) {
            TatProperty* property = entry->DefineProp(def);
            if (property) {
                property->FPropertyClassName = ScrClassName(p->Type());
                if (!indexed) property->FPropType = p->Type();
                if (indexed && p->IsDefault()) entry->SetDefaultProperty(property);
            }
        }
        RecordsReached(p->Type());
        if (ctx.FOptions.FRecursive) RecursiveDefine(p->Type(), ctx);
    }
}

void TatHostBinding::DefineFields(TatClass* entry, const rtti::TClassInfo* classRef, TDefineContext& ctx) {
    std::vector<const rtti::TFieldInfo*> list = ctx.FOptions.FFields;
    if (!ctx.FOptions.FCustomFields) {
        list.clear();
        for (const auto& f : classRef->Fields()) list.push_back(f.get());
    }
    for (const rtti::TFieldInfo* f : list) {
        if (!f || !Visible(ctx.FOptions, f->Visibility())) continue;
        if (!(ctx.FOptions.FRedefine == roInclude && entry->PropertyByName(f->Name()))) {
            TatPropDef def;
            def.FName = f->Name();
            def.FDataType = ScrTypeKind(f->Type());
            def.FGetter = Bound<&TatHostBinding::GenericFieldGetterMachineProc>();
            def.FSetter = Bound<&TatHostBinding::GenericFieldSetterMachineProc>();
            def.FPropertyClass = ScrClassType(f->Type());
            if (TatProperty* property = entry->DefineProp(def)) property->FPropertyClassName = ScrClassName(f->Type());
        }
        if (ctx.FOptions.FRecursive) RecursiveDefine(f->Type(), ctx);
    }
}

void TatHostBinding::RecursiveDefine(const rtti::TTypeInfo* type, TDefineContext& ctx) {
    if (!type) return;
    if (type->Kind() == rtti::tkEnumeration) {
        FScripter->AddEnumeration(type);
        return;
    }
    if (type->Kind() != rtti::tkClass) return;
    const rtti::TClassInfo* c = ScrClassType(type);
    if (c && !FScripter->Classes().ClassByName(c->Name())) DefineClass(c, ctx.FOptions, c->Name());
}

// ---- Records ---------------------------------------------------------------------------------

TatClass* TatHostBinding::DefineRecord(const rtti::TTypeInfo* recordType, const std::string& name) {
    TatClass* entry = FScripter->Classes().AddRecord(recordType, name);
    TatProcDef create;
    create.FName = "Create";
    create.FResultDataType = tkClass;
    create.FResultClass = &TGenericRecordWrapper::ClassInfo();
    create.FProc = Bound<&TatHostBinding::RecordCreateProc>();
    create.FIsClassMethod = true;
    entry->DefineMethod(create)->FResultVirtualClass = entry;
    TatProcDef free;
    free.FName = "Free";
    free.FProc = Bound<&TatHostBinding::RecordFreeProc>();
    entry->DefineMethod(free);
    return entry;
}

TatClass* TatHostBinding::DefineRecordByRTTI(const rtti::TTypeInfo* recordType) {
    TatClass* entry = DefineRecord(recordType, {});
    const rtti::TRecordInfo* record = recordType->AsRecord();
    if (!record) return entry;
    for (const auto& f : record->Fields()) {
        TatPropDef def;
        def.FName = f->Name();
        def.FDataType = ScrTypeKind(f->Type());
        def.FGetter = Bound<&TatHostBinding::GenericRecordFieldGetterMachineProc>();
        def.FSetter = Bound<&TatHostBinding::GenericRecordFieldSetterMachineProc>();
        def.FPropertyClass = ScrClassType(f->Type());
        if (TatProperty* p = entry->DefineProp(def)) {
            p->FPropertyClassName = ScrClassName(f->Type());
            p->FPropType = f->Type();
        }
    }
    for (const auto& m : record->Methods()) {
        if (entry->MethodByName(m->Name())) continue;
        TatProcDef def;
        def.FName = m->Name();
        def.FArgCount = int32_t(m->Parameters().size());
        def.FResultDataType = ScrTypeKind(m->ReturnType());
        def.FResultClass = ScrClassType(m->ReturnType());
        def.FProc = Bound<&TatHostBinding::GenericRecordMethodMachineProc>();
        def.FIsClassMethod = m->IsClassMethod() || m->IsConstructor();
        TatMethod* method = entry->DefineMethod(def);
        method->FResultClassName = ScrClassName(m->ReturnType());
        method->FResultType = m->ReturnType();
        ApplyParameters(method, m.get());
    }
    return entry;
}

// ---- Published registration and on-demand registration ----------------------------------------

void TatHostBinding::AddPublishedProperties(TatClass* entry) {
    if (!entry->FClassRef) return;
    for (const rtti::TPropertyInfo* p : entry->FClassRef->PublishedProperties(FTypeInfoFilter)) {
        const rtti::TTypeInfo* type = p->Type();
        if (!type || type->Kind() == rtti::tkArray) continue;
        auto property = std::make_unique<TatProperty>(entry);
        TatProperty* added = entry->Properties().Append(std::move(property));
        entry->SetLibContext(added);
        added->FName = p->Name();
        added->FDataType = MapTatTypeKind(type->Kind());
        if (p->IsReadable()) added->FGetter = TMachineProc{&RTTIGetterProcCode, added};
        if (p->IsWritable()) added->FSetter = TMachineProc{&RTTISetterProcCode, added};
        added->FPropInfo = p;
        added->FPropertyClass = type->AsClass();
    }
}

TatClass* TatHostBinding::CheckLoaded(const rtti::TClassInfo* classRef, const std::string& name) {
    if (!FAutoLoadClassUsingRTTI) return FScripter->Classes().AddClassByRTTI(classRef, name);
    TDefineClassOptions options;
    return DefineClass(classRef, options, {});
}

TatClass* TatClasses::DefineClass(const rtti::TClassInfo* classRef, const TDefineClassOptions& options,
                                  const std::string& name) {
    return HostBindingOf(FScripter).DefineClass(classRef, options, name);
}

} // namespace vorn::engine
