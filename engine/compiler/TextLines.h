#pragma once
// Line lists as the engine keeps source and grammar texts: splitting a text into lines,
// joining them back (each line followed by CR LF), and turning a character offset into
// a row and column. Offsets and columns count UTF-16 code units, as scripts do.

#include <string>
#include <string_view>
#include <vector>

#include "platform/Unicode.h"

namespace vorn::engine {

// Splits at CR LF, CR or LF; a final line break adds no line, an empty text has none.
std::vector<std::string> SplitLines(std::string_view text);
// Joins the lines, each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// Turns a 0-based offset into the joined text of lines into a 1-based row and column.
// An offset on a line break gives the line's last column (0 on an empty line); one at
// or beyond the end gives the row after the last line, column 1; a negative one counts as 0.
void GetRowColFromStrings(const std::vector<std::string>& lines, int offset, int& row, int& col);
void GetRowColFromStrings(const std::vector<platform::UString>& lines, int offset, int& row, int& col);

} // namespace vorn::engine
