#include "engine/compiler/ClassRegistry.h"
#include "engine/compiler/DefaultInstances.h"
#include "engine/vm/EngineErrors.h"
#include "platform/rtti/Rtti.h"

#include <gtest/gtest.h>

using namespace vorn::engine;
namespace rtti = vorn::platform::rtti;

namespace {

class THostBase : public rtti::TObject {
public:
    static const rtti::TClassInfo& ClassInfo() {
        static const rtti::TClassInfo& info = rtti::TClassBuilder<THostBase, rtti::TObject>("THostBase").Build();
        return info;
    }
};
class THostDerived : public THostBase {
public:
    static const rtti::TClassInfo& ClassInfo() {
        static const rtti::TClassInfo& info = rtti::TClassBuilder<THostDerived, THostBase>("THostDerived").Build();
        return info;
    }
};
class THostItem : public rtti::TObject {
public:
    static const rtti::TClassInfo& ClassInfo() {
        static const rtti::TClassInfo& info = rtti::TClassBuilder<THostItem, rtti::TObject>("THostItem").Build();
        return info;
    }
};

void Proc1(TatVirtualMachine*) {}
void Proc2(TatVirtualMachine*) {}
const TMachineProc kGet = TMachineProc::Of<&Proc1>();
const TMachineProc kSet = TMachineProc::Of<&Proc2>();

TatProcDef Proc(std::string name, int32_t argCount, TatTypeKind result = tkNone, const rtti::TClassInfo* resultClass = nullptr) {
    return {std::move(name), argCount, result, resultClass, kGet, false, 0};
}
TatPropDef Prop(std::string name, TatTypeKind kind, TMachineProc getter = kGet, TMachineProc setter = kSet,
                const rtti::TClassInfo* cls = nullptr) {
    return {std::move(name), kind, getter, setter, cls, false, 0};
}

template <class F>
std::string ErrorText(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

// A registry with TObject, THostBase and THostDerived registered from their host classes.
class ClassRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        FDerived = FClasses.AddClassByRTTI(&THostDerived::ClassInfo(), {});
        FBase = FClasses.ClassByName("THostBase");
    }
    TatClasses FClasses;
    TatClass* FBase = nullptr;
    TatClass* FDerived = nullptr;
};

TEST_F(ClassRegistry, RegistrationFromHostClassesLinksTheAncestorChain) {
    // The entry is found or added first, its ancestors while it inherits.
    ASSERT_EQ(FClasses.Count(), 3);
    EXPECT_EQ(FClasses.GetItem(0), FDerived);
    EXPECT_EQ(FClasses.GetItem(2)->Name(), "TObject");
    EXPECT_EQ(FDerived->Ancestor(), FBase);
    EXPECT_EQ(FDerived->AncestorName(), "THostBase");
    EXPECT_EQ(FBase->Descendants(), std::vector<TatClass*>{FDerived});
    EXPECT_EQ(FDerived->ClassRef(), &THostDerived::ClassInfo());
    EXPECT_EQ(FClasses.FRegLevel, 0);
    EXPECT_EQ(FClasses.AddClassByRTTI(&THostDerived::ClassInfo(), {}), FDerived) << "registered once";
}

TEST_F(ClassRegistry, LookupByNameFoldsOnlyAToZ) {
    FClasses.Add("TÄrger");
    const struct { const char* name; int index; } cases[] = {
        {"TObject", 2}, {"tobject", 2}, {"THOSTBASE", 1}, {"thostderived", 0}, {"TÄrger", 3}, {"TäRGER", -1}, {"", -1},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(FClasses.IndexOf(k.name), k.index) << k.name;
        EXPECT_EQ(FClasses.ClassByName(k.name), k.index < 0 ? nullptr : FClasses.GetItem(k.index)) << k.name;
    }
}

TEST_F(ClassRegistry, AddAppendsSetReplacesAndLookupTakesTheNewest) {
    TatMethod* first = FBase->AddProc(Proc("Run", 1));
    TatMethod* second = FBase->AddProc(Proc("Run", 2));
    EXPECT_EQ(FBase->Methods().Count(), 2);
    EXPECT_EQ(FBase->MethodByName("run"), second);
    // The descendant received the first and is not given the second.
    ASSERT_EQ(FDerived->Methods().Count(), 1);
    EXPECT_EQ(FDerived->MethodByName("Run")->ArgCount(), 1);

    TatMethod* replaced = FBase->SetProc(Proc("Run", 3), "A: Integer");
    EXPECT_EQ(replaced, second) << "overwritten in place";
    EXPECT_EQ(second->ArgCount(), 3);
    EXPECT_EQ(first->ArgCount(), 1);
    EXPECT_EQ(second->ArgDefs().GetItem(0)->FName, "A");
    EXPECT_EQ(FBase->Methods().Count(), 2);
}

