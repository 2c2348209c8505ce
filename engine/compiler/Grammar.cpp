#include "engine/compiler/Grammar.h"

#include <unordered_map>

#include "engine/compiler/CompiledSyntax.h"
#include "engine/compiler/ParserError.h"
#include "platform/CaseFolding.h"
#include "platform/Unicode.h"

namespace vorn::engine {

namespace {

// The part of text from 1-based index, count characters long, clipped like the
// platform's Copy: an index below 1 counts from 1, a count of 0 or less gives nothing.
std::string CopyText(std::string_view text, long index, long count)
{
    if (index < 1)
        index = 1;
    if (count <= 0 || index > static_cast<long>(text.size()))
        return {};
    return std::string(text.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count)));
}

long FirstPos(std::string_view text, char c)
{
    size_t i = text.find(c);
    return i == std::string_view::npos ? 0 : static_cast<long>(i) + 1;
}

struct TRewrite {
    std::string Syntax;
    std::string UndefinedName;  // first referenced name that no rule has
    bool Undefined = false;
};

// Rewrites every rule reference of a syntax text to its rule number; double-quoted
// literals are copied as they are, also inside an unclosed reference.
TRewrite RewriteReferences(std::string_view syntax, const std::unordered_map<std::string, int>& rules)
{
    TRewrite result;
    bool inLiteral = false, inReference = false;
    std::string name;
    for (char c : syntax) {
        if (c == '"') {
            inLiteral = !inLiteral;
            result.Syntax += c;
        } else if (inLiteral) {
            result.Syntax += c;
        } else if (c == '<') {
            inReference = true;
            name.clear();
        } else if (c == '>') {
            auto found = rules.find(platform::UnicodeLowerCase(name));
            if (found == rules.end() && !result.Undefined) {
                result.Undefined = true;
                result.UndefinedName = name;
            }
            result.Syntax += '<' + std::to_string(found == rules.end() ? -1 : found->second) + '>';
            inReference = false;
            name.clear();
        } else if (inReference) {
            name += c;
        } else {
            result.Syntax += c;
        }
    }
    return result;
}

} // namespace

bool IsSameText(std::string_view a, std::string_view b)
{
    return platform::UnicodeLowerCase(a) == platform::UnicodeLowerCase(b);
}

TNoTerminal::TNoTerminal(TNoTerminals* owner, std::string AIdS, std::string ASyntax)
    : FNoTerminals(owner), FIdS(std::move(AIdS)), FSyntaxText(ASyntax)
{
    SetSyntax(std::move(ASyntax));
}

TNoTerminal::~TNoTerminal() = default;

void TNoTerminal::SetSyntax(std::string ASyntax)
{
    FSyntax = std::move(ASyntax);
    FCompiled = std::make_unique<TCompiledSyntax>(platform::Utf8ToUtf16(FSyntax));
}

void TNoTerminal::AssignNodeScanningEvents(TNodeScanProc AOnBeforeNodeScan, TNodeScanProc AOnAfterNodeScan)
{
    FOnBeforeNodeScan = std::move(AOnBeforeNodeScan);
    FOnAfterNodeScan = std::move(AOnAfterNodeScan);
}

TNoTerminals::TNoTerminals() = default;
TNoTerminals::~TNoTerminals() = default;

TNoTerminal* TNoTerminals::Add(std::string AIdS, std::string ASyntax)
{
    FItems.push_back(std::make_unique<TNoTerminal>(this, std::move(AIdS), std::move(ASyntax)));
    return FItems.back().get();
}

int TNoTerminals::IndexOf(std::string_view IdS) const
{
    const std::string wanted = platform::UnicodeLowerCase(IdS);
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (platform::UnicodeLowerCase(FItems[i]->IdS()) == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

void TNoTerminals::Delete(int i)
{
    if (i < 0 || i >= Count())
        return;
    FItems.erase(FItems.begin() + i);
}

// Each line is "<name>flags:syntax"; the rule number is the line number, so every
// line (an empty one too) becomes a rule.
void TNoTerminals::LoadFromStrings(const std::vector<std::string>& lines)
{
    Clear();
    std::unordered_map<std::string, int> numbers;
    std::vector<std::string> syntaxes;
    for (const std::string& line : lines) {
        const long a = FirstPos(line, '<'), b = FirstPos(line, '>'), c = FirstPos(line, ':');
        std::string name = CopyText(line, a + 1, b - a - 1);
        numbers.emplace(platform::UnicodeLowerCase(name), Count());
        TNoTerminal* rule = Add(std::move(name), {});
        rule->SetReverseScanning(CopyText(line, b + 1, c - b - 1).find('R') != std::string::npos);
        syntaxes.push_back(CopyText(line, c + 1, static_cast<long>(line.size())));
    }
    for (size_t i = 0; i < FItems.size(); ++i) {
        TRewrite rewrite = RewriteReferences(syntaxes[i], numbers);
        if (rewrite.Undefined) {
            const std::string ruleName = FItems[i]->IdS();
            Clear();
            RaiseParserError(TParserMessage::pmUndefinedRule, rewrite.UndefinedName, ruleName);
        }
        FItems[i]->SetSyntaxText(std::move(syntaxes[i]));
        FItems[i]->SetSyntax(std::move(rewrite.Syntax));
    }
}

} // namespace vorn::engine
