#include "platform/rtti/LiveObjects.h"

#include "platform/Exceptions.h"
#include "platform/rtti/Object.h"

namespace vorn::platform::rtti {

// A number is (generation << 32) | (slot index + 1). Generations start at 1, so small
// integers are never live numbers, and stay below 2^31 so numbers are positive.
namespace {
constexpr uint32_t kMaxGeneration = 0x7FFFFFFF;
int64_t MakeNumber(uint32_t index, uint32_t generation) {
    return int64_t((uint64_t(generation) << 32) | (uint64_t(index) + 1));
}
} // namespace

TLiveObjects& TLiveObjects::Instance() {
    static TLiveObjects* instance = new TLiveObjects();
    return *instance;
}

int64_t TLiveObjects::Add(void* object, const TClassInfo* classInfo, bool isTObject) {
    uint32_t index;
    if (FFirstFree != 0) {
        index = FFirstFree - 1;
        FFirstFree = FSlots[index].FNextFree;
    } else {
        index = uint32_t(FSlots.size());
        FSlots.emplace_back();
    }
    TSlot& slot = FSlots[index];
    slot.FObject = object;
    slot.FClass = classInfo;
    slot.FUsed = true;
    slot.FIsTObject = isTObject;
    int64_t number = MakeNumber(index, slot.FGeneration);
    FNumbers[object] = number;
    FEpoch.fetch_add(1, std::memory_order_release);
    return number;
}

int64_t TLiveObjects::Register(void* object, const TClassInfo* classInfo) {
    if (!object) return 0;
    if (!classInfo) throw EInvalidCast("Invalid class typecast");
    std::lock_guard lock(FLock);
    auto it = FNumbers.find(object);
    if (it != FNumbers.end()) return it->second;
    return Add(object, classInfo, false);
}

int64_t TLiveObjects::Register(TObject* object) {
    std::lock_guard lock(FLock);
    return Add(object, nullptr, true);
}

TLiveObjects::TSlot* TLiveObjects::Find(int64_t number) const {
    uint64_t bits = uint64_t(number);
    uint64_t index = (bits & 0xFFFFFFFFu);
    uint32_t generation = uint32_t(bits >> 32);
    if (index == 0 || index > FSlots.size()) return nullptr;
    TSlot& slot = FSlots[index - 1];
    return slot.FUsed && slot.FGeneration == generation ? &slot : nullptr;
}

void TLiveObjects::Unregister(int64_t number) noexcept {
    std::lock_guard lock(FLock);
    const TSlot* found = Find(number);
    if (!found) return;
    auto index = uint32_t((uint64_t(number) & 0xFFFFFFFFu) - 1);
    TSlot& slot = FSlots[index];
    FNumbers.erase(slot.FObject);
    FEpoch.fetch_add(1, std::memory_order_release);
    slot = TSlot{nullptr, nullptr, slot.FGeneration + 1, 0, false, false, nullptr, 0, nullptr};
    // A slot whose generation is used up is retired instead of reused, so an old number
    // can never name a new object.
    if (slot.FGeneration >= kMaxGeneration) return;
    slot.FNextFree = FFirstFree;
    FFirstFree = index + 1;
}

bool TLiveObjects::TryResolve(int64_t number, void*& object, const TClassInfo*& classInfo) const {
    object = nullptr;
    classInfo = nullptr;
    if (number == 0) return true;
    std::lock_guard lock(FLock);
    TSlot* slot = Find(number);
    if (!slot) return false;
    if (!slot->FIsTObject) {
        object = slot->FObject;
        classInfo = slot->FClass;
        return true;
    }
    auto part = ClassPartOf(*slot);
    object = part.first;
    classInfo = part.second;
    return true;
}

bool TLiveObjects::TryResolve(int64_t number, void*& object, const TClassInfo*& classInfo, TResolveMemo& memo) const {
    if (number != 0 && number == memo.FNumber && memo.FEpoch == FEpoch.load(std::memory_order_acquire) &&
        (memo.FTObject == nullptr || &typeid(*memo.FTObject) == memo.FType)) {
        object = memo.FObject;
        classInfo = memo.FClass;
        return true;
    }
    object = nullptr;
    classInfo = nullptr;
    if (number == 0) return true;
    std::lock_guard lock(FLock);
    TSlot* slot = Find(number);
    if (!slot) return false;
    TResolveMemo fresh;
    if (!slot->FIsTObject) {
        object = slot->FObject;
        classInfo = slot->FClass;
    } else {
        auto part = ClassPartOf(*slot);
        object = part.first;
        classInfo = part.second;
        // Only a class part the slot caches is remembered: a class described later
        // must still be found.
        auto* tobject = static_cast<TObject*>(slot->FObject);
        if (slot->FCachedType != &typeid(*tobject)) {
            memo = fresh;
            return true;
        }
        fresh.FTObject = tobject;
        fresh.FType = slot->FCachedType;
    }
    fresh.FNumber = number;
    fresh.FEpoch = FEpoch.load(std::memory_order_relaxed);
    fresh.FObject = object;
    fresh.FClass = classInfo;
    memo = fresh;
    return true;
}

// A TObject's class part, from the slot's cache while the object's dynamic type is the
// one cached (a vtable read instead of a registry lookup). Only a described class is
// cached: a class described later must still be found. Called under FLock.
std::pair<void*, const TClassInfo*> TLiveObjects::ClassPartOf(TSlot& slot) {
    auto* object = static_cast<TObject*>(slot.FObject);
    const std::type_info* type = &typeid(*object);
    if (slot.FCachedType == type)
        return {static_cast<char*>(slot.FObject) + slot.FCachedOffset, slot.FCachedClass};
    auto part = object->ClassPart();
    if (part.second && part.second != &TObject::ClassInfo()) {
        slot.FCachedType = type;
        slot.FCachedOffset = static_cast<char*>(part.first) - static_cast<char*>(slot.FObject);
        slot.FCachedClass = part.second;
    }
    return part;
}

TObject* TLiveObjects::ResolveTObject(int64_t number) const {
    if (number == 0) return nullptr;
    std::lock_guard lock(FLock);
    const TSlot* slot = Find(number);
    return slot && slot->FIsTObject ? static_cast<TObject*>(slot->FObject) : nullptr;
}

std::pair<void*, const TClassInfo*> TLiveObjects::Resolve(int64_t number) const {
    std::pair<void*, const TClassInfo*> result;
    if (!TryResolve(number, result.first, result.second)) throw EInvalidCast("Invalid class typecast");
    return result;
}

int64_t TLiveObjects::NumberOf(const void* object) const {
    std::lock_guard lock(FLock);
    auto it = FNumbers.find(object);
    return it == FNumbers.end() ? 0 : it->second;
}

size_t TLiveObjects::Count() const {
    std::lock_guard lock(FLock);
    return FNumbers.size();
}

} // namespace vorn::platform::rtti
