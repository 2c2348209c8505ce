#include "RttiTestTypes.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vorn::platform;
using namespace vorn::platform::rtti;
using namespace vorn::platform::rtti::test;

namespace {

template <class List>
std::vector<std::string> NamesOf(const List& list) {
    std::vector<std::string> names;
    for (const auto& m : list) names.push_back(m->Name());
    return names;
}

TEST(Reflection, TypeKindsKeepTheirClassicNumbers) {
    const std::pair<TTypeKind, int> cases[] = {
        {tkUnknown, 0},    {tkInteger, 1}, {tkChar, 2},     {tkEnumeration, 3}, {tkFloat, 4},      {tkString, 5},
        {tkSet, 6},        {tkClass, 7},   {tkMethod, 8},   {tkWChar, 9},       {tkLString, 10},   {tkWString, 11},
        {tkVariant, 12},   {tkArray, 13},  {tkRecord, 14},  {tkInterface, 15},  {tkInt64, 16},     {tkDynArray, 17},
        {tkUString, 18},   {tkClassRef, 19}, {tkPointer, 20}, {tkProcedure, 21},
    };
    for (auto [kind, number] : cases) EXPECT_EQ(int(kind), number) << TypeKindName(kind);
    EXPECT_STREQ(TypeKindName(tkUString), "tkUString");
}

TEST(Reflection, ClassShowsParentAndMembersInDeclarationOrder) {
    const TClassInfo& c = TPerson::ClassInfo();
    EXPECT_EQ(c.Name(), "TPerson");
    EXPECT_EQ(c.QualifiedName(), "Test.TPerson");
    EXPECT_EQ(c.Kind(), tkClass);
    EXPECT_EQ(c.Parent(), &TObject::ClassInfo());
    EXPECT_EQ(TEmployee::ClassInfo().Parent(), &c);
    EXPECT_EQ(NamesOf(c.Fields()),
              (std::vector<std::string>{"FName", "FAge", "FHeight", "FColor", "FColors", "FHome", "FBorn", "FFriend"}));
    EXPECT_EQ(NamesOf(c.Properties()), (std::vector<std::string>{"Name", "Age", "Friend", "Color", "Height", "Items"}));
    EXPECT_EQ(NamesOf(c.Methods()), (std::vector<std::string>{"Create", "Greet", "Swap", "Fill", "Add", "Scale", "Twice"}));
    ASSERT_EQ(c.Members().size(), 21u);
    EXPECT_EQ(c.Members()[8]->Name(), "Name");
    EXPECT_EQ(c.Members().back()->Name(), "Twice");
}

TEST(Reflection, TypeNamesAndKindsOfMembers) {
    const TClassInfo& c = TPerson::ClassInfo();
    const struct { const char* field; TTypeKind kind; const char* name; } cases[] = {
        {"FName", tkUString, "string"},
        {"FAge", tkInteger, "Integer"},
        {"FHeight", tkRecord, "Nullable<System.Double>"},
        {"FColor", tkEnumeration, "TColor"},
        {"FColors", tkSet, "set of TColor"},
        {"FHome", tkRecord, "TPoint"},
        {"FBorn", tkFloat, "TDateTime"},
        {"FFriend", tkClass, "TPerson"},
    };
    for (const auto& k : cases) {
        const TFieldInfo* f = c.FieldByName(k.field);
        ASSERT_NE(f, nullptr) << k.field;
        EXPECT_EQ(f->Type()->Kind(), k.kind) << k.field;
        EXPECT_EQ(f->Type()->Name(), k.name) << k.field;
    }
    EXPECT_TRUE(c.FieldByName("FHeight")->Type()->IsOptional());
    EXPECT_EQ(c.FieldByName("FHeight")->Type()->ElementType()->Name(), "Double");
    EXPECT_EQ(TTypeOf<Nullable<std::string>>::Get()->Name(), "Nullable<System.string>");
    EXPECT_EQ(TTypeOf<Nullable<int32_t>>::Get()->Name(), "Nullable<System.Integer>");
    EXPECT_EQ(TTypeOf<Nullable<bool>>::Get()->Name(), "Nullable<System.Boolean>");
    EXPECT_EQ(TTypeOf<bool>::Get()->Kind(), tkEnumeration);
}

TEST(Reflection, MethodSignaturesAndFlags) {
    const TClassInfo& c = TPerson::ClassInfo();
    const TMethodInfo* create = c.MethodByName("create");
    ASSERT_NE(create, nullptr);
    EXPECT_TRUE(create->IsConstructor());
    EXPECT_TRUE(create->IsClassMethod());
    EXPECT_EQ(create->ReturnType(), &c);
    EXPECT_TRUE(create->Parameters()[0].IsConst());

    const TMethodInfo* swap = c.MethodByName("Swap");
    EXPECT_EQ(swap->ReturnType(), nullptr);
    ASSERT_EQ(swap->Parameters().size(), 2u);
    EXPECT_EQ(swap->Parameters()[1].Name(), "b");
    EXPECT_TRUE(swap->Parameters()[1].IsByRef());
    EXPECT_EQ(swap->Parameters()[1].Type()->Name(), "Integer");

    const TMethodInfo* fill = c.MethodByName("Fill");
    EXPECT_TRUE(fill->Parameters()[0].IsOut());
    EXPECT_TRUE(fill->Parameters()[1].IsByRef()) << "a non-const reference is by reference even when not stated";

    const TMethodInfo* greet = c.MethodByName("Greet");
    EXPECT_EQ(greet->ReturnType()->Name(), "string");
    EXPECT_TRUE(greet->Parameters()[0].IsConst());
    EXPECT_FALSE(greet->Parameters()[1].IsByRef());

    EXPECT_EQ(c.MethodByName("Scale")->Visibility(), mvProtected);
    EXPECT_TRUE(c.MethodByName("Twice")->IsClassMethod());
    EXPECT_FALSE(c.MethodByName("Twice")->IsConstructor());
    EXPECT_EQ(c.MethodByName("Missing"), nullptr);
}

TEST(Reflection, AttributesOnClassesAndMembers) {
    const TClassInfo& c = TPerson::ClassInfo();
    ASSERT_NE(c.Attribute("Table"), nullptr);
    EXPECT_EQ(c.Attribute("Table")->Text(), "PERSON");
    EXPECT_NE(c.Attribute("Entity"), nullptr);
    EXPECT_EQ(c.FieldByName("FName")->Attribute("JsonName")->Text(), "fullName");
    const TAttribute* column = c.FieldByName("FHeight")->Attribute("Column");
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(column->Text(0), "HEIGHT_CM");
    EXPECT_EQ(column->Args()[1].AsInt64(), 10);
    EXPECT_TRUE(c.FieldByName("FFriend")->HasAttribute("Lazy"));
    EXPECT_FALSE(c.FieldByName("FAge")->HasAttribute("Lazy"));
    // Class attributes are inherited through AllAttributes, nearest class first.
    TAttributes all = TEmployee::ClassInfo().AllAttributes();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].Name(), "Entity");
}

