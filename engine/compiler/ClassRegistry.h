#pragma once
// The class registry: the scripter's catalogue of the host classes, records, methods and
// properties that scripts can name, each member bound to the machine proc that serves it.
// Compiled code refers to classes and members by position, so entries are never reordered.

#include "engine/vm/MachineProc.h"
#include "engine/vm/Variant.h"
#include "platform/rtti/Object.h"
#include "platform/rtti/TypeInfo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::engine {

class TatCustomScripter;
class TatClasses;
class TatClass;
class TatClassRef;
class TatObjects;
struct TDefineClassOptions;

// The registry's type kinds: the first 19 kinds of the type information, same numbers.
enum TatTypeKind : uint8_t {
    tkNone = 0, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod, tkWChar,
    tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray, tkUString,
};

enum TatArgumentModifier : uint8_t { moNone = 0, moConst = 1, moVar = 2 };

// An ordered list that owns its items; removing an item frees it. Positions are what
// compiled code keeps, so items are only appended or removed, never moved.
template <class Item>
class TatOwnedList {
public:
    int Count() const { return int(FItems.size()); }
    Item* GetItem(int i) const { return FItems[size_t(i)].get(); }
    Item* Append(std::unique_ptr<Item> item) { FItems.push_back(std::move(item)); return FItems.back().get(); }
    int IndexOf(const Item* item) const {
        for (size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i].get() == item) return int(i);
        return -1;
    }
    // Frees the item at position i; later items move up by one.
    void Delete(int i) {
        std::unique_ptr<Item> doomed = std::move(FItems[size_t(i)]);
        FItems.erase(FItems.begin() + i);
    }
    void Remove(const Item* item) { if (int i = IndexOf(item); i >= 0) Delete(i); }
    void Clear() { while (!FItems.empty()) Delete(Count() - 1); }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    std::vector<std::unique_ptr<Item>> FItems;
};

// A host short string: a length byte and up to `FCapacity` (at most 255) 8-bit
// characters. Scripts writing a longer text into a bound one are cut to the capacity.
struct TShortString {
    explicit TShortString(uint8_t capacity = 255) : FCapacity(capacity) {}
    std::string Text() const { return std::string(FChars, FLength); }
    void SetText(std::string_view text) {
        FLength = uint8_t(text.size() < FCapacity ? text.size() : FCapacity);
        text.copy(FChars, FLength);
    }
    uint8_t FCapacity;
    uint8_t FLength = 0;
    char FChars[255] = {};
};

// One argument definition of a method: for hints and for by-reference passing.
class TatDataDef {
public:
    std::string FName;
    TatTypeKind FDataType = tkNone;
    TatArgumentModifier FModifier = moNone;
    std::string FDataTypeName;
    std::string FDefaultValueText;
};

class TatDataDefs : public TatOwnedList<TatDataDef> {
public:
    TatDataDef* Add(std::string name, TatTypeKind dataType, TatArgumentModifier modifier);
};

// A script-visible method of a class, served by a machine proc.
class TatMethod {
public:
    explicit TatMethod(TatClass* owner);
    TatMethod(const TatMethod&) = delete;
    TatMethod& operator=(const TatMethod&) = delete;

    TatClass* atClass() const { return FClass; }
    TatCustomScripter* Scripter() const { return FScripter; }
    int Index() const;
    const std::string& GetDisplayName() const { return FName; }
    const std::string& Name() const { return FName; }
    int32_t ArgCount() const { return FArgCount; }
    int32_t DefArgCount() const { return FDefArgCount; }
    uint32_t ByRefArgMask() const { return FByRefArgMask; }
    bool IsClassMethod() const { return FIsClassMethod; }
    const TatDataDefs& ArgDefs() const { return FArgDefs; }
    TatDataDefs& ArgDefs() { return FArgDefs; }

    // Sets the argument count and brings the definitions to it (appending empty ones,
    // removing surplus ones from the end).
    void SetArgCount(int32_t count);
    // Applies a hint text "A: Integer; B: string = 'x'" to the argument definitions.
    void UpdateParameterHints(std::string_view hints);
    // Marks the given positions by reference, here and in same-named methods of the
    // descendants that take as many arguments.
    void SetVarArgs(std::span<const uint8_t> positions);
    bool IsByRefArg(int n) const;
    // The class a member chain continues with after this method's result.
    void UpdateObjectInfo(TatClass*& currentClass);
    std::string GetResultTypeName() const;
    bool GetReturnsLibrary() const;
    // Copies the method for a descendant (see the registry's inheritance rules).
    void Assign(const TatMethod& source);

