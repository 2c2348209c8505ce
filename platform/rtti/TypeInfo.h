#pragma once
// The descriptors of the reflection layer: types with their kinds and names, and for
// classes and records their fields, properties and methods in declaration order, with
// free-form attributes. Built once per type by the builders of TypeBuilder.h, immutable after.

#include "platform/rtti/Value.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vorn::platform::rtti {

enum TTypeKind : uint8_t {
#define VORN_TYPE_KIND(Name, Number) Name = Number,
#include "platform/rtti/TypeKind.def"
};
const char* TypeKindName(TTypeKind kind);

// A set of type kinds as a bit mask (bit n = kind n), as the published-property filter takes it.
using TTypeKinds = uint32_t;
constexpr TTypeKinds KindBit(TTypeKind kind) { return TTypeKinds(1) << kind; }

enum TMemberVisibility : uint8_t { mvPrivate, mvProtected, mvPublic, mvPublished };

// Parameter flags as the binding reads them.
enum TParamFlag : uint8_t { pfNone = 0, pfVar = 1, pfConst = 2, pfOut = 4 };

class TEnumInfo;
class TStructInfo;
class TRecordInfo;

// A free-form mark on a class or member: a name and its arguments, e.g. Column('IBF_Area_ID'),
// JsonName('areaId'), Nullable, Lazy.
class TAttribute {
public:
    TAttribute(std::string name, std::vector<TValue> args) : FName(std::move(name)), FArgs(std::move(args)) {}
    const std::string& Name() const { return FName; }
    const std::vector<TValue>& Args() const { return FArgs; }
    // Argument i as text; the empty text when absent.
    std::string Text(size_t i = 0) const { return i < FArgs.size() ? FArgs[i].AsString() : std::string(); }

private:
    std::string FName;
    std::vector<TValue> FArgs;
};

using TAttributes = std::vector<TAttribute>;
// The first attribute of that name (exact comparison), or null.
const TAttribute* FindAttribute(const TAttributes& list, std::string_view name);

// Any type: kind, name, unit; record-like types also carry their value copy functions.
class TTypeInfo {
public:
    TTypeInfo(TTypeKind kind, std::string name, std::string unitName = "System")
        : FKind(kind), FName(std::move(name)), FUnitName(std::move(unitName)) {}
    virtual ~TTypeInfo() = default;
    TTypeInfo(const TTypeInfo&) = delete;
    TTypeInfo& operator=(const TTypeInfo&) = delete;

    TTypeKind Kind() const { return FKind; }
    const std::string& Name() const { return FName; }
    const std::string& UnitName() const { return FUnitName; }
    // "System.Double", "Model.TIBF_Area"; just the name for types without a unit.
    std::string QualifiedName() const { return FUnitName.empty() ? FName : FUnitName + "." + FName; }
    // Element type of a set (its enumeration), a dynamic array or an optional value.
    const TTypeInfo* ElementType() const { return FElementType; }
    bool IsOptional() const { return FIsOptional; }

    // The descriptor as its specific kind (every tkClass type is a TClassInfo, every
    // tkEnumeration type a TEnumInfo); null for other kinds.
    const TClassInfo* AsClass() const;
    const TRecordInfo* AsRecord() const;
    const TEnumInfo* AsEnum() const;
    virtual const TStructInfo* AsStruct() const { return nullptr; }

    // Copy and delete a value of this type on the heap (records and optionals boxed in TValue).
    void* CloneValue(const void* value) const { return FClone(value); }
    void DeleteValue(void* value) const { FDelete(value); }
    bool HasValueSemantics() const { return FClone != nullptr; }

    // Filled by the builders and by the built-in type table.
    TTypeKind FKind;
    std::string FName;
    std::string FUnitName;
    const TTypeInfo* FElementType = nullptr;
    bool FIsOptional = false;
    void* (*FClone)(const void*) = nullptr;
    void (*FDelete)(void*) = nullptr;
    // A new default-initialised value on the heap (records); null when the type has none.
    void* (*FNew)() = nullptr;
};

// An enumeration: its ordinals with their names (Boolean is the enumeration False, True).
class TEnumInfo : public TTypeInfo {
public:
    using TTypeInfo::TTypeInfo;
    // The name of an ordinal; the empty text when the ordinal has none.
    const std::string& NameOf(int64_t ordinal) const;
    // The ordinal of a name (letters A to Z compare without case); false when none.
    bool TryOrdinalOf(std::string_view name, int64_t& ordinal) const;
    bool HasOrdinal(int64_t ordinal) const;
    const std::vector<std::pair<int64_t, std::string>>& Values() const { return FValues; }
    // Sets over this enumeration as text: "[a,b]" in ordinal order, and back (EConvertError).
    std::string SetToText(uint64_t bits) const;
    uint64_t SetFromText(std::string_view text) const;

    std::vector<std::pair<int64_t, std::string>> FValues;
};

// The callable part of a member: a thunk generated for the member's C++ signature and
// a copy of the member pointer it calls. Invoking costs one indirect call and the
// argument conversions; nothing is looked up or allocated for scalar arguments.
struct TCallable {
    using Thunk = void (*)(const TCallable& self, void* instance, TValue* args, TValue* result);
    Thunk FThunk = nullptr;
    alignas(8) unsigned char FTarget[16] = {};