TEST_F(ClassRegistry, PropertyRegistrationTable) {
    const struct {
        TatProperty* (TatClass::*add)(std::string, TMachineProc, TMachineProc, bool);
        const char* name;
        TatTypeKind kind;
    } cases[] = {
        {&TatClass::AddIntegerProp, "I", tkInteger},    {&TatClass::AddBooleanProp, "B", tkInteger},
        {&TatClass::AddStringProp, "S", tkLString},     {&TatClass::AddFloatProp, "F", tkFloat},
        {&TatClass::AddVariantProp, "V", tkVariant},    {&TatClass::DefineIntegerProp, "DI", tkInteger},
        {&TatClass::DefineBooleanProp, "DB", tkInteger}, {&TatClass::DefineStringProp, "DS", tkLString},
        {&TatClass::DefineFloatProp, "DF", tkFloat},    {&TatClass::DefineVariantProp, "DV", tkVariant},
    };
    for (const auto& k : cases) {
        TatProperty* p = (FBase->*k.add)(k.name, kGet, kSet, false);
        ASSERT_NE(p, nullptr) << k.name;
        EXPECT_EQ(p->FDataType, k.kind) << k.name;
        EXPECT_EQ((FBase->*k.add)(k.name, kGet, {}, false), p) << "typed forms overwrite: " << k.name;
        EXPECT_FALSE(p->GetWriteable());
    }
    EXPECT_EQ(FBase->AddObjectProp("O", &THostItem::ClassInfo(), kGet, {})->FPropertyClass, &THostItem::ClassInfo());
    // A Variant without getter, setter and class registers nothing.
    EXPECT_EQ(FBase->DefineVariantProp("Nothing", {}, {}), nullptr);
    EXPECT_EQ(FBase->DefineNewProp(Prop("Nothing", tkVariant, {}, {})), nullptr);
    EXPECT_EQ(FBase->PropertyByName("Nothing"), nullptr);
    EXPECT_NE(FBase->DefineProp(Prop("Something", tkVariant, kGet, {})), nullptr);
    TatProperty* appended = FBase->DefineNewProp(Prop("I", tkInteger));
    EXPECT_EQ(appended->Index(), FBase->Properties().Count() - 1);
    EXPECT_EQ(FBase->PropertyByName("I"), appended);
}

TEST_F(ClassRegistry, SetOnAnAncestorLeavesADescendantsOwnMemberAlone) {
    FDerived->AddProp(Prop("Caption", tkLString));
    FBase->SetProp(Prop("Caption", tkInteger));
    FBase->SetProp(Prop("Width", tkInteger));
    EXPECT_EQ(FDerived->PropertyByName("Caption")->FDataType, tkLString);
    ASSERT_NE(FDerived->PropertyByName("Width"), nullptr);
    EXPECT_EQ(FDerived->PropertyByName("Width")->atClass(), FDerived);
}

TEST_F(ClassRegistry, VarArgsMarkAndReachDescendantsWithTheSameArgumentCount) {
    TatMethod* m = FBase->AddProc(Proc("Swap", 3));
    const uint8_t first[] = {0};
    const uint8_t second[] = {2};
    m->SetVarArgs(first);
    m->SetVarArgs(second);
    const struct { int n; bool byRef; } cases[] = {{0, true}, {1, false}, {2, true}, {3, false}, {-1, false}};
    for (const auto& k : cases) EXPECT_EQ(m->IsByRefArg(k.n), k.byRef) << k.n;
    EXPECT_EQ(m->ByRefArgMask(), 5u);
    EXPECT_TRUE(FDerived->MethodByName("Swap")->IsByRefArg(2));

    TatMethod* other = FBase->AddProc(Proc("Other", 2));
    FDerived->SetProc(Proc("Other", 1));
    const uint8_t zero[] = {0};
    other->SetVarArgs(zero);
    EXPECT_FALSE(FDerived->MethodByName("Other")->IsByRefArg(0)) << "different argument count";
}

TEST_F(ClassRegistry, AnOverloadOverwritingAnEntryDropsTheOldByReferenceMarks) {
    TatMethod* m = FBase->SetProc(Proc("Load", 2));
    const uint8_t positions[] = {1};
    m->SetVarArgs(positions);
    ASSERT_TRUE(m->IsByRefArg(1));
    FBase->SetProc(Proc("Load", 2));
    EXPECT_FALSE(m->IsByRefArg(1));
    EXPECT_EQ(m->ByRefArgMask(), 0u);
}

