#pragma once
// The operations on script values that the whole engine shares: references, constructors,
// tests, the operators and comparisons of the operator opcodes, the variant casts, the
// tolerant conversions used when host methods and libraries read arguments, arrays, the
// diagnostic text of a value and the decoding of packed source positions. No state.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/vm/ScriptText.h"
#include "engine/vm/SimplifiedCode.h"
#include "engine/vm/Variant.h"

namespace vorn::engine {

// ---- References -------------------------------------------------------------------
inline bool IsReference(const Variant& v) noexcept { return (v.VType() & varByRef) != 0; }
// The target of a reference (one level), else `v` itself.
inline const Variant& DerefPValue(const Variant& v) noexcept {
    return v.VType() == (varByRef | varVariant) ? *v.RawTarget() : v;
}
inline Variant& DerefPValue(Variant& v) noexcept {
    return v.VType() == (varByRef | varVariant) ? *v.RawTarget() : v;
}
inline Variant DerefValue(const Variant& v) { return DerefPValue(v); }
// Copies `value` into the target of `ref` (one level), or into `ref` when it is no reference.
void SetRefValue(Variant& ref, const Variant& value);
// Makes `dest` a reference to the final target of the chain that starts at `target`.
// `dest` must be empty: what it held is overwritten without being released.
void CreateReferenceValue(Variant& dest, Variant& target);
inline Variant ToVariant(const Variant& v) { return v; }

// ---- Constructors -----------------------------------------------------------------
inline Variant IntToScriptValue(int32_t v) noexcept { return Variant::FromInteger(v); }
inline Variant Int64ToScriptValue(int64_t v) noexcept { return Variant::FromInt64(v); }
inline Variant UInt64ToScriptValue(uint64_t v) noexcept { return Variant::FromUInt64(v); }
// Unsigned 64-bit when `isUnsigned`, else signed 64-bit, from the same bits.
inline Variant BigIntToScriptValue(uint64_t bits, bool isUnsigned) noexcept {
    return isUnsigned ? Variant::FromUInt64(bits) : Variant::FromInt64(static_cast<int64_t>(bits));
}
inline Variant DoubleToScriptValue(double v) noexcept { return Variant::FromDouble(v); }
inline Variant StringToScriptValue(platform::UStringView text) { return Variant::FromText(text); }
inline Variant StringToScriptValue(ScriptText text) { return Variant::FromText(std::move(text)); }
inline Variant BoolToScriptValue(bool v) noexcept { return Variant::FromBoolean(v); }
// Objects travel as signed 64-bit numbers resolved through the registry of live
// objects; nil is 0. These only wrap and unwrap the number.
inline Variant ObjectToVar(int64_t objectRef) noexcept { return Variant::FromInt64(objectRef); }
int64_t VarToObjectSlow(const Variant& v);
inline int64_t VarToObject(const Variant& v) {
    if (v.VType() == varInt64) return v.RawInt64();
    return VarToObjectSlow(v);
}
int64_t VarToIntObject(const Variant& v);
// Host-internal addresses held as numbers (never dereferenced by the engine).
Variant PointerToVar(const void* p) noexcept;
void* VarToPointer(const Variant& v);

// ---- Tests (through references) -----------------------------------------------------
bool ScriptValueIsNull(const Variant& v) noexcept;
bool VariantIsString(const Variant& v) noexcept;
inline bool ScriptValueIsString(const Variant& v) noexcept { return VariantIsString(v); }
// An integer or Boolean kind.
bool VariantIsOrdinal(const Variant& v) noexcept;
inline bool ScriptValueIsOrdinal(const Variant& v) noexcept { return VariantIsOrdinal(v); }
// The kind's name as conversion errors print it: "Integer", "UnicodeString", "Array Variant".
std::string VarTypeName(TVarType kind);

// ---- Comparisons --------------------------------------------------------------------
// Empty sorts before Null, Null before every other value; texts compare by code unit;
// a text against a number compares as numbers. Raises EVariantError "Invalid variant
// operation" for values that cannot be compared (arrays, objects).
bool ScriptValueEqual(const Variant& a, const Variant& b);
bool ScriptValueGreater(const Variant& a, const Variant& b);
bool ScriptValueGreaterOrEqual(const Variant& a, const Variant& b);
bool ScriptValueLess(const Variant& a, const Variant& b);
bool ScriptValueLessOrEqual(const Variant& a, const Variant& b);

// ---- Operators ----------------------------------------------------------------------
Variant ScriptValueAdd(const Variant& a, const Variant& b);
Variant ScriptValueSubtract(const Variant& a, const Variant& b);
Variant ScriptValueMultiply(const Variant& a, const Variant& b);
Variant ScriptValueDivide(const Variant& a, const Variant& b);
Variant ScriptValueConcat(const Variant& a, const Variant& b);
Variant ScriptValueNeg(const Variant& a);
Variant ScriptValueExp(const Variant& a, const Variant& b);
Variant ScriptValueOr(const Variant& a, const Variant& b);
Variant ScriptValueXor(const Variant& a, const Variant& b);
Variant ScriptValueAnd(const Variant& a, const Variant& b);
Variant ScriptValueShl(const Variant& a, const Variant& b);
Variant ScriptValueShr(const Variant& a, const Variant& b);
Variant ScriptValueDiv(const Variant& a, const Variant& b);
Variant ScriptValueMod(const Variant& a, const Variant& b);
Variant ScriptValueNot(const Variant& a);

// ---- The variant casts (strict: Null raises, text must be a number) -----------------
bool ScriptValueAsBool(const Variant& v);
int32_t ScriptValueAsInteger(const Variant& v);
int64_t ScriptValueAsInt64(const Variant& v);
uint64_t ScriptValueAsUInt64(const Variant& v);
double ScriptValueAsDouble(const Variant& v);
ScriptText ScriptValueAsString(const Variant& v);

// ---- Arrays ---------------------------------------------------------------------------
int32_t ScriptArrayHigh(const Variant& v);
int32_t ScriptArrayLow(const Variant& v);
// Elements of an array, otherwise the length of the value's text.
int64_t ScriptValueLength(const Variant& v);
// A new array of variants with bounds 0 and `size` rounded (size + 1 elements).
Variant ScriptInitArray(const Variant& size);

// ---- Text -------------------------------------------------------------------------------
// The value's text after following references; Null gives the empty text.
ScriptText VarToStr(const Variant& v);
std::string VarToStrUtf8(const Variant& v);
// A real from the leading number of a text; never fails (0 when nothing was read).
double StrVal(platform::UStringView text);
// The diagnostic text of one value with its kind prefix ("Integer:5"); never raises.
std::string VarContent(const Variant& v);
inline std::string ScriptValueContent(const Variant& v) { return VarContent(v); }

// ---- Tolerant conversions (host arguments and libraries) -------------------------------
int32_t VarToInteger(const Variant& v);
int64_t VarToInt64(const Variant& v);
uint64_t VarToUInt64(const Variant& v);
double VarToFloat(const Variant& v);
char VarToChar(const Variant& v);
char16_t VarToWideChar(const Variant& v);
// The names of an enumeration type in ordinal order, until the reflection layer supplies
// type information.
struct TEnumTypeNames {
    std::span<const std::string_view> Names;
};
// Ordinal of an enumeration value; a text is looked up by name (ASCII case ignored),
// -1 when no name matches.
int32_t VarToEnumOrdinal(const Variant& v, const TEnumTypeNames& type);
bool VarToBoolean(const Variant& v);
// The bits of a set: an array's elements become members (names when the element type is
// given), any other value is taken as the bits themselves.
uint32_t VariantToSet(const Variant& v, const TEnumTypeNames* elementType);
inline uint32_t VarToSet(const Variant& v, const TEnumTypeNames* elementType) {
    return VariantToSet(v, elementType);
}
// Writes / reads a set of `size` bytes (1, 2, otherwise 4); 1 and 2 read unsigned.
void IntToSet(void* buffer, uint32_t value, int size) noexcept;
uint32_t IntFromSet(const void* buffer, int size) noexcept;

// One item of a host's open list of constants, tagged by kind in this order.
enum TVarRecKind : int32_t {
    vtInteger, vtBoolean, vtChar, vtExtended, vtString, vtPointer, vtPChar, vtObject, vtClass,
    vtWideChar, vtPWideChar, vtAnsiString, vtCurrency, vtVariant, vtInterface, vtWideString,
    vtInt64, vtUnicodeString
};
struct TVarRec {
    TVarRecKind VType = vtInteger;
    union {
        int32_t VInteger;
        bool VBoolean;
        char VChar;                       // a narrow (Windows-1252) character
        double VExtended;
        const std::string_view* VString;  // UTF-8 text
        const void* VPointer;
        int64_t VObject;                  // the object's registry number
        char16_t VWideChar;
        const std::string_view* VAnsiString;  // Windows-1252 bytes
        int64_t VCurrency;                // scaled by 10000
        const Variant* VVariant;
        int64_t VInt64;
        const platform::UStringView* VUnicodeString;
    };
    TVarRec() : VInt64(0) {}
};
// The value of one item; raises EatScripterFatal for the kinds scripts cannot hold.
Variant VariantFromVarRec(const TVarRec& item);

// ---- Source positions ---------------------------------------------------------------------
inline int32_t LineNumberFromDebugInfo(int32_t pos) noexcept { return (pos & 0xFFFFF) - 1; }
inline int32_t ColNumberFromDebugInfo(int32_t pos) noexcept {
    return static_cast<int32_t>(static_cast<uint32_t>(pos) >> 20) - 1;
}
inline int32_t LineNumberFromInstruction(const TSimplifiedCode* instr) noexcept {
    return instr ? LineNumberFromDebugInfo(instr->vDebugInfo) : -1;
}
inline int32_t ColNumberFromInstruction(const TSimplifiedCode* instr) noexcept {
    return instr ? ColNumberFromDebugInfo(instr->vDebugInfo) : -1;
}
// False for no instruction and for a routine entry (inPrepare). The form that also takes
// the scripter (False for the first instruction of its current script) comes with it.
inline bool InstructionIsExecutable(const TSimplifiedCode* instr) noexcept {
    return instr != nullptr && instr->OpCode != inPrepare;
}

} // namespace vorn::engine
