// Feeds random grammars and random inputs to the syntax parser: the fuzz input is split
// at its first NUL byte into a grammar text and an input text. Every outcome must be a
// result or an EParserError; anything else (a crash, a hang, a sanitizer report) is a bug.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/compiler/SyntaxParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t split = bytes.find('\0');
    const std::string_view grammar = bytes.substr(0, split);
    const std::string_view input = split == std::string_view::npos ? std::string_view{} : bytes.substr(split + 1);
    vorn::engine::TatSyntaxParser parser;
    // Backtracking grammars can be exponential; the effort limit keeps each run short.
    parser.SetMaxEffort(200000);
    parser.Comments().Add("(*", "*)");
    parser.Comments().Add("//", "\n", " ;");
    parser.SetCustomLexeme(0, "+-*/");
    parser.SetAllowUnicodeIds(!input.empty() && (input[0] & 1));
    int remarks = 0;
    parser.FOnExtractRemark = [&remarks](vorn::engine::TatSyntaxParser& p, int start, int final) {
        if (++remarks % 3 == 0 && final > start)
            p.IncludeInput(p.InputText(start + 1, final - 1));
    };
    try {
        parser.SetGrammarText(grammar);
        parser.SetInputText(input);
        parser.CheckLanguage();
        parser.ScanSyntaxTree();
        if (parser.Node()->InputFinalPos() >= 1)
            parser.FindNodeByPosition(1);
        parser.SetTargetPos(static_cast<int>(input.size() / 2) + 1);
        parser.CheckLanguage();
    } catch (const vorn::engine::EParserError&) {
    }
    return 0;
}