TEST(ClassRegistryHints, ParameterHintsTable) {
    TatClasses classes;
    TatClass* c = classes.Add("THints");
    const struct { int32_t args; const char* hints; std::vector<std::string> names, types, defaults; } cases[] = {
        {2, "A: Integer; B: string = 'x'; C", {"A", "B"}, {"Integer", "string"}, {"", "'x'"}},
        {1, "AOwner:TComponent", {"AOwner"}, {"TComponent"}, {""}},
        {3, "  X ; Y=1 ", {"X", "Y", ""}, {"", "", ""}, {"", "1", ""}},
        {1, "", {""}, {""}, {""}},
    };
    for (const auto& k : cases) {
        TatMethod* m = c->AddProc(Proc("M", k.args));
        m->UpdateParameterHints(k.hints);
        for (int i = 0; i < k.args; ++i) {
            EXPECT_EQ(m->ArgDefs().GetItem(i)->FName, k.names[i]) << k.hints;
            EXPECT_EQ(m->ArgDefs().GetItem(i)->FDataTypeName, k.types[i]) << k.hints;
            EXPECT_EQ(m->ArgDefs().GetItem(i)->FDefaultValueText, k.defaults[i]) << k.hints;
        }
    }
}

TEST(ClassRegistryHints, ResultTypeNames) {
    TatClasses classes;
    TatClass* c = classes.Add("T");
    const struct { TatTypeKind kind; const char* name; } cases[] = {
        {tkInteger, "Integer"}, {tkInt64, "Integer"}, {tkFloat, "Double"}, {tkString, "string"},
        {tkUString, "string"},  {tkVariant, ""},      {tkNone, ""},        {tkClass, ""},
    };
    for (const auto& k : cases) EXPECT_EQ(c->AddProc(Proc("F", 0, k.kind))->GetResultTypeName(), k.name);
    TatMethod* m = c->AddProc(Proc("R", 0, tkClass));
    m->FResultClassName = "TPoint";
    EXPECT_EQ(m->GetResultTypeName(), "TPoint");
}

TEST_F(ClassRegistry, MemberChainsResolveAndCacheTheirClass) {
    TatMethod* number = FBase->AddProc(Proc("Count", 0, tkInteger));
    TatMethod* any = FBase->AddProc(Proc("Any", 0, tkVariant));
    TatMethod* item = FBase->AddProc(Proc("Item", 0, tkClass, &THostItem::ClassInfo()));
    TatClass* current = FBase;
    number->UpdateObjectInfo(current);
    EXPECT_EQ(current, nullptr);
    any->UpdateObjectInfo(current);
    EXPECT_EQ(current, UndefinedClass());

    int before = FClasses.Count();
    item->UpdateObjectInfo(current);
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->Name(), "THostItem");
    EXPECT_EQ(FClasses.Count(), before + 1) << "registered on demand";
    EXPECT_TRUE(current->IsImplicit());
    EXPECT_EQ(current->ImplicitClassRef()->FElementName, "Item");
    EXPECT_EQ(current->ImplicitClassRef()->FElementClassName, "THostBase");
    EXPECT_TRUE(current->ImplicitClassRef()->ElementIsMethod());
    EXPECT_EQ(FClasses.GetImplicitCount(), 1);

    TatClass* again = nullptr;
    FClasses.Remove(FClasses.ClassByName("TObject")); // the cache answers without a lookup
    item->UpdateObjectInfo(again);
    EXPECT_EQ(again, current);
}

TEST_F(ClassRegistry, DeferredResolutionGivesTheUndefinedClass) {
    FClasses.FDeferObjectResolution = true;
    TatProperty* p = FBase->AddProp(Prop("Item", tkClass, kGet, {}, &THostItem::ClassInfo()));
    TatClass* current = nullptr;
    p->UpdateObjectInfo(current);
    EXPECT_EQ(current, UndefinedClass());
    EXPECT_EQ(FClasses.ClassByName("THostItem"), nullptr);
}

