#include "engine/compiler/BindingMessages.h"

namespace vorn::engine {

std::string BindingMessage(TBindingMessage id, std::string_view arg1, std::string_view arg2) {
    static const char* const texts[] = {
#define VORN_BINDING_MESSAGE(Id, Text) Text,
#include "engine/compiler/BindingMessages.def"
    };
    std::string_view text = texts[static_cast<int>(id)];
    std::string_view args[] = {arg1, arg2};
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && next < 2) {
            out += args[next++];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace vorn::engine
