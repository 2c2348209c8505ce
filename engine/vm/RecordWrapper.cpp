#include "engine/vm/RecordWrapper.h"

#include "platform/Exceptions.h"

namespace vorn::engine {

namespace rtti = platform::rtti;

const rtti::TClassInfo& TatRecordWrapper::ClassInfo() {
    static const rtti::TClassInfo& info = rtti::TClassBuilder<TatRecordWrapper, rtti::TObject>("TatRecordWrapper").Build();
    return info;
}

TGenericRecordWrapper::TGenericRecordWrapper(rtti::TValue value)
    : FRecordType(value.TypeInfo() ? value.TypeInfo()->AsRecord() : nullptr), FRecordValue(std::move(value)) {
    if (!FRecordType || FRecordValue.Kind() != rtti::TValueKind::vkRecord) throw platform::EInvalidCast();
}

TGenericRecordWrapper* TGenericRecordWrapper::CreateDefault(const rtti::TRecordInfo* recordType) {
    if (!recordType || !recordType->FNew) throw platform::EInvalidCast();
    void* fresh = recordType->FNew();
    rtti::TValue value;
    try {
        value = rtti::TValue::Record(fresh, recordType);
    } catch (...) {
        recordType->DeleteValue(fresh);
        throw;
    }
    recordType->DeleteValue(fresh);
    return new TGenericRecordWrapper(std::move(value));
}

rtti::TValue TGenericRecordWrapper::GetFieldValue(std::string_view fieldName) const {
    const rtti::TFieldInfo* field = FRecordType->FieldByName(fieldName);
    if (!field) throw platform::EInvalidCast("Record " + FRecordType->Name() + " has no field " + std::string(fieldName));
    return field->GetValue(FRecordValue.AsRecord(FRecordType));
}

const std::string& TGenericRecordWrapper::RecordName() const { return FRecordType->Name(); }

const rtti::TClassInfo& TGenericRecordWrapper::ClassInfo() {
    static const rtti::TClassInfo& info =
        rtti::TClassBuilder<TGenericRecordWrapper, TatRecordWrapper>("TGenericRecordWrapper").Build();
    return info;
}

const rtti::TDescribeAtStartup<TGenericRecordWrapper> kDescribeGenericRecordWrapper;

} // namespace vorn::engine
