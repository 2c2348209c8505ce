#pragma once
// The element of a member chain while it is resolved and compiled: its context, the
// nodes it came from, what the name turned out to be and the default property that
// takes its indexes. Shared by the resolution and the code of elements only.

#include "engine/languages/ScriptLanguageBase.h"

namespace vorn::engine {

// Instance index: -1 the object is on the stack, i >= 0 the scripter's default
// instance i, -(i + 2) the script's own default instance i.
struct TatScriptLanguageBase::TElement {
    TElementContext C;
    TNoTerminalNode* CodeNode = nullptr;
    TNoTerminalNode* ElementNode = nullptr;
    TNoTerminalNode* ArgList = nullptr;
    TElementType Kind = etUnknown;
    TatVariableInfo* Variable = nullptr;
    TatRoutineInfo* Routine = nullptr;
    TatProperty* Property = nullptr;
    TatMethod* Method = nullptr;
    int ClassIndex = -1;
    int Instance = -1;
    TatProperty* DefaultProperty = nullptr;
};

} // namespace vorn::engine
