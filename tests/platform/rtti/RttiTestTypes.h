#pragma once
// The described types the reflection tests use: a class pair, a record, an enumeration
// and a set, each described once next to its declaration.

#include "platform/rtti/Rtti.h"

namespace vorn::platform::rtti::test {

enum class TColor { clRed, clGreen, clBlue };
const TEnumInfo& DescribeEnum(TColor);
using TColors = TSet<TColor>;

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Sum() const { return X + Y; }
    static const TRecordInfo& RecordInfo();
};

class TPerson : public TObject {
public:
    TPerson() = default;
    explicit TPerson(std::string name) : FName(std::move(name)) {}

    std::string FName;
    int32_t FAge = 0;
    Nullable<double> FHeight;
    TColor FColor = TColor::clRed;
    TColors FColors;
    TPoint FHome;
    double FBorn = 0;
    TPerson* FFriend = nullptr;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& value) { FName = value; }
    int32_t Age() const { return FAge; }
    void SetAge(int32_t value) { FAge = value; }
    std::string Greet(const std::string& who, int32_t times) const;
    void Swap(int32_t& a, int32_t& b) { std::swap(a, b); }
    void Fill(std::string& text, double& number) { text = FName; number = 2.5; }
    int64_t Add(int64_t a, int64_t b) { return a + b; }
    double Scale(double value) const { return value * 2; }
    TPerson* Friend() const { return FFriend; }
    void SetFriend(TPerson* value) { FFriend = value; }
    std::string Item(int32_t index) const { return FName + "#" + std::to_string(index); }
    void SetItem(int32_t index, const std::string& value) { FName = value + std::to_string(index); }
    static int32_t Twice(int32_t v) { return v * 2; }

    static const TClassInfo& ClassInfo();
};

class TEmployee : public TPerson {
public:
    std::string FCompany;
    bool FActive = false;
    std::string Company() const { return FCompany; }
    static const TClassInfo& ClassInfo();
};

// A class known to the tests only by its C++ type: never described.
class TUndescribed : public TObject {};

} // namespace vorn::platform::rtti::test
