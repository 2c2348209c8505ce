#include "engine/compiler/ParserError.h"

namespace vorn::engine {

namespace {

constexpr const char* kMessageTexts[] = {
#define PARSER_MESSAGE(Id, Text) Text,
#include "engine/compiler/ParserMessages.def"
};

} // namespace

const char* ParserMessageText(TParserMessage id)
{
    return kMessageTexts[static_cast<int>(id)];
}

void RaiseParserError(TParserMessage id, std::string_view arg1, std::string_view arg2)
{
    std::string_view text = ParserMessageText(id);
    std::string message;
    std::string_view args[2] = {arg1, arg2};
    int next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && next < 2) {
            message += args[next++];
            ++i;
        } else {
            message += text[i];
        }
    }
    throw EParserError(std::move(message));
}

} // namespace vorn::engine
