#include "platform/rtti/TypeRegistry.h"

#include "platform/CaseFolding.h"

namespace vorn::platform::rtti {

TTypeRegistry& TTypeRegistry::Instance() {
    static TTypeRegistry* instance = new TTypeRegistry();
    return *instance;
}

const TTypeInfo* TTypeRegistry::Add(std::unique_ptr<TTypeInfo> type) {
    std::unique_lock lock(FLock);
    FTypes.push_back(std::move(type));
    return FTypes.back().get();
}

const TClassInfo* TTypeRegistry::AddClass(std::unique_ptr<TClassInfo> type, std::type_index cppType) {
    const TClassInfo* result = type.get();
    std::unique_lock lock(FLock);
    FTypes.push_back(std::move(type));
    FByTypeId.emplace(cppType, result);
    return result;
}

const TClassInfo* TTypeRegistry::FindClass(std::string_view name) const {
    std::shared_lock lock(FLock);
    for (const auto& type : FTypes)
        if (type->Kind() == tkClass && AsciiSameText(type->Name(), name)) return type->AsClass();
    return nullptr;
}

const TTypeInfo* TTypeRegistry::FindTypeBySimpleName(std::string_view name) const {
    std::shared_lock lock(FLock);
    for (const auto& type : FTypes)
        if (type->Name() == name) return type.get();
    return nullptr;
}

const TClassInfo* TTypeRegistry::ClassOfTypeId(std::type_index cppType) const {
    std::shared_lock lock(FLock);
    auto it = FByTypeId.find(cppType);
    return it == FByTypeId.end() ? nullptr : it->second;
}

std::vector<const TTypeInfo*> TTypeRegistry::Types() const {
    std::shared_lock lock(FLock);
    std::vector<const TTypeInfo*> result;
    result.reserve(FTypes.size());
    for (const auto& type : FTypes) result.push_back(type.get());
    return result;
}

} // namespace vorn::platform::rtti
