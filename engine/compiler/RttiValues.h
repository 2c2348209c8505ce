#pragma once
// The boundary between the reflection layer's typed values and script values: the kind
// and value class a host type takes in the class registry, the conversion of a script
// argument to a host parameter's type (`ScrPrepareValue`) and of a host result back.

#include <cstdint>
#include <string>

#include "engine/compiler/ClassRegistry.h"
#include "engine/vm/Variant.h"
#include "platform/rtti/Rtti.h"

namespace vorn::engine {

class TatHostBinding;
class TatMachineHost;

// The registry kind of a host type: the kind of the same number, records as tkClass
// (they travel as wrapper objects), kinds scripts cannot hold as tkNone.
TatTypeKind ScrTypeKind(const platform::rtti::TTypeInfo* type);
// The class a value of the type belongs to: the record wrapper class for records, the
// class itself for classes, a class registered under the type's name otherwise (usually null).
const platform::rtti::TClassInfo* ScrClassType(const platform::rtti::TTypeInfo* type);
// The record's name for record types (so the registry finds the record's entry); "" otherwise.
std::string ScrClassName(const platform::rtti::TTypeInfo* type);
// The registry kind with the same number as a reflection-layer kind (0 to 18; others tkNone).
TatTypeKind MapTatTypeKind(platform::rtti::TTypeKind kind);
// Names for diagnostics and golden dumps: "Integer", "TPoint", "" for no type.
std::string TypeInfoName(const platform::rtti::TTypeInfo* type);
std::string PropInfoName(const platform::rtti::TPropertyInfo* property);

// The script value `value` as a typed value of host type `type`. Objects are validated
// through the live-object registry (a forged or stale number is EInvalidCast "Invalid
// class typecast"); a cast the conversion rules do not allow is EInvalidCast as well.
platform::rtti::TValue ScrPreparedValue(const platform::rtti::TTypeInfo* type, const Variant& value);
// The common case inline: a plain number for a number parameter needs no lookups.
inline platform::rtti::TValue ScrPrepareValue(const platform::rtti::TTypeInfo* type, const Variant& value) {
    if (type) {
        const platform::rtti::TTypeKind kind = type->Kind();
        if (kind == platform::rtti::tkInteger || kind == platform::rtti::tkInt64 || kind == platform::rtti::tkFloat) {
            if (value.VType() == varInteger) return platform::rtti::TValue::Int(value.RawInteger());
            if (value.VType() == varInt64) return platform::rtti::TValue::Int(value.RawInt64());
            if (value.VType() == varDouble) return platform::rtti::TValue::Float(value.RawDouble());
        }
    }
    return ScrPreparedValue(type, value);
}
// A script value as a typed value of its own kind (Variant parameters receive this).
platform::rtti::TValue VariantToTValue(const Variant& value);
// A typed value as a script value: objects as live-object numbers, records wrapped in a
// new record wrapper that `owner` holds for `ownerScript` (the script of the running
// machine) until that script frees it, is cleared, or the scripter goes.
Variant TValueToVariant(const platform::rtti::TValue& value, TatHostBinding* owner,
                        const TatMachineHost* ownerScript);

// The ordinal of an enumeration value (a number, or a value name in any letter case);
// -1 when a name matches no value.
int64_t VarToEnumOrdinal(const Variant& value, const platform::rtti::TEnumInfo* type);
// The bits of a set of `setType`: an array's elements (ordinals or value names) become
// members, any other value is taken as the bits themselves; masked to the set's size.
uint32_t VarToSet(const Variant& value, const platform::rtti::TTypeInfo* setType);
// The storage size in bytes of a set type: 1, 2 or 4.
int SetTypeSize(const platform::rtti::TTypeInfo* setType);

} // namespace vorn::engine
