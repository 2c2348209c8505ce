#include "engine/compiler/CompiledSyntax.h"

#include "platform/CaseFolding.h"
#include "platform/Unicode.h"

namespace vorn::engine {

namespace {

constexpr size_t npos = std::u16string_view::npos;

// Index of the character that closes the group opened at text[open], counting only the
// same pair of brackets outside double-quoted literals; npos when it is never closed.
size_t FindGroupEnd(std::u16string_view text, size_t open, char16_t opening, char16_t closing)
{
    int depth = 0;
    bool inLiteral = false;
    for (size_t i = open; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'"') {
            inLiteral = !inLiteral;
        } else if (!inLiteral && c == opening) {
            ++depth;
        } else if (!inLiteral && c == closing && --depth == 0) {
            return i;
        }
    }
    return npos;
}

char16_t ClosingOf(char16_t opening)
{
    switch (opening) {
    case u'[': return u']';
    case u'(': return u')';
    case u'{': return u'}';
    default: return u'>';
    }
}

TTokenType GroupKind(char16_t opening)
{
    switch (opening) {
    case u'[': return ttOptional;
    case u'(': return ttReplicate;
    case u'{': return ttAchoice;
    default: return ttNoTerminal;
    }
}

void SetFault(TSyntaxElement& e, TParserMessage message)
{
    e.Fault = true;
    e.FaultMessage = message;
}

// The rule number written between angle brackets, -1 when the text is not a number.
int ParseRuleNumber(std::u16string_view text)
{
    if (text.empty() || text.size() > 9)
        return -1;
    int value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

TCompiledSyntax::TCompiledSyntax(std::u16string_view syntax)
{
    CompileSequence(syntax, false, 0);
}

std::vector<int> TCompiledSyntax::ReferencedRules() const
{
    std::vector<int> rules;
    for (const TSyntaxElement& e : FElements) {
        if (e.Kind == ttNoTerminal && !e.Fault)
            rules.push_back(e.Rule);
    }
    return rules;
}

// Compiles one sequence; its elements are stored contiguously after those of its groups.
int TCompiledSyntax::CompileSequence(std::u16string_view text, bool literal, int depth)
{
    const int index = static_cast<int>(FSequences.size());
    FSequences.emplace_back();
    std::vector<TSyntaxElement> elements;
    size_t i = 0;
    while (i < text.size()) {
        TSyntaxElement e;
        e.SyntaxStart = static_cast<int>(i) + 1;
        if (literal) {
            e.Kind = ttCharacter;
            e.Char = text[i];
            e.Folded = platform::AsciiUpperChar(text[i]);
            ++i;
        } else {
            i = CompileElement(text, i, depth, e);
        }
        e.SyntaxEnd = (i == npos ? static_cast<int>(text.size()) : static_cast<int>(i)) + 1;
        elements.push_back(e);
        if (e.Fault)
            break;  // a parse never gets past a fault
    }
    TSyntaxSequence& sequence = FSequences[static_cast<size_t>(index)];
    sequence.First = static_cast<int>(FElements.size());
    sequence.Count = static_cast<int>(elements.size());
    sequence.TextLength = static_cast<int>(text.size());
    sequence.Literal = literal;
    FElements.insert(FElements.end(), elements.begin(), elements.end());
    return index;
}

// Reads the element starting at text[i] into e (the first character decides its kind).
size_t TCompiledSyntax::CompileElement(std::u16string_view text, size_t i, int depth, TSyntaxElement& e)
{
    const char16_t c = text[i];
    switch (c) {
    case u'[': case u'(': case u'{': case u'<': {
        e.Kind = GroupKind(c);
        const size_t end = FindGroupEnd(text, i, c, ClosingOf(c));
        if (end == npos) {
            SetFault(e, TParserMessage::pmSubexpressionNotTerminated);
            return npos;
        }
        if (depth >= MaxNesting) {
            SetFault(e, TParserMessage::pmSubexpressionTooDeep);
            return npos;
        }
        CompileGroup(text.substr(i + 1, end - i - 1), depth + 1, e);
        return e.Fault ? npos : end + 1;
    }
    case u'"': {
        e.Kind = ttLiterate;
        const size_t end = text.find(u'"', i + 1);
        if (end == npos) {
            SetFault(e, TParserMessage::pmLiteralNotTerminated);
            return npos;
        }
        e.Sequence = CompileSequence(text.substr(i + 1, end - i - 1), true, depth + 1);
        return end + 1;
    }
    case u'#': e.Kind = ttNumeric; return i + 1;
    case u'@': e.Kind = ttAlfabetic; return i + 1;
    case u'~': e.Kind = ttSpecial; return i + 1;
    case u'$': e.Kind = ttString; return i + 1;
    case u'%': e.Kind = ttAnything; return i + 1;
    case u' ':
        e.Kind = ttSpaces;
        if (i + 1 < text.size() && text[i + 1] == u'\\') { e.Kind = ttLineFeed; return i + 2; }
        if (i + 1 < text.size() && text[i + 1] == u'^') { e.Kind = ttSameLine; return i + 2; }
        return i + 1;
    case u'&':
        e.Kind = ttCustom;
        if (i + 1 < text.size() && text[i + 1] >= u'0' && text[i + 1] <= u'9') {
            e.Lexeme = static_cast<std::int8_t>(text[i + 1] - u'0');
            return i + 2;
        }
        return i + 1;
    default:
        e.Kind = ttCharacter;
        e.Char = c;
        e.Folded = platform::AsciiUpperChar(c);
        return i + 1;
    }
}

// Compiles the content of a bracketed element (without its brackets).
void TCompiledSyntax::CompileGroup(std::u16string_view content, int depth, TSyntaxElement& e)
{
    if (e.Kind == ttNoTerminal) {
        e.Rule = ParseRuleNumber(content);
        if (e.Rule < 0) {
            e.Sequence = static_cast<int>(FBadReferences.size());
            FBadReferences.push_back(platform::Utf16ToUtf8(content));
        }
        return;
    }
    if (content.empty()) {
        SetFault(e, TParserMessage::pmSubexpressionEmpty);
        return;
    }
    if (e.Kind == ttAchoice)
        CompileChoice(content, depth, e);
    else
        e.Sequence = CompileSequence(content, false, depth);
}

// Splits a choice at every '|' outside literals at brace depth zero; there is no fixed
// limit on the number of alternatives, since nothing stored depends on one.
void TCompiledSyntax::CompileChoice(std::u16string_view content, int depth, TSyntaxElement& e)
{
    std::vector<std::u16string_view> alternatives;
    int braces = 0;
    bool inLiteral = false;
    size_t start = 0;
    for (size_t i = 0; i < content.size(); ++i) {
        char16_t c = content[i];
        if (c == u'"')
            inLiteral = !inLiteral;
        else if (!inLiteral && c == u'{')
            ++braces;
        else if (!inLiteral && c == u'}')
            --braces;
        else if (!inLiteral && braces == 0 && c == u'|') {
            alternatives.push_back(content.substr(start, i - start));
            start = i + 1;
        }
    }
    alternatives.push_back(content.substr(start));
    std::vector<std::int32_t> sequences;
    for (std::u16string_view alternative : alternatives)
        sequences.push_back(CompileSequence(alternative, false, depth));
    e.FirstAlternative = static_cast<int>(FAlternatives.size());
    e.AlternativeCount = static_cast<int>(sequences.size());
    FAlternatives.insert(FAlternatives.end(), sequences.begin(), sequences.end());
}

} // namespace vorn::engine
