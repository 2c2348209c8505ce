#pragma once
// A small assembler for machine tests: one instruction per line, the opcode name without
// its "in" prefix, then operands. A bare number is vInteger; key=value sets a field:
// b (vByte), i1, i2, i3, v (valueInt64), d (vDouble), s (vString, up to the line's end
// or the next blank when quoted 'like this'), ss (vString2), ref (vSave2), pos (row:col).
// Lines are numbered from 0 in list order, which is what jump operands refer to.

#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>

#include "engine/vm/SimplifiedCode.h"

namespace vorn::engine::test {

inline TInstruction OpcodeByName(const std::string& name) {
    for (int k = 0; k < InstructionCount; ++k) {
        std::string full = InstructionName(TInstruction(k));
        if (full == "in" + name) return TInstruction(k);
    }
    throw std::runtime_error("unknown opcode " + name);
}

inline void SetOperand(TSimplifiedCode* i, const std::string& key, const std::string& value) {
    if (key == "b") i->vByte = uint8_t(std::stoi(value));
    else if (key == "i1") i->vInteger1 = std::stoi(value);
    else if (key == "i2") i->vInteger2 = std::stoi(value);
    else if (key == "i3") i->vInteger3 = std::stoi(value);
    else if (key == "v") i->valueInt64 = std::stoll(value);
    else if (key == "d") i->vDouble = std::stod(value);
    else if (key == "s") i->vString = ScriptText::FromUtf8(value);
    else if (key == "ss") i->vString2 = ScriptText::FromUtf8(value);
    else if (key == "ref") i->vSave2 = std::stoi(value);
    else if (key == "pos") {
        size_t colon = value.find(':');
        i->vDebugInfo = PackSourcePosition(std::stoi(value.substr(0, colon)), std::stoi(value.substr(colon + 1)));
    } else throw std::runtime_error("unknown operand " + key);
}

// Appends the instructions of `text` to `list`.
inline void Assemble(TSimplifiedCodeList& list, const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string op;
        if (!(words >> op) || op[0] == '#') continue;
        TSimplifiedCode* i = list.Append(OpcodeByName(op));
        if (i->OpCode == inCallProc || i->OpCode == inCallClassProc) i->vInteger = -1;
        std::string word;
        while (words >> word) {
            size_t eq = word.find('=');
            if (eq == std::string::npos) {
                i->vInteger = std::stoi(word);
                continue;
            }
            std::string key = word.substr(0, eq), value = word.substr(eq + 1);
            if (!value.empty() && value[0] == '\'') {
                value = value.substr(1);
                while (value.empty() || value.back() != '\'') {
                    std::string more;
                    if (!(words >> more)) break;
                    value += " " + more;
                }
                if (!value.empty() && value.back() == '\'') value.pop_back();
            }
            SetOperand(i, key, value);
        }
    }
}

} // namespace vorn::engine::test
