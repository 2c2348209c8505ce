#pragma once
// Record wrappers: objects that carry one value of a host record type, so that scripts
// pass records around as object references and read their fields by name. The binding
// creates them for a record's "Create" and for record values a host member returns.

#include <string>

#include "platform/rtti/Rtti.h"

namespace vorn::engine {

// The base of wrappers: an object that answers which object implements it.
class TatRecordWrapper : public platform::rtti::TObject {
public:
    virtual TatRecordWrapper* GetObjectReference() { return this; }
    static const platform::rtti::TClassInfo& ClassInfo();
};

// A wrapper holding a copy of a record value of one record type.
class TGenericRecordWrapper : public TatRecordWrapper {
public:
    // Wraps a copy of `value`, which must hold a record (its type becomes the wrapper's).
    explicit TGenericRecordWrapper(platform::rtti::TValue value);
    // A new zero-initialised (default-constructed) record of `recordType`.
    static TGenericRecordWrapper* CreateDefault(const platform::rtti::TRecordInfo* recordType);

    const platform::rtti::TRecordInfo* RecordType() const { return FRecordType; }
    const platform::rtti::TValue& RecordValue() const { return FRecordValue; }
    // The value of the named field; an unknown name is EInvalidCast, never a read of a
    // missing field.
    platform::rtti::TValue GetFieldValue(std::string_view fieldName) const;
    const std::string& RecordName() const;
    // The address of the wrapped record data (changes written here stay in the wrapper).
    void* Rec() { return FRecordValue.MutableRecord(FRecordType); }

    static const platform::rtti::TClassInfo& ClassInfo();

    const platform::rtti::TRecordInfo* FRecordType;
    platform::rtti::TValue FRecordValue;
};

} // namespace vorn::engine
