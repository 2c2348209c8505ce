#pragma once
// A readable listing of an instruction list, one line per instruction: its position,
// the opcode's name and the operands that opcode uses. Compiler tests compare listings
// with golden files; the fuzz and benchmark programs use it to touch every instruction.

#include <string>

#include "engine/vm/SimplifiedCode.h"

namespace vorn::engine {

// The listing of the list starting at `first`; lines end with "\n".
std::string InstructionListing(const TSimplifiedCode* first);
// One instruction without its position.
std::string InstructionText(const TSimplifiedCode& inst);

} // namespace vorn::engine
