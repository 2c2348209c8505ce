#pragma once
// The process-wide list of every described type: classes, records, enumerations and the
// generated types (optionals, sets, arrays). Lookup by name, and from a C++ dynamic type
// to its class descriptor. Descriptors live until the process ends, so they compare by identity.

#include "platform/rtti/TypeInfo.h"

#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string_view>
#include <typeindex>
#include <unordered_map>
#include <vector>

namespace vorn::platform::rtti {

class TTypeRegistry {
public:
    // The one registry of the process. Never destroyed: objects freed during exit may
    // still ask for their class.
    static TTypeRegistry& Instance();

    // Takes ownership of a descriptor and lists it; `cppType` links a class to its C++ type.
    const TTypeInfo* Add(std::unique_ptr<TTypeInfo> type);
    const TClassInfo* AddClass(std::unique_ptr<TClassInfo> type, std::type_index cppType);

    // The first class registered under that name, letters A to Z compared without case; null when none.
    const TClassInfo* FindClass(std::string_view name) const;
    // The first type whose simple (unqualified) name equals `name` exactly; null when none.
    const TTypeInfo* FindTypeBySimpleName(std::string_view name) const;
    // The class described for a C++ dynamic type; null when that type was not described.
    const TClassInfo* ClassOfTypeId(std::type_index cppType) const;
    // Every type in the order of registration.
    std::vector<const TTypeInfo*> Types() const;

private:
    TTypeRegistry() = default;

    mutable std::shared_mutex FLock;
    std::vector<std::unique_ptr<TTypeInfo>> FTypes;
    std::unordered_map<std::type_index, const TClassInfo*> FByTypeId;
};

} // namespace vorn::platform::rtti
