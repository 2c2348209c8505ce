// Pascal code generators for expressions: operators and their precedence, literals
// (integers, reals, hexadecimal numbers, strings with character codes, vectors),
// argument and index lists, chain elements and as-casts.

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "engine/languages/PascalScript.h"
#include "platform/CaseFolding.h"
#include "platform/Unicode.h"

namespace vorn::engine {

namespace {

std::string Trim(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    size_t first = 0;
    while (first < text.size() && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
    return text.substr(first);
}

struct TOperatorText {
    TInstruction Opcode;
    const char* Text;
};

constexpr TOperatorText OperatorTexts[] = {
#define VORN_PASCAL_OPERATOR(Opcode, Text, Level) {Opcode, Text},
#include "engine/languages/PascalOperators.def"
};

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return 0;
}

// Appends the character of a #n / #$n code: beyond the 16 bits of one unit as a
// surrogate pair; false for a code no character has (or digits that overflow).
bool AppendCharCode(platform::UString& out, const platform::UString& digits, bool hex) {
    uint64_t code = 0;
    if (digits.empty()) return false;
    for (char16_t c : digits) {
        code = code * (hex ? 16 : 10) + static_cast<uint64_t>(hex ? HexDigit(c) : c - u'0');
        if (code > 0x10FFFF) return false;
    }
    if (code <= 0xFFFF) {
        out += static_cast<char16_t>(code);
        return true;
    }
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    return true;
}

} // namespace

void TreZuderaScript::BeforeExpression(TNoTerminalNode*) { BeginExpression(); }
void TreZuderaScript::AfterExpression(TNoTerminalNode*) { EndExpression(); }

void TreZuderaScript::AfterOperator(TNoTerminalNode* node) {
    const std::string text = platform::AsciiUpperCase(Trim(node->GetStrToken()));
    for (const TOperatorText& row : OperatorTexts) {
        if (text != row.Text) continue;
        PushBinaryOperator(row.Opcode);
        return;
    }
}

void TreZuderaScript::AfterUnary(TNoTerminalNode* node) {
    FCurrentOperator = ++FOperatorCount;
    const std::string text = Trim(node->GetStrToken());
    if (text == "+") return;
    PushUnaryOperator(text == "-" ? inOperNeg : inOperNot);
}

void TreZuderaScript::InvalidNumber(TNoTerminalNode* node) {
    ReportError(LanguageMessage(TLanguageMessage::lmInvalidNumber, Trim(TextOf(node))), node->InputInitialPos());
}

// Integers that do not fit 64 signed bits are kept unsigned (vByte 1); beyond that, and
// for reals beyond the double range, the literal is an error rather than a wrapped value.
void TreZuderaScript::AfterReal(TNoTerminalNode* node) {
    std::string text = Trim(TextOf(node));
    if (node->Count() == 0) {
        std::string digits = !text.empty() && text[0] == '+' ? text.substr(1) : text;
        TSimplifiedCode* push = nullptr;
        int64_t value = 0;
        uint64_t unsignedValue = 0;
        const char* end = digits.data() + digits.size();
        const auto [signedEnd, signedError] = std::from_chars(digits.data(), end, value);
        const auto [unsignedEnd, unsignedError] = std::from_chars(digits.data(), end, unsignedValue);
        if (!digits.empty() && signedEnd == end && signedError == std::errc()) {
            push = Emit(inPushInteger);
            push->valueInt64 = value;
        } else if (!digits.empty() && digits[0] != '-' && unsignedEnd == end && unsignedError == std::errc()) {
            push = Emit(inPushInteger);
            push->vByte = 1;
            push->valueUInt64 = unsignedValue;
        } else {
            InvalidNumber(node);
            Emit(inPushInteger);
        }
        return;
    }
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    const bool valid = end == text.c_str() + text.size() && std::isfinite(value) && errno != ERANGE;
    if (!valid) InvalidNumber(node);
    Emit(inPushDouble)->vDouble = valid ? value : 0;
}

void TreZuderaScript::AfterHex(TNoTerminalNode* node) {
    int32_t value = 0;
    if (!HexToInt(Trim(TextOf(node)), value)) InvalidNumber(node);
    Emit(inPushInteger)->valueInt64 = value;
}

// "$" and up to eight significant digits, read as 32 bits: $FFFFFFFF is -1. More digits
// would lose the high ones, so they make the literal invalid.
bool TreZuderaScript::HexToInt(std::string_view text, int32_t& value) {
    value = 0;
    if (text.size() < 2) return true;
    uint64_t result = 0;
    for (size_t i = 1; i < text.size(); ++i) {
        result = (result << 4) | static_cast<uint64_t>(HexDigit(static_cast<char16_t>(text[i])));
        if (result > 0xFFFFFFFFu) return false;
    }
    value = static_cast<int32_t>(static_cast<uint32_t>(result));
    return true;
}

void TreZuderaScript::AfterString(TNoTerminalNode* node) {
    bool valid = true;
    const std::string text = ExtractQuotedString(TextOf(node), valid);
    if (!valid) InvalidNumber(node);
    Emit(inPushString)->vString = ScriptText::FromUtf8(text);
}

// Quoted parts (a doubled delimiter stands for one) and #n / #$n codes, adjacent.
std::string TreZuderaScript::ExtractQuotedString(std::string_view text, bool& valid) const {
    const platform::UString input = platform::Utf8ToUtf16(text);
    const char16_t delimiter = u'\'';
    platform::UString result, pending;
    bool inside = false, hex = false;
    auto flush = [&] {
        if (!pending.empty() && !AppendCharCode(result, pending, hex)) valid = false;
        pending.clear();
    };
    for (size_t p = 0; p < input.size(); ++p) {
        const char16_t c = input[p];
        if (inside) {
            if (c != delimiter) result += c;
            else if (p + 1 < input.size() && input[p + 1] == delimiter) result += input[++p];
            else inside = false;
            continue;
        }
        if (c == u'#' || c == u'$' || c == delimiter) {
            flush();
            if (c == u'#') hex = false;
            if (c == u'$') hex = true;
            if (c == delimiter) inside = true;
            continue;
        }
        if (!std::isspace(c < 128 ? static_cast<int>(c) : 'x')) pending += c;
    }
    flush();
    return platform::Utf16ToUtf8(result);
}

void TreZuderaScript::AfterVector(TNoTerminalNode* node) { Emit(inArrayOf)->vInteger = node->Count(); }

void TreZuderaScript::BeforeArgList(TNoTerminalNode* node) { EnterArgList(node->Count() > 0); }
void TreZuderaScript::AfterArgList(TNoTerminalNode* node) { LeaveArgList(node->Count() > 0); }
void TreZuderaScript::BeforeIndexing(TNoTerminalNode* node) { EnterIndexing(node->Count() > 0); }
void TreZuderaScript::AfterIndexing(TNoTerminalNode* node) { LeaveIndexing(node->Count() > 0); }

void TreZuderaScript::BeforeCallCode(TNoTerminalNode* node) { MakeDataElementCode(node, doExec); }
void TreZuderaScript::BeforeCallPtrCode(TNoTerminalNode* node) { MakeDataElementCode(node, doAddr); }
void TreZuderaScript::BeforeDataValCode(TNoTerminalNode* node) { MakeDataElementCode(node, doRead); }
void TreZuderaScript::BeforeDataRefCode(TNoTerminalNode* node) { MakeDataElementCode(node, doWrite); }

void TreZuderaScript::AfterAsClass(TNoTerminalNode* node) { CastToClass(Trim(TextOf(node))); }

} // namespace vorn::engine
