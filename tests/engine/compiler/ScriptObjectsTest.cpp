// Objects that scripts create: what a script never frees goes when the script is cleared
// or the scripter goes (host objects and record wrappers), and classes a script declares
// are created and used from other scripts, each instance with its own globals.

#include "tests/engine/e2e/PascalRunFixture.h"

#include "engine/compiler/HostBinding.h"
#include "platform/rtti/LiveObjects.h"
#include "tests/engine/compiler/BindingTestTypes.h"

namespace vorn::engine::bindingtest {
namespace {

class ScriptObjectsTest : public e2e::PascalRunFixture {
protected:
    void SetUp() override {
        PascalRunFixture::SetUp();
        FScripter->DefineClassByRTTI(&TGadget::ClassInfo());
        FScripter->AddVariable("Keep", FKeep);
        FGadget.FName = "obj";
        FScripter->AddObject("Obj", &FGadget);
    }
    std::string Output(TatScript& script, const std::string& text) {
        FOutput.clear();
        try {
            script.SetSourceText(text);
            script.Compile();
            script.VirtualMachine()->Execute();
        } catch (const platform::Exception& e) {
            return FOutput + "error: " + e.what();
        }
        return FOutput;
    }
    std::string Output(const std::string& text) { return Output(Script(), text); }
    TatScript& AddScript() { return *FScripter->AddScript(slPascal); }
    size_t CreatedBy(TatScript& script) { return FScripter->HostBinding().CreatedCountOf(&script); }
    static bool Alive(int64_t number) {
        void* object = nullptr;
        const platform::rtti::TClassInfo* classInfo = nullptr;
        return platform::rtti::TLiveObjects::Instance().TryResolve(number, object, classInfo) && object;
    }

