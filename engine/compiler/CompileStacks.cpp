#include "engine/compiler/CompileStacks.h"

#include <cassert>
#include <utility>

#include "engine/vm/ScriptValue.h"

namespace vorn::engine {

const char* StackTypeName(TStackType stack) {
    switch (stack) {
    case stPendingOperators: return "stPendingOperators";
    case stIdentifierList: return "stIdentifierList";
    case stContext: return "stContext";
    case stTempVariables: return "stTempVariables";
    }
    return "";
}

void TCompileStacks::Push(TStackType stack, const Variant& value) {
    auto element = std::make_unique<TStackElement>();
    element->Element = value;
    if (ScriptValueIsNull(value))
        element->Index = -1;
    else
        element->Index = FTops[stack] ? FTops[stack]->Index + 1 : 0;
    element->FBelow = std::move(FTops[stack]);
    FTops[stack] = std::move(element);
}

Variant TCompileStacks::Pop(TStackType stack) {
    assert(FTops[stack]);
    std::unique_ptr<TStackElement> top = std::move(FTops[stack]);
    FTops[stack] = std::move(top->FBelow);
    return std::move(top->Element);
}

// Pops one by one: destroying a long chain through its owners would recurse per element.
void TCompileStacks::Clear(TStackType stack) {
    while (FTops[stack]) FTops[stack] = std::move(FTops[stack]->FBelow);
}

void TCompileStacks::ClearAll() {
    for (int s = 0; s < StackTypeCount; ++s) Clear(static_cast<TStackType>(s));
}

} // namespace vorn::engine