TEST_F(ClassRegistry, InheritingCopiesMethodsAndNonPublishedPropertiesAndTheDefault) {
    TatClasses classes;
    TatClass* base = classes.Add("TA");
    base->AddProc(Proc("Run", 0));
    TatProperty* items = base->AddProp(Prop("Items", tkVariant));
    items->FIndexCount = 1;
    base->AddProp(Prop("Published", tkInteger))->FPropInfo = THostBase::ClassInfo().PropertyByName("x");
    TatProperty* published = base->AddProp(Prop("Shown", tkInteger));
    published->FPropInfo = reinterpret_cast<const rtti::TPropertyInfo*>(&THostBase::ClassInfo()); // any non-null marker
    base->SetDefaultProperty(items);

    TatClass* child = classes.Add("TB");
    child->Inherits("ta");
    EXPECT_EQ(child->Ancestor(), base);
    ASSERT_EQ(child->Methods().Count(), 1);
    EXPECT_NE(child->MethodByName("Run"), base->MethodByName("Run")) << "a copy";
    EXPECT_NE(child->PropertyByName("Items"), nullptr);
    EXPECT_NE(child->PropertyByName("Published"), nullptr);
    EXPECT_EQ(child->PropertyByName("Shown"), nullptr) << "published properties are not copied";
    EXPECT_EQ(child->DefaultProperty(), child->PropertyByName("Items"));
    child->Inherits("TA");
    EXPECT_EQ(child->Methods().Count(), 1) << "inheriting twice copies nothing more";
    EXPECT_EQ(child->CastFromString("ta"), base);
    EXPECT_EQ(child->CastFromString("TC"), nullptr);
}

TEST(ClassRegistryMend, AClassNeverBecomesItsOwnAncestor) {
    TatClasses classes;
    TatClass* a = classes.Add("TA");
    TatClass* b = classes.Add("TB");
    b->Inherits("TA");
    a->Inherits("TB");
    a->Inherits("TA");
    EXPECT_EQ(a->Ancestor(), nullptr);
    EXPECT_EQ(b->Ancestor(), a);
    EXPECT_TRUE(b->Descendants().empty());
}

TEST_F(ClassRegistry, RemovalFreesMembersAndUnlinksTheClass) {
    TatProperty* items = FBase->AddProp(Prop("Items", tkVariant));
    FBase->SetDefaultProperty(items);
    FBase->RemoveProperty("items");
    EXPECT_EQ(FBase->DefaultProperty(), nullptr);
    EXPECT_EQ(FBase->PropertyByName("Items"), nullptr);
    FBase->RemoveProperty("Missing");

    TatProperty* other = FDerived->AddProp(Prop("Other", tkInteger));
    FDerived->SetDefaultProperty(other);
    FDerived->Properties().Remove(other); // freeing a member through its list
    EXPECT_EQ(FDerived->DefaultProperty(), nullptr);

    TatMethod* m = FDerived->AddProc(Proc("Item", 0, tkClass, &THostBase::ClassInfo()));
    TatClass* current = nullptr;
    m->UpdateObjectInfo(current);
    ASSERT_EQ(current, FBase);
    TatObjects instances(&FClasses);
    THostBase host;
    instances.Add(&host, "Host");
    ASSERT_EQ(instances.GetItem(0)->atClass(), FBase);

    FClasses.Remove(FBase);
    EXPECT_EQ(FClasses.Count(), 2);
    EXPECT_EQ(FDerived->Ancestor(), nullptr);
    EXPECT_EQ(FClasses.ClassByName("TObject")->Descendants().size(), 0u) << "TObject no longer lists the freed class";
    EXPECT_EQ(m->FResultVirtualClass, nullptr) << "member caches forget the freed class";
    EXPECT_EQ(instances.GetItem(0)->atClass(), nullptr) << "default instances forget it too";
    TatMethod* found = nullptr;
    EXPECT_EQ(instances.FindInstanceByMethodName("Item", found), -1);
}

TEST_F(ClassRegistry, PackedMemberReferencesReportPositionsBeyondFifteenBits) {
    const struct { int32_t classIndex, memberIndex; bool fits; } cases[] = {
        {0, 0, true}, {32767, 32767, true}, {32768, 0, false}, {0, 32768, false}, {-1, 0, false},
    };
    for (const auto& k : cases) {
        std::string error = ErrorText([&] { FClasses.PackMemberReference(3, k.classIndex, k.memberIndex); });
        if (k.fits) {
            EXPECT_EQ(error, "(no error)");
            int32_t packed = FClasses.PackMemberReference(3, k.classIndex, k.memberIndex);
            EXPECT_EQ((packed >> 17) & 0x7FFF, k.classIndex);
            EXPECT_EQ((packed >> 2) & 0x7FFF, k.memberIndex);
        } else {
            EXPECT_EQ(error.rfind("Definition ERROR\r\nMember reference out of range", 0), 0u) << error;
        }
    }
}

