#pragma once
// The Math library (`TatMathLibrary`): numeric routines (trigonometry, logarithms and
// powers, rounding, tolerant comparisons, integer helpers, financial functions, tests of
// a value's kind) and named constants. One instance per scripter; no state.

#include <string>

#include "engine/compiler/ScriptLibrary.h"

namespace vorn::engine {

class TatMathLibrary : public TatScripterLibrary {
public:
    static constexpr const char* LibraryClassName = "TatMathLibrary";
    static std::string LibraryName() { return "Math"; }

    explicit TatMathLibrary(TatCustomScripter* scripter) : TatScripterLibrary(scripter) {}
    void Init() override;
    static const platform::rtti::TClassInfo& ClassInfo();
};

} // namespace vorn::engine
