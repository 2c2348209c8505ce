// Compiles random and mutated Pascal scripts, normally and silently. The first byte
// chooses the settings; the rest is the script. A compile error (or a silent abort) is
// a normal outcome; a crash, a sanitizer report or an empty compile-time stack (a
// generator defect) is a bug.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/languages/InstructionListing.h"
#include "engine/languages/PascalScript.h"

namespace {

using namespace vorn::engine;

void NoOp(TatVirtualMachine*) {}

// One scripter for the whole run, with a host class and a few global routines so that
// member chains, default properties and by-reference arguments are reachable.
TatScripter& FuzzScripter() {
    static TatScripter* scripter = [] {
        StartEngine();
        RegisterPascalLanguage();
        auto* s = new TatScripter();
        const TMachineProc proc = TMachineProc::Of<&NoOp>();
        TatClass* list = s->Classes().Add("TStrList");
        TatProcDef create;
        create.FName = "Create";
        create.FIsClassMethod = true;
        create.FResultDataType = tkClass;
        create.FProc = proc;
        list->DefineMethod(create)->FResultVirtualClass = list;
        TatProcDef add = create;
        add.FName = "Add";
        add.FIsClassMethod = false;
        add.FArgCount = 1;
        list->DefineMethod(add);
        TatPropDef items;
        items.FName = "Items";
        items.FDataType = tkVariant;
        items.FGetter = proc;
        items.FSetter = proc;
        items.FIndexCount = 1;
        list->SetDefaultProperty(list->DefineProp(items));
        const uint8_t first[] = {0};
        s->DefineMethod("Inc", 1, tkNone, nullptr, proc)->SetVarArgs(first);
        s->DefineMethod("Copy", 3, tkString, nullptr, proc, false, 1);
        return s;
    }();
    return *scripter;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 8192) return 0;
    TatScripter& scripter = FuzzScripter();
    const std::uint8_t flags = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    scripter.SetOptionExplicit(flags & 1);
    scripter.SetShortBooleanEval(flags & 2);
    TatScript& script = *scripter.CurrentScript();
    script.Parser().SetMaxEffort(200000);
    script.SetSourceText(text);
    try {
        if (flags & 4)
            script.SilentCompile();
        else
            script.Compile();
        InstructionListing(script.FirstInstruction());
    } catch (const EatCompileError&) {
    } catch (const vorn::platform::Exception& e) {
        if (std::string_view(e.what()).find("Empty stack") != std::string_view::npos) std::abort();
    }
    return 0;
}