TEST(Reflection, LookupOfRegisteredClassesByName) {
    // A type is registered by name once it is described; describe the ones looked up here.
    TEmployee::ClassInfo();
    TPoint::RecordInfo();
    const struct { const char* name; const TClassInfo* expected; } cases[] = {
        {"TPerson", &TPerson::ClassInfo()},
        {"tperson", &TPerson::ClassInfo()},
        {"TEMPLOYEE", &TEmployee::ClassInfo()},
        {"TObject", &TObject::ClassInfo()},
        {"TPersonX", nullptr},
        {"TPoint", nullptr}, // a record, not a class
    };
    for (const auto& k : cases) EXPECT_EQ(TTypeRegistry::Instance().FindClass(k.name), k.expected) << k.name;
    EXPECT_EQ(TTypeRegistry::Instance().FindTypeBySimpleName("TPoint"), &TPoint::RecordInfo());
    EXPECT_EQ(TTypeRegistry::Instance().FindTypeBySimpleName("tpoint"), nullptr);
}

TEST(Reflection, FieldsGetAndSetByName) {
    TPerson p("Ann");
    const TClassInfo& c = TPerson::ClassInfo();
    EXPECT_EQ(c.FieldByName("FName")->GetValue(&p).AsString(), "Ann");
    c.FieldByName("FAge")->SetValue(&p, TValue::Text(" 42 "));
    EXPECT_EQ(p.FAge, 42);
    c.FieldByName("FAge")->SetValue(&p, TValue::Float(6.5));
    EXPECT_EQ(p.FAge, 6) << "floats round half to even";
    EXPECT_THROW(c.FieldByName("FAge")->SetValue(&p, TValue::Int(int64_t(1) << 40)), ERangeError);
    EXPECT_EQ(&c.FieldByName("FName")->Ref<std::string>(&p), &p.FName);

    const TFieldInfo* height = c.FieldByName("FHeight");
    EXPECT_EQ(height->GetValue(&p).Kind(), TValueKind::vkNullEmpty);
    height->SetValue(&p, TValue::Text("1.75"));
    ASSERT_TRUE(p.FHeight.HasValue());
    EXPECT_DOUBLE_EQ(p.FHeight.Value(), 1.75);
    EXPECT_DOUBLE_EQ(height->GetValue(&p).AsFloat(), 1.75);
    height->SetValue(&p, TValue());
    EXPECT_FALSE(p.FHeight.HasValue());
}

