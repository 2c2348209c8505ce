#pragma once
// The compiled image of a script: its instruction list, symbol table, used units and the
// classes the compiler registered on demand, written to bytes and read back without the
// source. Script-based objects and loaded unit files run on scripts read from an image.

#include <cstddef>
#include <string>
#include <string_view>

namespace vorn::engine {

class TatScript;

class TatCompiledImage {
public:
    static constexpr int Version = 4;
    static constexpr size_t HeaderSize = 92;
    static constexpr size_t InstructionRecordSize = 40;

    // Writes the image of `script` into `stream`, replacing what it held; the script's
    // source positions are packed first. Any failure is the internal error
    // "Unable to write stream (%s)".
    static void Save(TatScript& script, std::string& stream);

    // Reads the image in `stream` into `script` (cleared first), resolves its implicit
    // classes, loads its used units and leaves it compiled but not linked. Every length, count and opcode is checked: a bad, truncated or damaged
    // image is an internal error and leaves the script cleared and not compiled. A running
    // machine is the fatal error "Cannot load code from stream while script is running.".
    static void Load(TatScript& script, std::string_view stream, bool registerClass);

private:
    static void DiscardLoaded(TatScript& script) noexcept;
};

} // namespace vorn::engine
