#include "platform/rtti/Object.h"

#include "platform/rtti/LiveObjects.h"
#include "platform/rtti/TypeBuilder.h"
#include "platform/rtti/TypeRegistry.h"

#include <typeinfo>

namespace vorn::platform::rtti {

TObject::TObject() : FNumber(TLiveObjects::Instance().Register(this)) {}

TObject::TObject(const TObject&) : FNumber(TLiveObjects::Instance().Register(this)) {}

TObject::~TObject() { TLiveObjects::Instance().Unregister(FNumber); }

std::pair<void*, const TClassInfo*> TObject::ClassPart() const {
    const TClassInfo* found = TTypeRegistry::Instance().ClassOfTypeId(typeid(*this));
    if (found) return {dynamic_cast<void*>(const_cast<TObject*>(this)), found};
    // A class that was not described shows as its nearest described ancestor only
    // when that is TObject itself: there is no way to find the others.
    return {const_cast<TObject*>(this), &ClassInfo()};
}

const TClassInfo* TObject::ClassType() const { return ClassPart().second; }

std::string TObject::ClassName() const { return ClassType()->Name(); }

const TClassInfo& TObject::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TObject>("TObject", "System")
        .Method("ClassName", &TObject::ClassName, {})
        .Build();
    return info;
}

} // namespace vorn::platform::rtti
