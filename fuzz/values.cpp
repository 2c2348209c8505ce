// Reads its input as a little program over eight value registers: constructions,
// operators, comparisons, conversions, array writes and references. Engine and runtime
// exceptions are expected outcomes; crashes, leaks and undefined behaviour are not.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "engine/vm/ScriptValue.h"
#include "platform/Exceptions.h"

using namespace vorn::engine;

namespace {

constexpr int RegisterCount = 8;

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
    bool AtEnd() const { return FPos >= FSize; }
    uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }
    template <class T>
    T Raw() {
        T value{};
        size_t n = std::min(sizeof(T), FSize - std::min(FPos, FSize));
        if (n) std::memcpy(&value, FData + FPos, n);
        FPos += n;
        return value;
    }
    int Reg() { return Byte() % RegisterCount; }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

Variant Construct(Reader& in, Variant* regs) {
    switch (in.Byte() % 16) {
    case 0: return Variant();
    case 1: return Variant::Null();
    case 2: return IntToScriptValue(in.Raw<int32_t>());
    case 3: return Int64ToScriptValue(in.Raw<int64_t>());
    case 4: return UInt64ToScriptValue(in.Raw<uint64_t>());
    case 5: return DoubleToScriptValue(in.Raw<double>());
    case 6: return Variant::FromSingle(in.Raw<float>());
    case 7: return Variant::FromCurrency(in.Raw<int64_t>());
    case 8: return Variant::FromDate(in.Raw<double>());
    case 9: return BoolToScriptValue(in.Byte() & 1);
    case 10: return Variant::FromByte(in.Byte());
    case 11: return Variant::FromSmallint(in.Raw<int16_t>());
    case 12: {
        size_t length = in.Byte() % 24;
        vorn::platform::UString text;
        for (size_t i = 0; i < length; ++i) {
            uint8_t unit = in.Byte();
            // Mostly ASCII (digits, signs, commas make numbers), sometimes any UTF-16 unit.
            text += unit < 0xC0 ? char16_t(unit % 0x80) : char16_t(in.Raw<uint16_t>());
        }
        TVarType kinds[] = {varUString, varString, varOleStr};
        return Variant::FromText(vorn::platform::UStringView(text), kinds[in.Byte() % 3]);
    }
    case 13: return ScriptInitArray(IntToScriptValue(in.Byte() % 16));
    case 14: {
        Variant ref;
        CreateReferenceValue(ref, regs[in.Reg()]);
        return ref;
    }
    default: return regs[in.Reg()];
    }
}

Variant Operate(uint8_t op, const Variant& a, const Variant& b) {
    switch (op % 21) {
    case 0: return ScriptValueAdd(a, b);
    case 1: return ScriptValueSubtract(a, b);
    case 2: return ScriptValueMultiply(a, b);
    case 3: return ScriptValueDivide(a, b);
    case 4: return ScriptValueConcat(a, b);
    case 5: return ScriptValueExp(a, b);
    case 6: return ScriptValueOr(a, b);
    case 7: return ScriptValueXor(a, b);
    case 8: return ScriptValueAnd(a, b);
    case 9: return ScriptValueShl(a, b);
    case 10: return ScriptValueShr(a, b);
    case 11: return ScriptValueDiv(a, b);
    case 12: return ScriptValueMod(a, b);
    case 13: return ScriptValueNeg(a);
    case 14: return ScriptValueNot(a);
    case 15: return BoolToScriptValue(ScriptValueEqual(a, b));
    case 16: return BoolToScriptValue(ScriptValueLess(a, b));
    case 17: return BoolToScriptValue(ScriptValueGreaterOrEqual(a, b));
    case 18: return BoolToScriptValue(ScriptValueLessOrEqual(a, b));
    case 19: return BoolToScriptValue(ScriptValueGreater(a, b));
    default: return DerefValue(a);
    }
}

constexpr std::string_view Names[] = {"alpha", "Beta", "gamma"};

void Convert(uint8_t op, const Variant& v) {
    const TEnumTypeNames type{Names};
    switch (op % 16) {
    case 0: (void)VarToInteger(v); break;
    case 1: (void)VarToInt64(v); break;
    case 2: (void)VarToUInt64(v); break;
    case 3: (void)VarToFloat(v); break;
    case 4: (void)VarToChar(v); break;
    case 5: (void)VarToWideChar(v); break;
    case 6: (void)VarToEnumOrdinal(v, type); break;
    case 7: (void)VarToSet(v, (op & 0x80) ? &type : nullptr); break;
    case 8: (void)VarToStr(v); break;
    case 9: (void)VarContent(v); break;
    case 10: (void)ScriptValueAsBool(v); break;
    case 11: (void)ScriptValueAsInt64(v); break;
    case 12: (void)ScriptValueLength(v); break;
    case 13: (void)StrVal(VarToStr(v).View()); break;
    case 14: (void)ScriptArrayHigh(v); break;
    default: (void)ScriptValueAsUInt64(v); break;
    }
}

bool LongText(const Variant& v) { return VariantIsString(v) && DerefPValue(v).RawText().size() > 4096; }

void Step(Reader& in, Variant* regs) {
    uint8_t action = in.Byte();
    switch (action % 5) {
    case 0: {
        int dest = in.Reg();
        Variant value = Construct(in, regs);
        regs[dest] = std::move(value);
        break;
    }
    case 1: {
        uint8_t op = in.Byte();
        int a = in.Reg(), b = in.Reg(), dest = in.Reg();
        // Texts that doubled themselves many times only cost memory and time.
        if (LongText(regs[a]) || LongText(regs[b])) break;
        regs[dest] = Operate(op, regs[a], regs[b]);
        break;
    }
    case 2: Convert(in.Byte(), regs[in.Reg()]); break;
    case 3: {
        int array = in.Reg(), source = in.Reg();
        uint8_t index = in.Byte();
        Variant& target = DerefPValue(regs[array]);
        if (!target.IsArray() || target.ArrayItems().empty()) break;
        Variant element = regs[source];
        // References into registers only: an array element's address moves when the
        // array is copied on write, so no reference is ever stored in one.
        if (IsReference(element)) element = DerefValue(element);
        target.MutableArrayItems()[index % target.ArrayItems().size()] = std::move(element);
        break;
    }
    default: SetRefValue(regs[in.Reg()], regs[in.Reg()]); break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    Variant regs[RegisterCount];
    while (!in.AtEnd()) {
        try {
            Step(in, regs);
        } catch (const vorn::platform::Exception&) {
            // Conversion, overflow and operation errors are valid outcomes.
        }
    }
    return 0;
}