    TatCustomScripter* FScripter = nullptr;
    std::string FName;
    TMachineProc FProc;
    TatTypeKind FResultDataType = tkNone;
    const platform::rtti::TTypeInfo* FResultType = nullptr;
    int32_t FArgCount = 0;
    TatDataDefs FArgDefs;
    bool FIsClassMethod = false;
    uint32_t FByRefArgMask = 0;
    int32_t FDefArgCount = 0;
    const platform::rtti::TClassInfo* FResultClass = nullptr;
    std::string FResultClassName;
    TatClass* FResultVirtualClass = nullptr;
    std::string FLibContext;

private:
    TatClass* FClass;
};

// A script-visible property of a class: getter and setter procs, kind, value class.
class TatProperty {
public:
    explicit TatProperty(TatClass* owner);
    ~TatProperty();
    TatProperty(const TatProperty&) = delete;
    TatProperty& operator=(const TatProperty&) = delete;

    TatClass* atClass() const { return FClass; }
    TatCustomScripter* Scripter() const { return FScripter; }
    int Index() const;
    const std::string& GetDisplayName() const { return FName; }
    const std::string& Name() const { return FName; }
    bool GetWriteable() const { return bool(FSetter); }
    bool IsClassProp() const { return FIsClassProp; }
    int32_t IndexCount() const { return FIndexCount; }

    void UpdateObjectInfo(TatClass*& currentClass);
    std::string GetPropTypeName() const;
    void Assign(const TatProperty& source);
    // Sets both procs and the bound value here and in the same-named properties of the
    // descendants, which thus serve the same value (ScriptProperties.cpp).
    void SetPropExtra(TMachineProc getter, TMachineProc setter, const Variant& value);

    TatCustomScripter* FScripter = nullptr;
    std::string FName;
    TatTypeKind FDataType = tkNone;
    TMachineProc FGetter;
    TMachineProc FSetter;
    const platform::rtti::TClassInfo* FPropertyClass = nullptr;
    std::string FPropertyClassName;
    TatClass* FVirtualClass = nullptr;
    const platform::rtti::TPropertyInfo* FPropInfo = nullptr;
    const platform::rtti::TTypeInfo* FPropType = nullptr;
    Variant FValue;
    bool FIsClassProp = false;
    int32_t FIndexCount = 0;
    std::string FLibContext;

private:
    TatClass* FClass;
};

class TatMethods : public TatOwnedList<TatMethod> {};
class TatProperties : public TatOwnedList<TatProperty> {};

// The values a property registration writes.
struct TatPropDef {
    std::string FName;
    TatTypeKind FDataType = tkNone;
    TMachineProc FGetter;
    TMachineProc FSetter;
    const platform::rtti::TClassInfo* FPropertyClass = nullptr;
    bool FIsClassProp = false;
    int32_t FIndexCount = 0;
};

// The values a method registration writes.
struct TatProcDef {
    std::string FName;
    int32_t FArgCount = 0;
    TatTypeKind FResultDataType = tkNone;
    const platform::rtti::TClassInfo* FResultClass = nullptr;
    TMachineProc FProc;
    bool FIsClassMethod = false;
    int32_t FDefArgCount = 0;
};

// One class entry: its members (own and copied from its ancestors), host class or
// record, ancestor link and descendants.
class TatClass {
public:
    TatClass(TatClasses* classes, std::string name);
    // Unlinks the class from its ancestor and descendants; a class in a registry also
    // clears the member caches and default instances that refer to it.
    ~TatClass();
    TatClass(const TatClass&) = delete;
    TatClass& operator=(const TatClass&) = delete;

    const std::string& Name() const { return FName; }
    void SetName(std::string name) { FName = std::move(name); }
    TatProperties& Properties() { return FProperties; }
    TatMethods& Methods() { return FMethods; }
    const std::string& AncestorName() const { return FAncestorName; }
    const platform::rtti::TClassInfo* ClassRef() const { return FClassRef; }
    void SetClassRef(const platform::rtti::TClassInfo* classRef) { FClassRef = classRef; }
    const platform::rtti::TTypeInfo* RecordRef() const { return FRecordRef; }
    TatClass* Ancestor() const { return FAncestor; }
    const std::vector<TatClass*>& Descendants() const { return FDescendants; }
    TatProperty* DefaultProperty() const { return FDefaultProperty; }
    bool IsImplicit() const { return FImplicitClassRef != nullptr; }
    const TatClassRef* ImplicitClassRef() const { return FImplicitClassRef.get(); }
    const std::string& LibContext() const { return FLibContext; }
    TatClasses* Classes() const { return FClasses; }
    // The scripter of the owning registry; null outside a registry (UndefinedClass).
    TatCustomScripter* Scripter() const;
    int Index() const;

