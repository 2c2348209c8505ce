#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "engine/vm/ScriptValue.h"
#include "platform/Exceptions.h"

// The operators + - * / and the comparisons = < > over every pair of a set of values of
// mixed kinds, and negation of each, against tests/data/values/mixed_kinds.txt. Each
// line is "Left op Right => kind:text" (or "!Class:Message"); where a second variant
// implementation (Free Pascal's) gave another answer it follows after " | other: ".

namespace vorn::engine {
namespace {

Variant Named(const std::string& name) {
    static const std::map<std::string, Variant (*)()> values = {
        {"E", [] { return Variant(); }},
        {"N", [] { return Variant::Null(); }},
        {"S5", [] { return Variant::FromSmallint(5); }},
        {"I7", [] { return IntToScriptValue(7); }},
        {"IMax", [] { return IntToScriptValue(INT32_MAX); }},
        {"IMin", [] { return IntToScriptValue(INT32_MIN); }},
        {"L1e10", [] { return Int64ToScriptValue(10000000000); }},
        {"LMax", [] { return Int64ToScriptValue(INT64_MAX); }},
        {"UMax", [] { return UInt64ToScriptValue(UINT64_MAX); }},
        {"F1.5", [] { return Variant::FromSingle(1.5f); }},
        {"D2.5", [] { return DoubleToScriptValue(2.5); }},
        {"D0", [] { return DoubleToScriptValue(0); }},
        {"C1.25", [] { return Variant::FromCurrency(12500); }},
        {"T", [] { return BoolToScriptValue(true); }},
        {"F", [] { return BoolToScriptValue(false); }},
        {"B200", [] { return Variant::FromByte(200); }},
        {"U3", [] { return StringToScriptValue(u"3"); }},
        {"U2.5", [] { return StringToScriptValue(u"2.5"); }},
        {"Uabc", [] { return StringToScriptValue(u"abc"); }},
        {"A3", [] { return Variant::FromText(platform::UStringView(u"3"), varString); }},
        {"W4", [] { return Variant::FromText(platform::UStringView(u"4"), varOleStr); }},
        {"I0", [] { return IntToScriptValue(0); }},
    };
    auto it = values.find(name);
    if (it == values.end()) {
        ADD_FAILURE() << "unknown value " << name;
        return {};
    }
    return it->second();
}

std::string Outcome(const std::string& op, const Variant& l, const Variant& r) {
    try {
        Variant result;
        if (op == "+") result = ScriptValueAdd(l, r);
        else if (op == "-") result = ScriptValueSubtract(l, r);
        else if (op == "*") result = ScriptValueMultiply(l, r);
        else if (op == "/") result = ScriptValueDivide(l, r);
        else if (op == "=") result = BoolToScriptValue(ScriptValueEqual(l, r));
        else if (op == "<") result = BoolToScriptValue(ScriptValueLess(l, r));
        else if (op == ">") result = BoolToScriptValue(ScriptValueGreater(l, r));
        else if (op == "neg") result = ScriptValueNeg(l);
        else ADD_FAILURE() << "unknown operator " << op;
        return std::to_string(result.VType()) + ":" + VarToStrUtf8(result);
    } catch (const platform::Exception& e) {
        return std::string("!") + e.ClassName() + ":" + e.Message();
    }
}

TEST(MixedKinds, OperatorTable) {
    std::ifstream in(VORN_TEST_DATA "/values/mixed_kinds.txt");
    ASSERT_TRUE(in) << "missing test data";
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::string body = line.substr(0, line.find(" | "));
        size_t arrow = body.find(" => ");
        ASSERT_NE(arrow, std::string::npos) << line;
        std::istringstream operands(body.substr(0, arrow));
        std::string left, op, right;
        operands >> left >> op >> right;
        std::string expected = body.substr(arrow + 4);
        std::string actual = Outcome(op, Named(left), op == "neg" ? Variant() : Named(right));
        EXPECT_EQ(actual, expected) << line;
        ++checked;
    }
    EXPECT_GT(checked, 3000);
}

} // namespace
} // namespace vorn::engine
