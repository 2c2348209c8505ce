#include "engine/compiler/CompilerMessages.h"

#include <array>

namespace vorn::engine {

namespace {

constexpr const char* MessageTexts[] = {
#define VORN_COMPILER_MESSAGE(Id, Text) Text,
#include "engine/compiler/CompilerMessages.def"
};

} // namespace

std::string CompilerMessage(TCompilerMessage id, std::string_view arg1, std::string_view arg2, std::string_view arg3) {
    const std::array<std::string_view, 3> args{arg1, arg2, arg3};
    std::string_view text = MessageTexts[static_cast<size_t>(id)];
    std::string result;
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (next < args.size()) result += args[next++];
            ++i;
            continue;
        }
        result += text[i];
    }
    return result;
}

} // namespace vorn::engine
