// Parse time of the syntax parser against the Pascal grammar of the test data, for
// generated programs of 1k, 10k and 100k lines; the complexity report should read O(N).

#include <benchmark/benchmark.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "engine/compiler/SyntaxParser.h"

namespace {

using vorn::engine::TatSyntaxParser;

std::string PascalGrammarText()
{
    std::string path = __FILE__;
    path = path.substr(0, path.rfind('/')) + "/../tests/data/grammar/pascal.grm";
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The Pascal language's settings: its remarks and its reserved-word veto on identifiers.
void LoadPascal(TatSyntaxParser& parser)
{
    parser.SetGrammarText(PascalGrammarText());
    parser.Comments().Clear();
    parser.Comments().Add("{", "}");
    parser.Comments().Add("(*", "*)");
    parser.Comments().Add("//", "\r");
    static const std::set<std::string> reserved = {
        "begin", "end", "var", "try", "except", "finally", "do", "if", "then", "while", "for",
        "repeat", "until", "case", "with", "not", "and", "or", "xor", "div", "mod", "shl", "shr",
        "is", "as", "procedure", "function", "program", "to", "step", "const", "forward"};
    parser.NoTerminals().GetItem(52)->FOnAcceptNode = [](vorn::engine::TNoTerminalNode* node) {
        std::string word = node->GetInputToken();
        for (char& c : word)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (!reserved.count(word))
            return true;
        auto* parent = node->GetParentNode();
        auto* grandParent = parent ? parent->GetParentNode() : nullptr;
        return grandParent && parent->NoTerminalIndex() == grandParent->NoTerminalIndex();
    };
}

// A program of about the given number of lines: routines of nine lines each.
std::string GenerateProgram(int lines)
{
    std::string text = "var Total, i: Integer;\n";
    int routine = 0;
    for (int written = 5; written < lines; written += 9) {
        const std::string n = std::to_string(routine++);
        text += "procedure Step" + n + "(var x: Integer; y: Integer);\nbegin\n";
        text += "  { add the weighted values }\n";
        text += "  x := x + y * " + n + " - (y div 2);\n";
        text += "  if x > 1000 then x := x mod 97 else x := x + 1;\n";
        text += "  for i := 1 to 3 do Total := Total + i;\n";
        text += "  while x > 10 do x := x - 7;\n";
        text += "  Log('step ' + IntToStr(x), $FF, 1.5e3);\n";
        text += "end;\n";
    }
    text += "begin\n  Total := 0;\n  Step0(Total, 2);\nend.\n";
    return text;
}

int CountLines(const std::string& text)
{
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    return lines;
}

void BM_ParsePascal(benchmark::State& state)
{
    TatSyntaxParser parser;
    LoadPascal(parser);
    const std::string source = GenerateProgram(static_cast<int>(state.range(0)));
    parser.SetStringsText(source);
    if (parser.CheckLanguage().Result != vorn::engine::srCorrect)
        state.SkipWithError("the generated program does not parse");
    for (auto _ : state)
        benchmark::DoNotOptimize(parser.CheckLanguage());
    const int lines = CountLines(source);
    state.SetComplexityN(lines);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(source.size()));
    state.counters["lines"] = lines;
    state.counters["effort/line"] = static_cast<double>(parser.Effort()) / lines;
}

BENCHMARK(BM_ParsePascal)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

} // namespace
