#pragma once
// The host types the binding tests register: a gadget class covering every member kind
// (overloads, var parameters, read/write, indexed and default properties, a record, an
// enumeration and a set, fields, class methods, constructors), a descendant, and a
// factory-created class without a declared constructor.

#include <string>
#include <vector>

#include "platform/rtti/Rtti.h"

namespace vorn::engine::bindingtest {

enum class TShade { shLight, shDark, shDeep };
const platform::rtti::TEnumInfo& DescribeEnum(TShade);
using TShades = platform::rtti::TSet<TShade>;

struct TSize {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Area() const { return Width * Height; }
    void Grow(int32_t by) { Width += by; Height += by; }
    static const platform::rtti::TRecordInfo& RecordInfo();
};

class TGadget : public platform::rtti::TObject {
public:
    TGadget() = default;
    explicit TGadget(std::string name) : FName(std::move(name)) {}

    std::string FName;
    int32_t FCount = 0;
    double FRatio = 0.5;
    TShade FShade = TShade::shLight;
    TShades FShades;
    TSize FSize;
    std::vector<std::string> FItems{"zero", "one", "two"};
    TGadget* FChild = nullptr;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& value) { FName = value; }
    double Ratio() const { return FRatio; }
    TSize Size() const { return FSize; }
    void SetSize(TSize value) { FSize = value; }
    TGadget* Child() const { return FChild; }
    void SetChild(TGadget* value) { FChild = value; }
    std::string Item(int32_t index) const;
    void SetItem(int32_t index, const std::string& value);
    int32_t Length(const std::string& key) const { return int32_t(key.size()); }

    int32_t Sum(int32_t a) const { return a + 1000; }
    int32_t Sum(int32_t a, int32_t b) const { return a + b; }
    void Swap(int32_t& a, int32_t& b) const { std::swap(a, b); }
    void Describe(std::string& text) const { text = "gadget " + FName; }
    std::string Concat(const std::string& a, const std::string& b) const { return a + b; }
    std::string NameOf(TGadget* other) const { return other ? other->FName : "nil"; }
    TGadget* MakeChild(const std::string& name);
    int32_t ShadeOrdinal(TShade shade) const { return int32_t(shade); }
    int32_t ShadeBits(TShades shades) const { return int32_t(shades.Bits()); }
    bool Flip(bool value) const { return !value; }
    platform::rtti::TValue GetProperty(const std::string& name) const;
    void Fail() const;
    static int32_t Version() { return 7; }

    static const platform::rtti::TClassInfo& ClassInfo();
};

// A descendant with an own overload of the same arity as its parent's.
class TSuperGadget : public TGadget {
public:
    int32_t Sum(int32_t a, int32_t b) const { return a * b; }
    static const platform::rtti::TClassInfo& ClassInfo();
};

// No declared constructor: scripts create it through the registered factory.
class TPlainThing : public platform::rtti::TObject {
public:
    int32_t FValue = 3;
    static const platform::rtti::TClassInfo& ClassInfo();
};

} // namespace vorn::engine::bindingtest
