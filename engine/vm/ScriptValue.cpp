#include "engine/vm/ScriptValue.h"

#include <cmath>

#include "engine/vm/VariantErrors.h"
#include "platform/Exceptions.h"
#include "platform/NumberText.h"

namespace vorn::engine {

namespace {

// Longest chain of references followed before the value is taken as broken.
constexpr int MaxReferenceDepth = 16;

// Largest array ScriptInitArray makes: 2^26 elements (1 GiB of values). A script asking
// for more gets "Out of memory" instead of exhausting the process.
constexpr int64_t MaxInitArraySize = int64_t(1) << 26;

const char* KindName(TVarType kind) {
    switch (kind) {
#define VORN_VARIANT_KIND(Constant, Code, Name, Prefix) \
    case Code: return Name;
#include "engine/vm/VariantKinds.def"
    default: return nullptr;
    }
}

} // namespace

void RaiseVariantCastError(TVarType from, TVarType to) {
    throw platform::EVariantError("Could not convert variant of type (" + VarTypeName(from) +
                                  ") into type (" + VarTypeName(to) + ")");
}

void RaiseVariantOverflowError(TVarType from, TVarType to) {
    throw platform::EVariantError("Overflow while converting variant of type (" + VarTypeName(from) +
                                  ") into type (" + VarTypeName(to) + ")");
}

void RaiseInvalidVariantOperation() { throw platform::EVariantError("Invalid variant operation"); }

const Variant& FollowReferences(const Variant& v) {
    const Variant* p = &v;
    for (int depth = 0; p->VType() == (varByRef | varVariant); ++depth) {
        if (depth == MaxReferenceDepth || p->RawTarget() == nullptr) RaiseInvalidVariantOperation();
        p = p->RawTarget();
    }
    return *p;
}

std::string VarTypeName(TVarType kind) {
    std::string prefix;
    if (kind & varArray) prefix += "Array ";
    if (kind & varByRef) prefix += "ByRef ";
    TVarType base = kind & varTypeMask;
    if (const char* name = KindName(base)) return prefix + name;
    return prefix + "$" + platform::IntToHex(base, 4);
}

// ---- References -------------------------------------------------------------------

void SetRefValue(Variant& ref, const Variant& value) { DerefPValue(ref) = value; }

void CreateReferenceValue(Variant& dest, Variant& target) {
    Variant* final = &target;
    for (int depth = 0; final->VType() == (varByRef | varVariant) && depth < MaxReferenceDepth; ++depth)
        final = final->RawTarget();
    // `dest` is empty by contract, so overwriting it releases nothing.
    new (&dest) Variant(Variant::RawReference(final));
}

// ---- Objects ----------------------------------------------------------------------

int64_t VarToObjectSlow(const Variant& v) { return VarToInt64(v); }

int64_t VarToIntObject(const Variant& v) { return VarToInt64(v); }

Variant PointerToVar(const void* p) noexcept {
    return Variant::FromInt64(static_cast<int64_t>(reinterpret_cast<intptr_t>(p)));
}

void* VarToPointer(const Variant& v) { return reinterpret_cast<void*>(static_cast<intptr_t>(VarToInt64(v))); }

// ---- Tests ------------------------------------------------------------------------

bool ScriptValueIsNull(const Variant& v) noexcept { return DerefPValue(v).VType() == varNull; }

bool VariantIsString(const Variant& v) noexcept {
    TVarType kind = DerefPValue(v).VType();
    return kind == varOleStr || kind == varString || kind == varUString;
}

bool VariantIsOrdinal(const Variant& v) noexcept {
    switch (DerefPValue(v).VType()) {
    case varSmallint: case varInteger: case varBoolean: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64: case varUInt64:
        return true;
    default:
        return false;
    }
}

// ---- Arrays -----------------------------------------------------------------------

namespace {

const Variant& ArrayOperand(const Variant& v) {
    const Variant& value = FollowReferences(v);
    if (!value.IsArray()) throw platform::EVariantError("Invalid argument");
    return value;
}

} // namespace

int32_t ScriptArrayLow(const Variant& v) { return ArrayOperand(v).ArrayLow(); }

int32_t ScriptArrayHigh(const Variant& v) {
    const Variant& value = ArrayOperand(v);
    return static_cast<int32_t>(value.ArrayLow() + static_cast<int64_t>(value.ArrayItems().size()) - 1);
}

int64_t ScriptValueLength(const Variant& v) {
    const Variant& value = FollowReferences(v);
    if (value.IsArray()) return static_cast<int64_t>(value.ArrayItems().size());
    return static_cast<int64_t>(VarToStr(value).Length());
}

Variant ScriptInitArray(const Variant& size) {
    int64_t high = platform::RoundToInt64(ScriptValueAsDouble(size));
    if (high >= MaxInitArraySize) throw platform::EOutOfMemory();
    if (high < 0) return Variant::NewArray(0, -1);
    return Variant::NewArray(0, static_cast<int32_t>(high));
}

} // namespace vorn::engine
