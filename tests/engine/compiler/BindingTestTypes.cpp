#include "tests/engine/compiler/BindingTestTypes.h"

#include "platform/Exceptions.h"

namespace vorn::engine::bindingtest {

namespace rtti = platform::rtti;

const rtti::TEnumInfo& DescribeEnum(TShade) {
    static const rtti::TEnumInfo& info = rtti::TEnumBuilder<TShade>("TShade", "Test")
        .Value(TShade::shLight, "shLight")
        .Value(TShade::shDark, "shDark")
        .Value(TShade::shDeep, "shDeep")
        .Build();
    return info;
}

const rtti::TRecordInfo& TSize::RecordInfo() {
    static const rtti::TRecordInfo& info = rtti::TRecordBuilder<TSize>("TSize", "Test")
        .Field("Width", &TSize::Width)
        .Field("Height", &TSize::Height)
        .Method("Area", &TSize::Area)
        .Method("Grow", &TSize::Grow, {"by"})
        .Build();
    return info;
}

std::string TGadget::Item(int32_t index) const {
    if (index < 0 || size_t(index) >= FItems.size()) throw platform::ERangeError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[size_t(index)];
}

void TGadget::SetItem(int32_t index, const std::string& value) {
    if (index < 0) throw platform::ERangeError("List index out of bounds (" + std::to_string(index) + ")");
    if (size_t(index) >= FItems.size()) FItems.resize(size_t(index) + 1);
    FItems[size_t(index)] = value;
}

TGadget* TGadget::MakeChild(const std::string& name) {
    delete FChild;
    FChild = new TGadget(name);
    return FChild;
}

rtti::TValue TGadget::GetProperty(const std::string& name) const {
    if (name == "File.ZIP") return rtti::TValue::Text("archive.zip");
    if (name == "Count") return rtti::TValue::Int(FCount);
    return rtti::TValue();
}

void TGadget::Fail() const { throw platform::EConvertError("gadget failed"); }

using SumOne = int32_t (TGadget::*)(int32_t) const;
using SumTwo = int32_t (TGadget::*)(int32_t, int32_t) const;

const rtti::TClassInfo& TGadget::ClassInfo() {
    static const rtti::TClassInfo& info = rtti::TClassBuilder<TGadget, rtti::TObject>("TGadget", "Test")
        .Field("FCount", &TGadget::FCount, rtti::mvPublic)
        .Field("FShade", &TGadget::FShade, rtti::mvPublic)
        .Field("FSecret", &TGadget::FRatio, rtti::mvPrivate)
        .Property("Name", &TGadget::Name, &TGadget::SetName, rtti::mvPublished)
        .Property("Ratio", &TGadget::Ratio, nullptr, rtti::mvPublic)
        .Property("Shade", &TGadget::FShade, &TGadget::FShade, rtti::mvPublished)
        .Property("Shades", &TGadget::FShades, &TGadget::FShades, rtti::mvPublic)
        .Property("Size", &TGadget::Size, &TGadget::SetSize, rtti::mvPublic)
        .Property("Child", &TGadget::Child, &TGadget::SetChild, rtti::mvPublished)
        .IndexedProperty("Items", &TGadget::Item, &TGadget::SetItem, {"Index"}, true)
        .IndexedProperty("Lengths", &TGadget::Length, nullptr, {rtti::Const("Key")})
        .Constructor<std::string>("Create", {rtti::Const("AName")})
        .Method("Sum", SumOne(&TGadget::Sum), {"a"})
        .Method("Sum", SumTwo(&TGadget::Sum), {"a", "b"})
        .Method("Swap", &TGadget::Swap, {rtti::Var("a"), rtti::Var("b")})
        .Method("Describe", &TGadget::Describe, {rtti::Out("text")})
        .Method("Concat", &TGadget::Concat, {rtti::Const("a"), rtti::Const("b")})
        .Method("NameOf", &TGadget::NameOf, {"other"})
        .Method("MakeChild", &TGadget::MakeChild, {rtti::Const("name")})
        .Method("ShadeOrdinal", &TGadget::ShadeOrdinal, {"shade"})
        .Method("ShadeBits", &TGadget::ShadeBits, {"shades"})
        .Method("Flip", &TGadget::Flip, {"value"})
        .Method("GetProperty", &TGadget::GetProperty, {rtti::Const("name")})
        .Method("Fail", &TGadget::Fail)
        .Method("Hidden", &TGadget::Fail, {}, rtti::mvProtected)
        .ClassMethod("Version", &TGadget::Version)
        .Build();
    return info;
}

const rtti::TClassInfo& TSuperGadget::ClassInfo() {
    static const rtti::TClassInfo& info = rtti::TClassBuilder<TSuperGadget, TGadget>("TSuperGadget", "Test")
        .Method("Sum", &TSuperGadget::Sum, {"a", "b"})
        .Build();
    return info;
}

const rtti::TClassInfo& TPlainThing::ClassInfo() {
    static const rtti::TClassInfo& info = rtti::TClassBuilder<TPlainThing, rtti::TObject>("TPlainThing", "Test")
        .Field("FValue", &TPlainThing::FValue)
        .Build();
    return info;
}

const rtti::TDescribeAtStartup<TGadget> kDescribeGadget;
const rtti::TDescribeAtStartup<TSuperGadget> kDescribeSuperGadget;
const rtti::TDescribeAtStartup<TPlainThing> kDescribePlainThing;

} // namespace vorn::engine::bindingtest
