#include "RttiTestTypes.h"

namespace vorn::platform::rtti::test {

const TEnumInfo& DescribeEnum(TColor) {
    static const TEnumInfo& info = TEnumBuilder<TColor>("TColor", "Test")
        .Value(TColor::clRed, "clRed")
        .Value(TColor::clGreen, "clGreen")
        .Value(TColor::clBlue, "clBlue")
        .Build();
    return info;
}

const TRecordInfo& TPoint::RecordInfo() {
    static const TRecordInfo& info = TRecordBuilder<TPoint>("TPoint", "Test")
        .Field("X", &TPoint::X)
        .Field("Y", &TPoint::Y)
        .Method("Sum", &TPoint::Sum)
        .Build();
    return info;
}

std::string TPerson::Greet(const std::string& who, int32_t times) const {
    std::string text;
    for (int32_t i = 0; i < times; ++i) text += "Hello " + who + " from " + FName + ";";
    return text;
}

const TClassInfo& TPerson::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TPerson, TObject>("TPerson", "Test")
        .ClassAttribute("Entity")
        .ClassAttribute("Table", {TValue::Text("PERSON")})
        .Field("FName", &TPerson::FName, mvPrivate)
        .Attribute("JsonName", {TValue::Text("fullName")})
        .Field("FAge", &TPerson::FAge, mvPrivate)
        .Field("FHeight", &TPerson::FHeight, mvPrivate)
        .Attribute("Column", {TValue::Text("HEIGHT_CM"), TValue::Int(10)})
        .Field("FColor", &TPerson::FColor, mvPrivate)
        .Field("FColors", &TPerson::FColors, mvPrivate)
        .Field("FHome", &TPerson::FHome, mvPrivate)
        .Field("FBorn", &TPerson::FBorn, mvPrivate)
        .Type(DateTimeType())
        .Field("FFriend", &TPerson::FFriend, mvPrivate)
        .Attribute("Lazy")
        .Property("Name", &TPerson::Name, &TPerson::SetName, mvPublished)
        .Property("Age", &TPerson::Age, &TPerson::SetAge, mvPublished)
        .Property("Friend", &TPerson::Friend, &TPerson::SetFriend, mvPublished)
        .Property("Color", &TPerson::FColor, &TPerson::FColor, mvPublished)
        .Property("Height", &TPerson::FHeight, nullptr, mvPublic)
        .IndexedProperty("Items", &TPerson::Item, &TPerson::SetItem, {"Index"}, true)
        .Constructor<std::string>("Create", {Const("AName")})
        .Method("Greet", &TPerson::Greet, {Const("who"), "times"})
        .Method("Swap", &TPerson::Swap, {Var("a"), Var("b")})
        .Method("Fill", &TPerson::Fill, {Out("text"), "number"})
        .Method("Add", &TPerson::Add, {"a", "b"})
        .Method("Scale", &TPerson::Scale, {"value"}, mvProtected)
        .ClassMethod("Twice", &TPerson::Twice, {"v"})
        .Build();
    return info;
}

const TClassInfo& TEmployee::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TEmployee, TPerson>("TEmployee", "Test")
        .Field("FCompany", &TEmployee::FCompany, mvPrivate)
        .Field("FActive", &TEmployee::FActive, mvPrivate)
        .Property("Company", &TEmployee::Company, nullptr, mvPublished)
        .Property("Active", &TEmployee::FActive, &TEmployee::FActive, mvPublished)
        .Build();
    return info;
}

const TDescribeAtStartup<TPerson> kDescribePerson;
const TDescribeAtStartup<TEmployee> kDescribeEmployee;

} // namespace vorn::platform::rtti::test