    Variant FKeep;
    TGadget FGadget;
};

const char* const kCounterClass =
    "{$CLASS TCounter}\n"
    "var Count: integer;\n"
    "procedure Add(n: integer);\nbegin Count := Count + n; end;\n"
    "function Twice(x: integer): integer;\nbegin result := x * 2; end;\n"
    "procedure Bump(var v: integer);\nbegin v := v + Count; end;\n"
    "begin Count := 100; end.\n";

TEST_F(ScriptObjectsTest, UnfreedObjectsGoWhenTheirScriptIsCleared) {
    TatScript& other = AddScript();
    EXPECT_EQ(Output(other, "var g: TGadget; begin g := TGadget.Create('mine'); end."), "");
    EXPECT_EQ(Output("var g: TGadget; s: TSize; begin g := TGadget.Create('x'); Keep := g; s := Obj.Size; "
                     "Print(g.Name); end."),
              "x\n");
    const int64_t kept = VarToObject(FKeep);
    EXPECT_TRUE(Alive(kept));
    EXPECT_EQ(CreatedBy(Script()), 2u);  // the gadget and the record wrapper
    EXPECT_EQ(CreatedBy(other), 1u);
    Script().Clear();
    EXPECT_EQ(CreatedBy(Script()), 0u);
    EXPECT_FALSE(Alive(kept));
    EXPECT_EQ(CreatedBy(other), 1u);  // another script's objects stay
    // A stale reference held elsewhere fails cleanly instead of reaching freed memory.
    EXPECT_NE(Output(other, "var g: TGadget; begin g := Keep; Print(g.Name); end.").find("Invalid class typecast"),
              std::string::npos);
}

TEST_F(ScriptObjectsTest, ObjectsFreedByTheScriptAreNotFreedAgain) {
    EXPECT_EQ(Output("var g: TGadget; begin g := TGadget.Create('x'); g.Free; end."), "");
    EXPECT_EQ(CreatedBy(Script()), 0u);
    Output("var g: TGadget; begin g := TGadget.Create('y'); end.");  // recompiling clears the first
    EXPECT_EQ(CreatedBy(Script()), 1u);
    Script().Clear();
    EXPECT_EQ(CreatedBy(Script()), 0u);
}

TEST_F(ScriptObjectsTest, ObjectsLeftAtTheEndGoWithTheScripter) {
    Output("var i: integer; g: TGadget; begin for i := 1 to 5 do g := TGadget.Create('x'); end.");
    EXPECT_EQ(CreatedBy(Script()), 5u);
    FScripter.reset();  // LeakSanitizer reports anything left behind
}

TEST_F(ScriptObjectsTest, ScriptClassInstancesHaveTheirOwnState) {
    TatScript& counter = AddScript();
    counter.SetSourceText(kCounterClass);
    counter.Compile();
    EXPECT_EQ(Output("var a, b: TCounter; v: integer;\n"
                     "begin a := TCounter.Create; b := TCounter.Create; a.Add(5); b.Add(1);\n"
                     "Print(a.Count); Print(b.Count); Print(a.Twice(21));\n"
                     "v := 1; a.Bump(v); Print(v); a.Count := 7; Print(a.Count); Print(b.Count); end."),
              "105\n101\n42\n106\n7\n101\n");
    EXPECT_EQ(CreatedBy(Script()), 2u);
    Script().Clear();
    EXPECT_EQ(CreatedBy(Script()), 0u);
}

TEST_F(ScriptObjectsTest, UntypedVariablesReachScriptClassMembersLateBound) {
    TatScript& counter = AddScript();
    counter.SetSourceText(kCounterClass);
    counter.Compile();
    EXPECT_EQ(Output("var a; v: integer;\n"
                     "begin a := TCounter.Create; a.Add(5); Print(a.Count); Print(a.Twice(4));\n"
                     "v := 1; a.Bump(v); Print(v); a.Count := 3; Print(a.Count); end."),
              "105\n8\n106\n3\n");
}

// Free, objects created inside an instance, and what is left at the end
// (LeakSanitizer checks that the scripter frees every instance and its script).
TEST_F(ScriptObjectsTest, ScriptClassInstancesAreFreedOnceWhicheverWayTheyGo) {
    TatScript& counter = AddScript();
    counter.SetSourceText(std::string(kCounterClass).replace(std::string(kCounterClass).find("begin Count := 100"), 0,
                                                              "function Made: integer;\nvar g: TGadget;\n"
                                                              "begin g := TGadget.Create('inner'); result := 1; end;\n"
                                                              "function Me: variant;\nbegin result := Self; end;\n"));
    counter.Compile();
    struct Case { const char* script; const char* expected; };
    const Case cases[] = {
        {"var a: TCounter; begin a := TCounter.Create; a.Add(1); Print(a.Count); a.Free; end.", "101\n"},
        {"var a: TCounter; begin a := TCounter.Create; Print(a.Made); end.", "1\n"},
        {"var a: TCounter; begin a := TCounter.Create; Print(a.Me = a); end.", "True\n"},
        {"var a: TCounter; begin a := TCounter.Create; a := TCounter.Create; Print(a.Twice(2)); end.", "4\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Output(c.script), c.expected) << c.script;
    EXPECT_EQ(CreatedBy(Script()), 2u);
}

TEST_F(ScriptObjectsTest, ScriptClassFailuresAreRuntimeErrors) {
    TatScript& broken = AddScript();
    broken.SetSourceText("{$CLASS TBroken}\nvar x: integer;\nbegin x := 1 div 0; end.\n");
    broken.Compile();
    EXPECT_NE(Output("var b: TBroken; begin b := TBroken.Create; end.").find("ivision by zero"), std::string::npos);
    EXPECT_EQ(CreatedBy(Script()), 0u);
    TatScript& counter = AddScript();
    counter.SetSourceText(kCounterClass);
    counter.Compile();
    counter.Clear();
    EXPECT_NE(Output("var a: TCounter; begin a := TCounter.Create; end.")
                  .find("Cannot create script-based object: BaseScript not assigned."),
              std::string::npos);
}

// A class script loaded from its compiled image registers its class like a compilation.
TEST_F(ScriptObjectsTest, ClassScriptsLoadedFromAnImageRegisterTheirClass) {
    std::string image;
    {
        TatScript& counter = AddScript();
        counter.SetSourceText(kCounterClass);
        counter.SaveCodeToStream(image);
        counter.Clear();
    }
    TatScript& loaded = AddScript();
    loaded.LoadCodeFromStream(image);
    EXPECT_EQ(Output("var a: TCounter; begin a := TCounter.Create; a.Add(2); Print(a.Count); end."), "102\n");
}

} // namespace
} // namespace vorn::engine::bindingtest
