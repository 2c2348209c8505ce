#include "engine/compiler/TextLines.h"

#include <algorithm>

namespace vorn::engine {

namespace {

// Walks lines of the given UTF-16 lengths; each line break counts two characters.
void RowColFromLengths(const std::vector<long>& lengths, long offset, int& row, int& col)
{
    if (offset < 0)
        offset = 0;
    long total = 0;
    for (long length : lengths)
        total += length + 2;
    if (offset >= total) {
        row = static_cast<int>(lengths.size()) + 1;
        col = 1;
        return;
    }
    long lineStart = 0;
    for (size_t i = 0; i < lengths.size(); ++i) {
        const long lineEnd = lineStart + lengths[i] - 1;
        if (offset >= lineStart && offset <= lineEnd + 2) {
            row = static_cast<int>(i) + 1;
            col = static_cast<int>(std::min(offset - lineStart + 1, lengths[i]));
            return;
        }
        lineStart = lineEnd + 1 + 2;
    }
}

} // namespace

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void GetRowColFromStrings(const std::vector<std::string>& lines, int offset, int& row, int& col)
{
    std::vector<long> lengths;
    lengths.reserve(lines.size());
    for (const std::string& line : lines)
        lengths.push_back(static_cast<long>(platform::Utf8ToUtf16(line).size()));
    RowColFromLengths(lengths, offset, row, col);
}

void GetRowColFromStrings(const std::vector<platform::UString>& lines, int offset, int& row, int& col)
{
    std::vector<long> lengths;
    lengths.reserve(lines.size());
    for (const platform::UString& line : lines)
        lengths.push_back(static_cast<long>(line.size()));
    RowColFromLengths(lengths, offset, row, col);
}

} // namespace vorn::engine
