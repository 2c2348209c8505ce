#pragma once
// The registry of live objects: scripts hold objects as 64-bit numbers, and every use of
// such a number is resolved here. Numbers are generation-checked slot handles, not
// addresses, so a forged or stale number is a clean EInvalidCast, never a read of freed memory.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/SpinLock.h"

namespace vorn::platform::rtti {

class TClassInfo;
class TObject;

class TLiveObjects {
public:
    // The one registry of the process; never destroyed, so objects freed during exit can
    // still unregister. Thread-safe.
    static TLiveObjects& Instance();

    // Registers a host object (`object` is the part of class `classInfo`) and returns its
    // number; the same pointer registered again keeps its number; null gives 0. The owner
    // must call Unregister before the object is freed.
    int64_t Register(void* object, const TClassInfo* classInfo);
    // Registers a TObject; its class is taken from the object at each resolution.
    int64_t Register(TObject* object);
    // Forgets a number; unknown or stale numbers are ignored.
    void Unregister(int64_t number) noexcept;

    // The object and its class for a number; 0 gives null and null. False for a number
    // that is not live.
    bool TryResolve(int64_t number, void*& object, const TClassInfo*& classInfo) const;
    // A one-entry memo of the last resolution, for a caller on one thread that resolves
    // the same number over and over (the host calls of a script loop). It answers
    // without the lock while nothing was registered or unregistered since and, for a
    // TObject, while its dynamic type is the one it had.
    struct TResolveMemo {
        int64_t FNumber = 0;
        uint64_t FEpoch = 0;
        TObject* FTObject = nullptr;
        const std::type_info* FType = nullptr;
        void* FObject = nullptr;
        const TClassInfo* FClass = nullptr;
    };
    // As TryResolve, through `memo`.
    bool TryResolve(int64_t number, void*& object, const TClassInfo*& classInfo, TResolveMemo& memo) const;
    // As TryResolve, raising EInvalidCast "Invalid class typecast" for a number that is not live.
    std::pair<void*, const TClassInfo*> Resolve(int64_t number) const;
    // The object behind a number registered as a TObject; null for any other number.
    TObject* ResolveTObject(int64_t number) const;
    // The number of a registered object pointer; 0 when it is not registered.
    int64_t NumberOf(const void* object) const;
    size_t Count() const;

private:
    TLiveObjects() = default;
    struct TSlot {
        void* FObject = nullptr;
        const TClassInfo* FClass = nullptr; // null for TObject entries
        uint32_t FGeneration = 1;
        uint32_t FNextFree = 0;
        bool FUsed = false;
        bool FIsTObject = false;
        // For TObject entries, the last class lookup: the dynamic type it was made for,
        // the offset of the class's part and the class. A changed dynamic type (the
        // object under construction or destruction) misses and looks up again.
        const std::type_info* FCachedType = nullptr;
        std::ptrdiff_t FCachedOffset = 0;
        const TClassInfo* FCachedClass = nullptr;
    };
    int64_t Add(void* object, const TClassInfo* classInfo, bool isTObject);
    TSlot* Find(int64_t number) const;
    static std::pair<void*, const TClassInfo*> ClassPartOf(TSlot& slot);

    mutable TSpinLock FLock;
    // Counts registrations and unregistrations (changed under FLock); memos compare it.
    std::atomic<uint64_t> FEpoch{1};
    mutable std::vector<TSlot> FSlots; // mutable for the class cache filled while resolving
    uint32_t FFirstFree = 0; // slot index + 1; 0 when no slot is free
    std::unordered_map<const void*, int64_t> FNumbers;
};

} // namespace vorn::platform::rtti
