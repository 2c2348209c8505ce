#include "RttiTestTypes.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vorn::platform;
using namespace vorn::platform::rtti;
using namespace vorn::platform::rtti::test;

namespace {

TEST(LiveObjects, NumbersResolveToTheObjectAndItsClass) {
    auto e = std::make_unique<TEmployee>();
    TPerson* asPerson = e.get();
    TValue v = ToValue(asPerson);
    EXPECT_EQ(v.TypeInfo(), &TEmployee::ClassInfo()) << "an object shows its most derived class";
    int64_t number = v.AsInt64();
    EXPECT_EQ(number, e->ObjectNumber());
    EXPECT_NE(number, 0);

    auto [object, cls] = TLiveObjects::Instance().Resolve(number);
    EXPECT_EQ(object, e.get());
    EXPECT_EQ(cls, &TEmployee::ClassInfo());
    EXPECT_EQ(FromValue<TPerson*>(TValue::Int(number)), asPerson);
    EXPECT_EQ(FromValue<TObject*>(TValue::Int(number)), static_cast<TObject*>(e.get()));
    EXPECT_EQ(FromValue<TPerson*>(TValue::Int(0)), nullptr) << "nil is 0";
}

TEST(LiveObjects, ForgedOrStaleNumbersFailCleanly) {
    auto p = std::make_unique<TPerson>("Ann");
    int64_t live = p->ObjectNumber();
    auto gone = std::make_unique<TPerson>("Bo");
    int64_t stale = gone->ObjectNumber();
    gone.reset();
    auto reused = std::make_unique<TPerson>("Cy"); // may take the freed slot

    // (A neighbouring slot number may name another live object: that is a valid object,
    // not a fault, so it is not in this list.)
    const int64_t forged[] = {1, 2, 12345, -1, stale, live + (int64_t(1) << 32), live - (int64_t(1) << 32),
                              int64_t(0x7FFFFFFF00000001), INT64_MIN};
    for (int64_t n : forged) {
        EXPECT_THROW(TLiveObjects::Instance().Resolve(n), EInvalidCast) << n;
        try {
            FromValue<TPerson*>(TValue::Int(n));
            ADD_FAILURE() << n;
        } catch (const EInvalidCast& e) {
            EXPECT_STREQ(e.what(), "Invalid class typecast");
        }
    }
    EXPECT_EQ(FromValue<TPerson*>(TValue::Int(live)), p.get());
    EXPECT_NE(reused->ObjectNumber(), stale);
}

TEST(LiveObjects, ObjectOfTheWrongClassIsAnInvalidCast) {
    TPerson p;
    EXPECT_THROW(FromValue<TEmployee*>(TValue::Int(p.ObjectNumber())), EInvalidCast);
    EXPECT_THROW(FromValue<TEmployee*>(ToValue(&p)), EInvalidCast);
}

TEST(LiveObjects, ExplicitRegistrationOfOtherHostObjects) {
    TPoint point; // stands for a host object that is not a TObject
    TLiveObjects& live = TLiveObjects::Instance();
    size_t before = live.Count();
    int64_t number = live.Register(&point, &TPerson::ClassInfo());
    EXPECT_EQ(live.Register(&point, &TPerson::ClassInfo()), number) << "one number per object";
    EXPECT_EQ(live.NumberOf(&point), number);
    EXPECT_EQ(live.Count(), before + 1);
    live.Unregister(number);
    live.Unregister(number); // twice is harmless
    EXPECT_EQ(live.NumberOf(&point), 0);
    void* object = nullptr;
    const TClassInfo* cls = nullptr;
    EXPECT_FALSE(live.TryResolve(number, object, cls));
    EXPECT_EQ(live.Count(), before);
}

TEST(LiveObjects, CopiesHaveTheirOwnNumbersAndUndescribedClassesShowAsTObject) {
    TPerson a("Ann");
    TPerson b(a);
    EXPECT_NE(a.ObjectNumber(), b.ObjectNumber());
    TUndescribed u;
    EXPECT_EQ(u.ClassType(), &TObject::ClassInfo());
    EXPECT_EQ(u.ClassName(), "TObject");
    EXPECT_EQ(a.ClassName(), "TPerson");
}

TEST(LiveObjects, RepeatedResolutionsGiveTheSameObjectAndClass) {
    auto e = std::make_unique<TEmployee>();
    TUndescribed u;
    for (int round = 0; round < 3; ++round) {
        auto [object, cls] = TLiveObjects::Instance().Resolve(e->ObjectNumber());
        EXPECT_EQ(object, e.get()) << round;
        EXPECT_EQ(cls, &TEmployee::ClassInfo()) << round;
        auto [plain, plainClass] = TLiveObjects::Instance().Resolve(u.ObjectNumber());
        EXPECT_EQ(plain, static_cast<TObject*>(&u)) << round;
        EXPECT_EQ(plainClass, &TObject::ClassInfo()) << round;
    }
}

} // namespace

// The memo answers the same number again without the registry, and stops answering as
// soon as the object is gone: its number then fails even when the slot is reused.
TEST(LiveObjects, ResolveMemoNeverOutlivesItsObject) {
    TLiveObjects& objects = TLiveObjects::Instance();
    TLiveObjects::TResolveMemo memo;
    void* object = nullptr;
    const TClassInfo* cls = nullptr;
    auto e = std::make_unique<TEmployee>();
    const int64_t number = e->ObjectNumber();
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(objects.TryResolve(number, object, cls, memo));
        EXPECT_EQ(object, e.get());
        EXPECT_EQ(cls, &TEmployee::ClassInfo());
    }
    EXPECT_EQ(memo.FNumber, number) << "a described class is remembered";

    e.reset();
    auto reused = std::make_unique<TEmployee>(); // may take the freed slot, even the address
    EXPECT_FALSE(objects.TryResolve(number, object, cls, memo));
    ASSERT_TRUE(objects.TryResolve(reused->ObjectNumber(), object, cls, memo));
    EXPECT_EQ(object, reused.get());
    ASSERT_TRUE(objects.TryResolve(0, object, cls, memo));
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(cls, nullptr);
}
