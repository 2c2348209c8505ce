// Our engine against Lua 5.4 on the same small programs (bench/scripts: NAME.pas with a
// Main returning the checksum, NAME.lua printing "NAME checksum"). Both sides time only
// the run: ours the ExecuteSubroutine('Main') call on compiled and linked code, Lua's
// the dofile of the script inside lua5.4 (os.clock around it). Best of three runs each.
// Prints name, our time, Lua's time, the ratio and whether the checksums agree.
// Optional arguments: the names to run (all when none); "--list NAME" prints the
// instruction list of NAME instead.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/languages/InstructionListing.h"
#include "engine/languages/PascalScript.h"
#include "engine/vm/ScriptValue.h"

using namespace vorn::engine;

namespace {

// VORN_BENCH_SCRIPTS names another folder of such pairs (smaller runs for profiling).
const std::filesystem::path ScriptDir = std::getenv("VORN_BENCH_SCRIPTS")
                                            ? std::filesystem::path(std::getenv("VORN_BENCH_SCRIPTS"))
                                            : std::filesystem::path(__FILE__).parent_path() / "scripts";
constexpr int Repeats = 3;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Our best run time in seconds and the checksum (a float result rounds to it); a
// compile or runtime error is reported as the checksum text.
double TimeOurs(const std::string& name, std::string& checksum) {
    TatScripter scripter;
    TatScript& script = *scripter.CurrentScript();
    double best = 1e300;
    try {
        script.SetSourceText(ReadFile(ScriptDir / (name + ".pas")));
        script.Compile();
        script.VirtualMachine()->SolveAbsoluteAddressing();
        for (int r = 0; r < Repeats; ++r) {
            auto start = std::chrono::steady_clock::now();
            Variant result = scripter.ExecuteSubroutine("Main");
            std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count());
            const Variant& v = DerefPValue(result);
            checksum = v.VType() == varDouble ? std::to_string(std::llround(VarToFloat(v))) : VarToStrUtf8(v);
        }
    } catch (const std::exception& e) {
        checksum = std::string("error: ") + e.what();
        for (char& c : checksum)
            if (c == '\r' || c == '\n') c = ' ';
        return -1;
    }
    return best;
}

// Lua's best run time in seconds and its checksum (the second word it prints).
double TimeLua(const std::string& name, std::string& checksum) {
    double best = 1e300;
    const std::string file = (ScriptDir / (name + ".lua")).string();
    const std::string command = "lua5.4 -e \"local t = os.clock(); dofile('" + file +
                                "'); io.stderr:write(string.format('%.6f', os.clock() - t))\" 2>&1";
    for (int r = 0; r < Repeats; ++r) {
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        if (!pipe) return -1;
        char buffer[256];
        std::string out;
        while (fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
        std::istringstream words(out);
        std::string printedName;
        double seconds = -1;
        words >> printedName >> checksum >> seconds;
        if (seconds < 0) return -1;
        best = std::min(best, seconds);
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> names{"intloop", "fib", "floatloop", "arraysum", "calls", "strcat", "strfuncs"};
    if (argc > 1) names.assign(argv + 1, argv + argc);
    StartEngine();
    RegisterPascalLanguage();
    if (argc == 3 && std::string(argv[1]) == "--list") {
        TatScripter scripter;
        scripter.CurrentScript()->SetSourceText(ReadFile(ScriptDir / (std::string(argv[2]) + ".pas")));
        scripter.CurrentScript()->Compile();
        std::printf("%s", InstructionListing(scripter.CurrentScript()->FirstInstruction()).c_str());
        StopEngine();
        return 0;
    }
    std::printf("%-10s %10s %10s %7s  %s\n", "name", "ours (s)", "lua (s)", "ratio", "checksums");
    for (const std::string& name : names) {
        std::string ours, lua;
        double ourTime = TimeOurs(name, ours);
        double luaTime = TimeLua(name, lua);
        if (ourTime < 0) {
            std::printf("%-10s %10s %10.3f %7s  %s\n", name.c_str(), "-", luaTime, "-", ours.c_str());
            continue;
        }
        std::printf("%-10s %10.3f %10.3f %7.2f  %s (%s)\n", name.c_str(), ourTime, luaTime, ourTime / luaTime,
                    ours == lua ? "agree" : "DIFFER", (ours + " / " + lua).c_str());
    }
    StopEngine();
    return 0;
}