    template <class P>
    P Target() const { P p; std::memcpy(static_cast<void*>(&p), FTarget, sizeof(P)); return p; }
    template <class P>
    void SetTarget(P p) { static_assert(sizeof(P) <= sizeof(FTarget)); std::memcpy(FTarget, static_cast<const void*>(&p), sizeof(P)); }
    explicit operator bool() const { return FThunk != nullptr; }
};

// A member's type, resolved when first asked for: a class may name itself (a
// constructor's result, a Parent property) while it is still being described.
// Once found, the type is kept (calls read it on every use); readers on other threads
// see either nothing yet or the same type.
class TTypeRef {
public:
    TTypeRef() = default;
    TTypeRef(const TTypeInfo* fixed) : FFixed(fixed) {}
    TTypeRef(const TTypeRef& other) : FGet(other.FGet), FFixed(other.FFixed.load(std::memory_order_relaxed)) {}
    TTypeRef& operator=(const TTypeRef& other) {
        FGet = other.FGet;
        FFixed.store(other.FFixed.load(std::memory_order_relaxed), std::memory_order_relaxed);
        return *this;
    }
    static TTypeRef Lazy(const TTypeInfo* (*get)()) { TTypeRef r; r.FGet = get; return r; }
    const TTypeInfo* Get() const {
        const TTypeInfo* type = FFixed.load(std::memory_order_relaxed);
        if (type || !FGet) return type;
        type = FGet();
        if (type) FFixed.store(type, std::memory_order_relaxed);
        return type;
    }

private:
    const TTypeInfo* (*FGet)() = nullptr;
    mutable std::atomic<const TTypeInfo*> FFixed{nullptr};
};

enum TMemberKind : uint8_t { mkField, mkProperty, mkMethod };

// What every member has: a name, a visibility, attributes and the type that declares it.
class TMemberInfo {
public:
    explicit TMemberInfo(TMemberKind kind) : FMemberKind(kind) {}
    TMemberKind MemberKind() const { return FMemberKind; }
    const std::string& Name() const { return FName; }
    TMemberVisibility Visibility() const { return FVisibility; }
    const TAttributes& Attributes() const { return FAttributes; }
    const TAttribute* Attribute(std::string_view name) const { return FindAttribute(FAttributes, name); }
    bool HasAttribute(std::string_view name) const { return Attribute(name) != nullptr; }
    const TStructInfo* Owner() const { return FOwner; }

    std::string FName;
    TMemberVisibility FVisibility = mvPublic;
    TAttributes FAttributes;
    const TStructInfo* FOwner = nullptr;
    TMemberKind FMemberKind;
};

class TParamInfo {
public:
    const std::string& Name() const { return FName; }
    const TTypeInfo* Type() const { return FType.Get(); }
    bool IsByRef() const { return (FFlags & (pfVar | pfOut)) != 0; }
    bool IsOut() const { return (FFlags & pfOut) != 0; }
    bool IsConst() const { return (FFlags & pfConst) != 0; }

    std::string FName;
    TTypeRef FType; // empty for an untyped parameter
    uint8_t FFlags = pfNone;
};

// A field: typed get and set through TValue, and its address for the mappers.
class TFieldInfo : public TMemberInfo {
public:
    TFieldInfo() : TMemberInfo(mkField) {}
    const TTypeInfo* Type() const { return FType.Get(); }
    // `instance` points at the owner's part of the object (or at the record).
    TValue GetValue(const void* instance) const;
    void SetValue(void* instance, const TValue& value) const;
    void* Address(void* instance) const { return FAddressOf(FGetter, instance); }
    const void* Address(const void* instance) const { return FAddressOf(FGetter, const_cast<void*>(instance)); }
    // Direct typed access for callers that know the field's C++ type (the mappers):
    // the type must be the one the field was described with.
    template <class F>
    F& Ref(void* instance) const { return *static_cast<F*>(Address(instance)); }

    TTypeRef FType;
    void* (*FAddressOf)(const TCallable& target, void* instance) = nullptr;
    TCallable FGetter; // args: none; result: the value
    TCallable FSetter; // args: the value
};

// A method: result type (null for procedures), parameters, flags, and invoke.
class TMethodInfo : public TMemberInfo {
public:
    TMethodInfo() : TMemberInfo(mkMethod) {}
    const TTypeInfo* ReturnType() const { return FReturnType.Get(); }
    const std::vector<TParamInfo>& Parameters() const { return FParams; }
    bool IsConstructor() const { return FIsConstructor; }
    bool IsClassMethod() const { return FIsClassMethod; }
    // Calls the method. `instance` points at the owner's part of the object (ignored for
    // class methods and constructors); `args` are converted to the parameter types and
    // by-reference parameters are written back into them. A wrong argument count raises
    // EArgumentException "Parameter count mismatch".
    TValue Invoke(void* instance, std::span<TValue> args) const;
    // The same for an instance given as a value: cast to the owner first (EInvalidCast).
    TValue Invoke(const TValue& instance, std::span<TValue> args) const;