    // Lookups from the newest member to the oldest; ancestors are not consulted (a
    // class holds copies of its ancestors' members).
    TatMethod* MethodByName(std::string_view name) const;
    TatProperty* PropertyByName(std::string_view name) const;
    TatMethod* ClassMethodByName(std::string_view name) const;
    TatProperty* ClassPropertyByName(std::string_view name) const;

    // Property registration: Add appends, Set overwrites the newest entry of the name in
    // place; Define/DefineNew register nothing (null) for a Variant without getter,
    // setter and class. All copy the registration down to descendants that lack the name.
    TatProperty* AddProp(const TatPropDef& def);
    TatProperty* SetProp(const TatPropDef& def);
    TatProperty* DefineProp(const TatPropDef& def);
    TatProperty* DefineNewProp(const TatPropDef& def);
    TatProperty* AddIntegerProp(std::string name, TMachineProc getter, TMachineProc setter, bool isClassProp = false);
    TatProperty* AddBooleanProp(std::string name, TMachineProc getter, TMachineProc setter, bool isClassProp = false);
    TatProperty* AddStringProp(std::string name, TMachineProc getter, TMachineProc setter, bool isClassProp = false);
    TatProperty* AddFloatProp(std::string name, TMachineProc getter, TMachineProc setter, bool isClassProp = false);
    TatProperty* AddVariantProp(std::string name, TMachineProc getter, TMachineProc setter, bool isClassProp = false);
    TatProperty* AddObjectProp(std::string name, const platform::rtti::TClassInfo* propertyClass, TMachineProc getter,
                               TMachineProc setter, bool isClassProp = false);
    TatProperty* DefineIntegerProp(std::string name, TMachineProc getter, TMachineProc setter, bool isClassProp = false);
    TatProperty* DefineBooleanProp(std::string name, TMachineProc getter, TMachineProc setter, bool isClassProp = false);
    TatProperty* DefineStringProp(std::string name, TMachineProc getter, TMachineProc setter, bool isClassProp = false);
    TatProperty* DefineFloatProp(std::string name, TMachineProc getter, TMachineProc setter, bool isClassProp = false);
    TatProperty* DefineVariantProp(std::string name, TMachineProc getter, TMachineProc setter, bool isClassProp = false);
    TatProperty* DefineObjectProp(std::string name, const platform::rtti::TClassInfo* propertyClass,
                                  TMachineProc getter, TMachineProc setter, bool isClassProp = false);

    // Method registration: AddProc/AddMethod/DefineNewMethod append, SetProc/DefineMethod
    // overwrite in place and apply the parameter hints.
    TatMethod* AddProc(const TatProcDef& def);
    TatMethod* SetProc(const TatProcDef& def, std::string_view hints = {});
    TatMethod* AddMethod(const TatProcDef& def) { return AddProc(def); }
    TatMethod* DefineNewMethod(const TatProcDef& def) { return AddProc(def); }
    TatMethod* DefineMethod(const TatProcDef& def, std::string_view hints = {}) { return SetProc(def, hints); }

    // Constants, host variables and host objects as properties (ScriptProperties.cpp).
    // A host variable must outlive every script that can reach it.
    TatProperty* AddConstant(const std::string& name, const Variant& value);
    TatProperty* AddVariable(const std::string& name, Variant& variable);
    TatProperty* AddVariable(const std::string& name, double& variable);
    TatProperty* AddVariable(const std::string& name, float& variable);
    TatProperty* AddVariable(const std::string& name, std::string& variable);
    TatProperty* AddVariable(const std::string& name, TShortString& variable);
    TatProperty* AddVariable(const std::string& name, std::u16string& variable);
    TatProperty* AddVariable(const std::string& name, int32_t& variable);
    TatProperty* AddVariable(const std::string& name, bool& variable);
    TatProperty* AddObject(const std::string& name, platform::rtti::TObject* object) { return AddHostObjectProp(name, object); }
    TatProperty* AddHostObjectProp(const std::string& name, platform::rtti::TObject* object);
    // Every value name of an enumeration as a constant (False and True excepted).
    void AddEnumeration(const platform::rtti::TTypeInfo* enumType);

    // Sets the default property and passes it to descendants that have none.
    void SetDefaultProperty(TatProperty* property);
    // Frees the newest property of that name, if any.
    void RemoveProperty(std::string_view name);
    // Replace the whole list by copies of another class's list.
    void SetMethods(const TatMethods& source);
    void SetProperties(const TatProperties& source);

    // Links the class under its ancestor and copies the ancestor's members.
    void Inherits(const std::string& ancestorName);
    void InsertDescendant(TatClass* descendant);
    void RemoveDescendant(TatClass* descendant);
    void NotifyDescendants();
    void AncestorDestroyed() { FAncestor = nullptr; }

