#pragma once
// The four compile-time stacks on which code generators park values between the before
// and after handlers of nested grammar rules. A Null value is a delimiter; every other
// element knows its position since the last delimiter.

#include <array>
#include <memory>

#include "engine/vm/Variant.h"

namespace vorn::engine {

enum TStackType { stPendingOperators = 0, stIdentifierList = 1, stContext = 2, stTempVariables = 3 };
inline constexpr int StackTypeCount = 4;

// The stack's name as the empty-stack error prints it ("stContext").
const char* StackTypeName(TStackType stack);

struct TStackElement {
    std::unique_ptr<TStackElement> FBelow;
    Variant Element;
    int Index = 0;  // -1 for a delimiter; else 0, 1, 2... since the last delimiter
    TStackElement* Previous() const { return FBelow.get(); }
};

class TCompileStacks {
public:
    TCompileStacks() = default;
    TCompileStacks(const TCompileStacks&) = delete;
    TCompileStacks& operator=(const TCompileStacks&) = delete;
    ~TCompileStacks() { ClearAll(); }

    void Push(TStackType stack, const Variant& value);
    // The top element, nullptr when the stack is empty.
    TStackElement* Top(TStackType stack) const { return FTops[stack].get(); }
    // Removes the top element and returns its value; the stack must not be empty.
    Variant Pop(TStackType stack);
    void Clear(TStackType stack);
    void ClearAll();

private:
    std::array<std::unique_ptr<TStackElement>, StackTypeCount> FTops;
};

} // namespace vorn::engine
