// The scripter's stored compiled code ("PCode"): the current script's image framed by its
// length, so a host can keep compiled code with its settings and load it without the source.

#include <cstdint>

#include "engine/compiler/BindingMessages.h"
#include "engine/compiler/Script.h"
#include "engine/compiler/Scripter.h"
#include "engine/vm/EngineErrors.h"

namespace vorn::engine {

void TatCustomScripter::WritePCode(std::string& stream) {
    TatScript* script = CurrentScript();
    if (!script) return;
    if (!script->Compiled()) script->Compile();
    FPCode.clear();
    script->SaveCodeToStream(FPCode);
    const uint32_t length = static_cast<uint32_t>(FPCode.size());
    for (int i = 0; i < 4; ++i) stream.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
    stream += FPCode;
}

// A length that is negative or runs past the stream's end is a damaged stream: the script
// is left as it was and nothing is kept.
void TatCustomScripter::ReadPCode(std::string_view stream, size_t& position) {
    if (position > stream.size() || stream.size() - position < 4)
        InternalError(BindingMessage(TBindingMessage::bmUnableToRead, "the compiled code length is missing"));
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i) length |= uint32_t(static_cast<unsigned char>(stream[position + i])) << (8 * i);
    if (static_cast<int32_t>(length) < 0 || stream.size() - position - 4 < length)
        InternalError(BindingMessage(TBindingMessage::bmUnableToRead, "the compiled code is truncated"));
    const std::string image(stream.substr(position + 4, length));
    TatScript* script = CurrentScript();
    if (!script) return;
    script->LoadCodeFromStream(image);
    FPCode = image;
    position += 4 + length;
}

} // namespace vorn::engine
