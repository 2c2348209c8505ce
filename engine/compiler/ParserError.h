#pragma once
// The exception of grammar faults and of misuse of the syntax parser, with its fixed
// texts declared once in ParserMessages.def.

#include <string>
#include <string_view>

#include "platform/Exceptions.h"

namespace vorn::engine {

class EParserError : public platform::Exception {
public:
    explicit EParserError(std::string message) : Exception(std::move(message)) {}
    const char* ClassName() const noexcept override { return "EParserError"; }
};

enum class TParserMessage {
#define PARSER_MESSAGE(Id, Text) Id,
#include "engine/compiler/ParserMessages.def"
};

// The fixed text of a message, before its '%s' are filled in.
const char* ParserMessageText(TParserMessage id);
// Raises EParserError with the message's text, each '%s' replaced by the next argument.
[[noreturn]] void RaiseParserError(TParserMessage id, std::string_view arg1 = {}, std::string_view arg2 = {});

} // namespace vorn::engine
