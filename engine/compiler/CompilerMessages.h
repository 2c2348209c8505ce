#pragma once
// The fixed message texts of the scripter, its scripts and the code emission back end,
// declared once in CompilerMessages.def, and the one function that fills them in.

#include <string>
#include <string_view>

namespace vorn::engine {

enum class TCompilerMessage {
#define VORN_COMPILER_MESSAGE(Id, Text) Id,
#include "engine/compiler/CompilerMessages.def"
};

// The message's text with each '%s' replaced by the next argument (missing ones: empty).
std::string CompilerMessage(TCompilerMessage id, std::string_view arg1 = {}, std::string_view arg2 = {},
                            std::string_view arg3 = {});

} // namespace vorn::engine
