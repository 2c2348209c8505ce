#include "platform/rtti/TypeInfo.h"

#include "platform/CaseFolding.h"
#include "platform/Exceptions.h"

#include <algorithm>

namespace vorn::platform::rtti {

const char* TypeKindName(TTypeKind kind) {
    switch (kind) {
#define VORN_TYPE_KIND(Name, Number) case Name: return #Name;
#include "platform/rtti/TypeKind.def"
    }
    return "";
}

const TAttribute* FindAttribute(const TAttributes& list, std::string_view name) {
    for (const TAttribute& a : list)
        if (a.Name() == name) return &a;
    return nullptr;
}

// ---- Enumerations -------------------------------------------------------------------

const std::string& TEnumInfo::NameOf(int64_t ordinal) const {
    static const std::string none;
    for (const auto& [value, name] : FValues)
        if (value == ordinal) return name;
    return none;
}

bool TEnumInfo::TryOrdinalOf(std::string_view name, int64_t& ordinal) const {
    for (const auto& [value, text] : FValues) {
        if (AsciiSameText(text, name)) {
            ordinal = value;
            return true;
        }
    }
    return false;
}

bool TEnumInfo::HasOrdinal(int64_t ordinal) const {
    return std::any_of(FValues.begin(), FValues.end(), [&](const auto& v) { return v.first == ordinal; });
}

std::string TEnumInfo::SetToText(uint64_t bits) const {
    std::string text = "[";
    for (const auto& [value, name] : FValues) {
        if (value < 0 || value >= 64 || (bits & (uint64_t(1) << value)) == 0) continue;
        if (text.size() > 1) text += ',';
        text += name;
    }
    return text + "]";
}

uint64_t TEnumInfo::SetFromText(std::string_view text) const {
    auto trim = [](std::string_view s) {
        while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
        while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
        return s;
    };
    std::string_view rest = trim(text);
    if (rest.size() >= 2 && rest.front() == '[' && rest.back() == ']') rest = trim(rest.substr(1, rest.size() - 2));
    uint64_t bits = 0;
    while (!rest.empty()) {
        size_t comma = rest.find(',');
        std::string_view item = trim(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        int64_t ordinal = 0;
        if (!TryOrdinalOf(item, ordinal) || ordinal < 0 || ordinal >= 64)
            throw EConvertError("Invalid enumeration name '" + std::string(item) + "'");
        bits |= uint64_t(1) << ordinal;
    }
    return bits;
}

// ---- Members ------------------------------------------------------------------------

TValue TFieldInfo::GetValue(const void* instance) const {
    TValue result;
    FGetter.FThunk(FGetter, const_cast<void*>(instance), nullptr, &result);
    return result;
}

void TFieldInfo::SetValue(void* instance, const TValue& value) const {
    // The setter thunk only reads its argument.
    FSetter.FThunk(FSetter, instance, const_cast<TValue*>(&value), nullptr);
}

TValue TMethodInfo::Invoke(void* instance, std::span<TValue> args) const {
    if (args.size() != FParams.size()) throw EArgumentException("Parameter count mismatch");
    TValue result;
    FCall.FThunk(FCall, instance, args.data(), &result);
    return result;
}

TValue TMethodInfo::Invoke(const TValue& instance, std::span<TValue> args) const {
    if (FIsClassMethod) return Invoke(static_cast<void*>(nullptr), args);
    void* self = instance.AsObject(static_cast<const TClassInfo*>(FOwner->AsClass()));
    if (!self) throw EInvalidCast("Invalid class typecast");
    return Invoke(self, args);
}

// Getters are called on a const instance: reading never changes the described state.
TValue TPropertyInfo::GetValue(const void* instance, std::span<TValue> index) const {
    if (!FReader) throw EArgumentException("Property " + FName + " is write-only");
    if (index.size() != FIndexParams.size()) throw EArgumentException("Parameter count mismatch");
    TValue result;
    FReader.FThunk(FReader, const_cast<void*>(instance), index.data(), &result);
    return result;
}

void TPropertyInfo::SetValue(void* instance, const TValue& value, std::span<TValue> index) const {
    if (!FWriter) throw EArgumentException("Property " + FName + " is read-only");
    if (index.size() != FIndexParams.size()) throw EArgumentException("Parameter count mismatch");
    if (index.empty()) {
        // Setters never write their arguments back (checked when described).
        FWriter.FThunk(FWriter, instance, const_cast<TValue*>(&value), nullptr);
        return;
    }
    std::vector<TValue> args(index.begin(), index.end());
    args.push_back(value);
    FWriter.FThunk(FWriter, instance, args.data(), nullptr);
}

// ---- Classes and records ------------------------------------------------------------

namespace {
template <class List>
auto FindOwn(const List& list, std::string_view name) -> decltype(list.front().get()) {
    for (const auto& m : list)
        if (AsciiSameText(m->Name(), name)) return m.get();
    return nullptr;
}
} // namespace

const TFieldInfo* TStructInfo::FieldByName(std::string_view name) const {
    for (const TStructInfo* s = this; s; s = s->ParentStruct())
        if (auto* f = FindOwn(s->FFields, name)) return f;
    return nullptr;
}

const TPropertyInfo* TStructInfo::PropertyByName(std::string_view name) const {
    for (const TStructInfo* s = this; s; s = s->ParentStruct())
        if (auto* p = FindOwn(s->FProperties, name)) return p;
    return nullptr;
}

const TMethodInfo* TStructInfo::MethodByName(std::string_view name) const {
    for (const TStructInfo* s = this; s; s = s->ParentStruct())
        if (auto* m = FindOwn(s->FMethods, name)) return m;
    return nullptr;
}

bool TClassInfo::InheritsFrom(const TClassInfo* ancestor) const {
    for (const TClassInfo* c = this; c; c = c->FParent)
        if (c == ancestor) return true;
    return false;
}

void* TClassInfo::CastTo(void* object, const TClassInfo* ancestor) const {
    for (const TClassInfo* c = this; c; c = c->FParent) {
        if (c == ancestor) return object;
        if (!c->FParent) break;
        object = object ? c->FToParent(object) : nullptr;
    }
    return nullptr;
}

TValue TClassInfo::NewInstance() const {
    if (!FFactory) throw EInvalidCast("Class " + FName + " cannot be created");
    return TValue::Object(FFactory(), this);
}

std::vector<const TPropertyInfo*> TClassInfo::PublishedProperties(TTypeKinds kinds) const {
    std::vector<const TPropertyInfo*> result;
    for (const TClassInfo* c = this; c; c = c->FParent) {
        for (const auto& p : c->FProperties) {
            if (p->Visibility() != mvPublished || (kinds & KindBit(p->Type()->Kind())) == 0) continue;
            // A redeclared property hides the ancestor's of the same name.
            bool hidden = std::any_of(result.begin(), result.end(),
                                      [&](const TPropertyInfo* q) { return AsciiSameText(q->Name(), p->Name()); });
            if (!hidden) result.push_back(p.get());
        }
    }
    std::stable_sort(result.begin(), result.end(), [](const TPropertyInfo* a, const TPropertyInfo* b) {
        return AsciiCompareText(a->Name(), b->Name()) < 0;
    });
    return result;
}

TAttributes TClassInfo::AllAttributes() const {
    TAttributes result;
    for (const TClassInfo* c = this; c; c = c->FParent)
        result.insert(result.end(), c->FAttributes.begin(), c->FAttributes.end());
    return result;
}

} // namespace vorn::platform::rtti