    bool IsDefaultInstance() const;
    bool IsInternalObject() const;
    bool IsScripterLibrary() const;
    // This class or its nearest ancestor named `className`; null when none.
    TatClass* CastFromString(std::string_view className);
    // Records the member whose result led to this class's on-demand registration.
    void SetImplicitElement(const TatMethod* method);
    void SetImplicitElement(const TatProperty* property);
    void SetLibContext(TatMethod* method);
    void SetLibContext(TatProperty* property);

    std::string FName;
    std::string FAncestorName;
    const platform::rtti::TClassInfo* FClassRef = nullptr;
    const platform::rtti::TTypeInfo* FRecordRef = nullptr;
    std::string FLibContext;
    void* FBaseScript = nullptr; // the script of a script-based class (TatScript, later)

private:
    friend class TatClasses;
    friend class TatProperty;
    TatProperty* RegisterProp(bool overwrite, const TatPropDef& def);
    TatMethod* RegisterProc(bool overwrite, const TatProcDef& def, const std::string_view* hints);
    bool PassesMembersDown() const;
    bool InheritsFromHost(std::string_view ancestorName) const;
    void ForgetClass(const TatClass* removed);

    TatClasses* FClasses;
    TatProperties FProperties;
    TatMethods FMethods;
    TatClass* FAncestor = nullptr;
    std::vector<TatClass*> FDescendants;
    TatProperty* FDefaultProperty = nullptr;
    std::unique_ptr<TatClassRef> FImplicitClassRef;
};

// The process-wide entry for a class known only at run time: no name, no members, no registry.
TatClass* UndefinedClass();

// The registry of one scripter.
class TatClasses : public TatOwnedList<TatClass> {
public:
    explicit TatClasses(TatCustomScripter* scripter = nullptr);
    ~TatClasses();

    TatCustomScripter* Scripter() const { return FScripter; }
    // Position of the first class named `name` (letters A to Z without case); -1 when none.
    int IndexOf(std::string_view name) const;
    using TatOwnedList<TatClass>::IndexOf;
    TatClass* ClassByName(std::string_view name) const;
    // Appends a class entry with that name.
    TatClass* Add(std::string name);
    TatClass* FindOrAdd(const std::string& name);
    int GetImplicitCount() const;
    // Find-or-add the entry of a host record type; an entry that already stands for a
    // record is returned unchanged.
    TatClass* AddRecord(const platform::rtti::TTypeInfo* recordType, const std::string& name);
    // Gives a class the name of the library under registration (outermost registration wins).
    void SetLibraryContext(TatClass* atClass);

    // Registration of a host class through its published type information (entry, host
    // class, alias and ancestors; the published properties come through OnAddPublishedProperties).
    TatClass* AddClassByRTTI(const platform::rtti::TClassInfo* classRef, const std::string& name);
    // The extended registration through type information (HostBinding.cpp).
    TatClass* DefineClass(const platform::rtti::TClassInfo* classRef, const TDefineClassOptions& options,
                          const std::string& name);
    // On-demand registration: OnCheckLoaded when set, else AddClassByRTTI.
    TatClass* CheckLoaded(const platform::rtti::TClassInfo* classRef, const std::string& name);
    // Looks the class up by name (or its own name) and registers it when missing or
    // without a host class; true when it had to register.
    bool TestCheckLoaded(const platform::rtti::TClassInfo* classRef, TatClass*& currentClass, const std::string& name);

    // The packed member reference of compiled code; a class or member position beyond
    // its 15 bits is a definition error instead of a silently wrapped reference.
    int32_t PackMemberReference(int32_t kind, int32_t classIndex, int32_t memberIndex) const;

    // Settings the scripter keeps and hands to its registry.
    std::string FLibraryNameUnderRegistration;
    bool FDeferObjectResolution = false;
    TatObjects* FDefaultInstances = nullptr;
    std::function<TatClass*(const platform::rtti::TClassInfo*, const std::string&)> OnCheckLoaded;
    std::function<void(TatClass*)> OnAddPublishedProperties;
    int32_t FRegLevel = 0;

private:
    friend class TatClass;
    friend class TatObjects;
    void ClassRemoved(const TatClass* removed);

    TatCustomScripter* FScripter;
    std::vector<TatObjects*> FInstanceLists; // default-instance lists resolving in this registry
    bool FDestroying = false;
};

// Raises the registry's registration depth for the lifetime of the guard, also on failure.
class TatRegLevelGuard {
public:
    explicit TatRegLevelGuard(TatClasses& classes) : FClasses(classes) { ++FClasses.FRegLevel; }
    ~TatRegLevelGuard() { --FClasses.FRegLevel; }
    TatRegLevelGuard(const TatRegLevelGuard&) = delete;
    TatRegLevelGuard& operator=(const TatRegLevelGuard&) = delete;

private:
    TatClasses& FClasses;
};

} // namespace vorn::engine
