#pragma once
// The grammar of the Pascal-like language: its text (one rule per line) and the numbers
// of its rules, which the code generators and the parse tree use to tell nodes apart.

#include <string_view>

namespace vorn::engine {

// reZUDERA_NOTERMINALS: rule numbers in line order.
enum TPascalRule : int {
#define VORN_PASCAL_RULE(Id, Number, Name) Id = Number,
#include "engine/languages/PascalRules.def"
};

inline constexpr int PascalRuleCount = 73;

extern const char* const reZUDERA_GRAMMAR;
std::string_view PascalGrammarText();
// The rule name that line `rule` of the grammar text declares ("" outside the table).
std::string_view PascalRuleName(int rule);

} // namespace vorn::engine
