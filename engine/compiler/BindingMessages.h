#pragma once
// The fixed texts of the host binding and compiled images, declared in BindingMessages.def.

#include <string>
#include <string_view>

namespace vorn::engine {

enum class TBindingMessage {
#define VORN_BINDING_MESSAGE(Id, Text) Id,
#include "engine/compiler/BindingMessages.def"
};

// The text with each '%s' replaced by the next argument.
std::string BindingMessage(TBindingMessage id, std::string_view arg1 = {}, std::string_view arg2 = {});

} // namespace vorn::engine