TEST(Reflection, PropertiesReadAndWrite) {
    TEmployee e;
    e.FName = "Bo";
    const TClassInfo& c = TEmployee::ClassInfo();
    const TPropertyInfo* name = c.PropertyByName("NAME"); // inherited, found through the parent
    ASSERT_NE(name, nullptr);
    name->SetValue(static_cast<TPerson*>(&e), TValue::Text("Cy"));
    EXPECT_EQ(e.FName, "Cy");
    EXPECT_EQ(name->GetValue(static_cast<TPerson*>(&e)).AsString(), "Cy");
    const TPropertyInfo* company = c.PropertyByName("Company");
    EXPECT_FALSE(company->IsWritable());
    EXPECT_THROW(company->SetValue(&e, TValue::Text("x")), EArgumentException);

    const TPropertyInfo* items = TPerson::ClassInfo().PropertyByName("Items");
    EXPECT_TRUE(items->IsDefault());
    ASSERT_EQ(items->IndexParameters().size(), 1u);
    TValue index[] = {TValue::Text("3")};
    EXPECT_EQ(items->GetValue(static_cast<TPerson*>(&e), index).AsString(), "Cy#3");
    items->SetValue(static_cast<TPerson*>(&e), TValue::Text("Z"), index);
    EXPECT_EQ(e.FName, "Z3");
    EXPECT_THROW(items->GetValue(&e), EArgumentException);
}

TEST(Reflection, PublishedPropertiesFilteredByKindAndSortedByName) {
    const TClassInfo& c = TEmployee::ClassInfo();
    const struct { TTypeKinds kinds; std::vector<std::string> expected; } cases[] = {
        {KindBit(tkUString) | KindBit(tkInteger) | KindBit(tkEnumeration),
         {"Active", "Age", "Color", "Company", "Name"}},
        {KindBit(tkClass), {"Friend"}},
        {KindBit(tkFloat), {}},
    };
    for (const auto& k : cases) {
        std::vector<std::string> names;
        for (const TPropertyInfo* p : c.PublishedProperties(k.kinds)) names.push_back(p->Name());
        EXPECT_EQ(names, k.expected);
    }
}

} // namespace