    TTypeRef FReturnType;
    std::vector<TParamInfo> FParams;
    bool FIsConstructor = false;
    bool FIsClassMethod = false;
    TCallable FCall;
};

// A property: read and write through getter/setter methods or a field, optionally
// indexed (Items[i]) and the class's default property.
class TPropertyInfo : public TMemberInfo {
public:
    TPropertyInfo() : TMemberInfo(mkProperty) {}
    const TTypeInfo* Type() const { return FType.Get(); }
    bool IsReadable() const { return bool(FReader); }
    bool IsWritable() const { return bool(FWriter); }
    bool IsDefault() const { return FIsDefault; }
    const std::vector<TParamInfo>& IndexParameters() const { return FIndexParams; }
    // Reads and writes; `index` holds the index arguments of an indexed property.
    // Reading a write-only or writing a read-only property raises EArgumentException
    // "Property %s is write-only" / "Property %s is read-only".
    TValue GetValue(const void* instance, std::span<TValue> index = {}) const;
    void SetValue(void* instance, const TValue& value, std::span<TValue> index = {}) const;

    TTypeRef FType;
    std::vector<TParamInfo> FIndexParams;
    bool FIsDefault = false;
    TCallable FReader; // args: index...; result: value
    TCallable FWriter; // args: index..., value
};

// Classes and records: members in declaration order and attributes.
class TStructInfo : public TTypeInfo {
public:
    using TTypeInfo::TTypeInfo;
    const TStructInfo* AsStruct() const override { return this; }
    const std::vector<std::unique_ptr<TFieldInfo>>& Fields() const { return FFields; }
    const std::vector<std::unique_ptr<TPropertyInfo>>& Properties() const { return FProperties; }
    const std::vector<std::unique_ptr<TMethodInfo>>& Methods() const { return FMethods; }
    // Every member, fields, properties and methods interleaved as declared.
    const std::vector<const TMemberInfo*>& Members() const { return FMembers; }
    const TAttributes& Attributes() const { return FAttributes; }
    const TAttribute* Attribute(std::string_view name) const { return FindAttribute(FAttributes, name); }

    // Own members by name (letters A to Z compare without case); classes also search
    // their ancestors, nearest first. Null when absent.
    const TFieldInfo* FieldByName(std::string_view name) const;
    const TPropertyInfo* PropertyByName(std::string_view name) const;
    const TMethodInfo* MethodByName(std::string_view name) const;
    virtual const TStructInfo* ParentStruct() const { return nullptr; }

    std::vector<std::unique_ptr<TFieldInfo>> FFields;
    std::vector<std::unique_ptr<TPropertyInfo>> FProperties;
    std::vector<std::unique_ptr<TMethodInfo>> FMethods;
    std::vector<const TMemberInfo*> FMembers;
    TAttributes FAttributes;
};

class TRecordInfo : public TStructInfo {
public:
    using TStructInfo::TStructInfo;
};

// A class: parent, how to reach the parent's part of an object, and the registered
// factory that stands in for a virtual constructor.
class TClassInfo : public TStructInfo {
public:
    using TStructInfo::TStructInfo;
    const TClassInfo* Parent() const { return FParent; }
    const TStructInfo* ParentStruct() const override { return FParent; }
    bool InheritsFrom(const TClassInfo* ancestor) const;
    // Walks `object` (this class's part) up to `ancestor`'s part; null when `ancestor`
    // is not this class or one of its ancestors.
    void* CastTo(void* object, const TClassInfo* ancestor) const;
    // Creates an instance with the registered factory; EInvalidCast when the class has none.
    TValue NewInstance() const;
    bool CanCreate() const { return FFactory != nullptr; }
    // Frees an instance created for this class (`object` is this class's part).
    void FreeInstance(void* object) const { if (object) FFree(object); }
    // The published properties, own and inherited, whose type kind is in `kinds`,
    // sorted by name (letters A to Z compare without case).
    std::vector<const TPropertyInfo*> PublishedProperties(TTypeKinds kinds) const;
    // The attributes of this class, then those of its parent, up to the root.
    TAttributes AllAttributes() const;

    const TClassInfo* FParent = nullptr;
    void* (*FToParent)(void*) = nullptr;
    void* (*FFactory)() = nullptr;
    void (*FFree)(void*) = nullptr;
    // For descendants of TObject: the TObject part to this class's part and back.
    void* (*FFromObject)(void*) = nullptr;
    void* (*FToObject)(void*) = nullptr;
};

inline const TClassInfo* TTypeInfo::AsClass() const {
    return FKind == tkClass ? static_cast<const TClassInfo*>(AsStruct()) : nullptr;
}
inline const TRecordInfo* TTypeInfo::AsRecord() const {
    return FKind == tkRecord && AsStruct() ? static_cast<const TRecordInfo*>(AsStruct()) : nullptr;
}
inline const TEnumInfo* TTypeInfo::AsEnum() const {
    return FKind == tkEnumeration ? static_cast<const TEnumInfo*>(this) : nullptr;
}

} // namespace vorn::platform::rtti
