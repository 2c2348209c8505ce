#pragma once
// The fixture of the Pascal language tests: a started engine with the Pascal language,
// one scripter with a small host class (TStrList: Create, Add, Count, Text, a default
// indexed property Items) and global routines (Copy, Inc with a var parameter, Fmt with
// a default argument, ShowMessage), and helpers that compile text and list the code.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/languages/InstructionListing.h"
#include "engine/languages/PascalScript.h"
#include "tests/engine/ScripterFixture.h"

namespace vorn::engine::pascaltest {

inline void NoOp(TatVirtualMachine*) {}

// Registers the host members the scripts of the tests use.
inline void RegisterTestHost(TatScripter& scripter) {
    const TMachineProc proc = TMachineProc::Of<&NoOp>();
    TatClass* list = scripter.Classes().Add("TStrList");
    TatProcDef create;
    create.FName = "Create";
    create.FIsClassMethod = true;
    create.FResultDataType = tkClass;
    create.FProc = proc;
    list->DefineMethod(create)->FResultVirtualClass = list;
    TatProcDef add;
    add.FName = "Add";
    add.FArgCount = 1;
    add.FResultDataType = tkInteger;
    add.FProc = proc;
    list->DefineMethod(add);
    TatPropDef count;
    count.FName = "Count";
    count.FDataType = tkInteger;
    count.FGetter = proc;
    list->DefineProp(count);
    TatPropDef text = count;
    text.FName = "Text";
    text.FDataType = tkString;
    text.FSetter = proc;
    list->DefineProp(text);
    TatPropDef items = text;
    items.FName = "Items";
    items.FIndexCount = 1;
    list->SetDefaultProperty(list->DefineProp(items));
    TatPropDef sink;
    sink.FName = "Sink";
    sink.FSetter = proc;
    list->DefineProp(sink);
    scripter.DefineMethod("Undone", 0, tkNone, nullptr, TMachineProc{});
    scripter.DefineMethod("Copy", 3, tkString, nullptr, proc);
    const uint8_t first[] = {0};
    scripter.DefineMethod("Inc", 1, tkNone, nullptr, proc)->SetVarArgs(first);
    scripter.DefineMethod("Fmt", 3, tkString, nullptr, proc, false, 1);
    scripter.DefineMethod("ShowMessage", 1, tkNone, nullptr, proc);
    // These test routines stand in for General's routines of the same names: remove those,
    // as a host does with library routines it replaces.
    if (TatClass* general = scripter.SystemLibrary())
        for (const char* name : {"Copy", "Inc", "ShowMessage"})
            if (TatMethod* m = general->MethodByName(name)) general->Methods().Remove(m);
}

class PascalFixture : public ScripterFixture {
protected:
    void SetUp() override {
        StartEngine();
        RegisterPascalLanguage();
        ScripterFixture::SetUp();
        RegisterTestHost(*FScripter);
    }
    std::string Listing() { return InstructionListing(Script().FirstInstruction()); }

};

} // namespace vorn::engine::pascaltest