TEST_F(ClassRegistry, RecordsAreFoundOrAdded) {
    const rtti::TTypeInfo* record = rtti::TTypeOf<vorn::platform::Nullable<double>>::Get();
    FClasses.FLibraryNameUnderRegistration = "Math";
    TatClass* entry = FClasses.AddRecord(record, "TValueRec");
    EXPECT_EQ(entry->RecordRef(), record);
    EXPECT_EQ(entry->LibContext(), "Math");
    EXPECT_EQ(FClasses.AddRecord(rtti::TTypeOf<vorn::platform::Nullable<int32_t>>::Get(), "tvaluerec"), entry);
    EXPECT_EQ(entry->RecordRef(), record) << "an entry that stands for a record is kept";
    EXPECT_EQ(FClasses.FRegLevel, 0);
}

TEST_F(ClassRegistry, CopiesRebindProcsBoundToTheSourceMember) {
    TatMethod* m = FBase->AddProc(Proc("Bound", 0));
    m->FProc.FObject = m;
    TatClass* child = FClasses.Add("TChild");
    child->Inherits("THostBase");
    EXPECT_EQ(child->MethodByName("Bound")->FProc.FObject, child->MethodByName("Bound"));
}

// ---- Default instances and implicit class references ------------------------------------

TEST_F(ClassRegistry, DefaultInstancesErrorsAndLookups) {
    TatObjects instances(&FClasses);
    EXPECT_EQ(ErrorText([&] { instances.Add(static_cast<rtti::TObject*>(nullptr), "X"); }),
              "Definition ERROR\r\nInvalid reZudera default instance");
    THostBase first;
    THostDerived second;
    TatObject* a = instances.Add(&first, "Global");
    EXPECT_EQ(instances.Add(&second, "GLOBAL"), a) << "an existing name keeps its first instance";
    EXPECT_EQ(a->Instance(), static_cast<void*>(&first));
    instances.Add(&second, {});
    EXPECT_EQ(instances.GetItem(1)->Name(), "THostDerived");

    FBase->SetProc(Proc("Shared", 0)); // reaches THostDerived as a copy
    TatMethod* method = nullptr;
    EXPECT_EQ(instances.FindInstanceByMethodName("shared", method), 1) << "the later instance wins";
    EXPECT_EQ(method, FDerived->MethodByName("Shared"));
    TatProperty* property = reinterpret_cast<TatProperty*>(&instances);
    EXPECT_EQ(instances.FindInstanceByPropertyName("Nope", property), -1);
    EXPECT_EQ(property, nullptr);
    EXPECT_EQ(instances.FindInstanceByClassName("thostbase"), a);
    EXPECT_TRUE(FBase->IsDefaultInstance() == false) << "not the scripter's list";
    FClasses.FDefaultInstances = &instances;
    EXPECT_TRUE(FBase->IsDefaultInstance());

    TatClasses elsewhere;
    TatClass stranger(&elsewhere, "TNope");
    EXPECT_EQ(ErrorText([&] { a->SeTatClass(&stranger); }), "Definition ERROR\r\nUndefined default instance class 'TNope'");
    a->SeTatClass(FDerived);
    EXPECT_EQ(a->atClass(), FDerived);
}

TEST_F(ClassRegistry, ImplicitClassReferencesLoadAgainOrFailAsInternalErrors) {
    TatMethod* item = FBase->AddProc(Proc("Item", 0, tkClass, &THostItem::ClassInfo()));
    TatClass* internal = FClasses.Add("TatInternalObject");
    internal->AddProp(Prop("Thing", tkClass, kGet, {}, &THostItem::ClassInfo()));
    TatClassRefs refs(&FClasses);
    refs.Add(4, item->Index(), FBase->Index(), true, "THostItem", "Item", "THostBase");
    refs.Add(4, 0, internal->Index(), false, "THostItem", "Thing", "TatInternalObject");
    refs.Add(4, 7, FBase->Index(), true, "THostItem", "Missing", "THostBase");
    refs.CheckLoaded(*refs.GetItem(0));
    EXPECT_NE(FClasses.ClassByName("THostItem"), nullptr);
    refs.CheckLoaded(*refs.GetItem(1)); // exactly 17 characters: an ordinary class
    std::string error = ErrorText([&] { refs.CheckLoaded(*refs.GetItem(2)); });
    EXPECT_EQ(error.rfind("INTERNAL ERROR\r\nError loading implicit class reference.\r\n", 0), 0u) << error;
}

} // namespace
