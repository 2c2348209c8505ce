// The binding end to end: Pascal scripts use a host class registered once through type
// information (methods with overloads and var parameters, properties, indexed and
// default properties, a record, an enumeration), a constant, a bound variable, a global
// object, and create and free host objects.

#include "tests/engine/e2e/PascalRunFixture.h"

#include "tests/engine/compiler/BindingTestTypes.h"

namespace vorn::engine::bindingtest {
namespace {

class BindingPascalTest : public e2e::PascalRunFixture {
protected:
    void SetUp() override {
        PascalRunFixture::SetUp();
        FScripter->DefineClassByRTTI(&TGadget::ClassInfo());
        FScripter->DefineClassByRTTI(&TSuperGadget::ClassInfo());
        FScripter->AddEnumeration(&DescribeEnum(TShade{}));
        FScripter->AddConstant("Limit", Variant::FromInteger(10));
        FScripter->AddVariable("Counter", FCounter);
        FGadget.FName = "obj";
        FScripter->AddObject("Obj", &FGadget);
    }
    // Compiles and runs; returns the output, or the error text.
    std::string Output(const std::string& text) {
        try {
            return Run(text);
        } catch (const platform::Exception& e) {
            return FOutput + "error: " + e.what();
        }
    }

    int32_t FCounter = 1;
    TGadget FGadget;
};

// A call instruction remembers the member it found for the class it last ran on; one
// that meets objects of another class in turn must find that class's member each time.
TEST_F(BindingPascalTest, OneCallSiteServesObjectsOfSeveralClasses) {
    TSuperGadget super;
    super.FName = "super";
    FScripter->AddObject("Super", &super);
    EXPECT_EQ(Output("var g: TGadget; i: integer; begin for i := 1 to 4 do begin"
                     " if i mod 2 = 0 then g := Super else g := Obj; Print(g.Sum(2, 3)); Print(g.Name); end; end."),
              "5\nobj\n6\nsuper\n5\nobj\n6\nsuper\n");
}

TEST_F(BindingPascalTest, ScriptsUseEveryMemberKind) {
    struct Case { const char* script; const char* expected; };
    const Case cases[] = {
        {"begin Print(Obj.GetProperty('File.ZIP')); end.", "archive.zip\n"},
        {"begin Print(Obj.Items[0]); Print(Obj[2]); end.", "zero\ntwo\n"},
        {"begin Obj.Items[1] := 'uno'; Print(Obj.Items[1]); end.", "uno\n"},
        {"begin Print(Obj.Sum(1, 2)); end.", "3\n"},
        {"var a, b: integer; begin a := 1; b := 2; Obj.Swap(a, b); Print(a); Print(b); end.", "2\n1\n"},
        {"var s: string; begin Obj.Describe(s); Print(s); end.", "gadget obj\n"},
        {"begin Obj.Name := 'renamed'; Print(Obj.Name); end.", "renamed\n"},
        {"begin Print(Obj.Ratio); end.", "0.5\n"},
        {"begin Print(Obj.ShadeOrdinal(shDeep)); Print(Limit); end.", "2\n10\n"},
        {"begin Counter := Counter + 6; Print(Counter); end.", "7\n"},
        {"var g: TGadget; begin g := TGadget.Create('made'); Print(g.Name); g.Free; end.", "made\n"},
        {"begin Print(TGadget.Version); end.", "7\n"},
        {"var s: TSize; begin s := Obj.Size; s.Width := 3; s.Height := 5; Print(s.Area); Obj.Size := s; "
         "Print(Obj.Size.Width); end.",
         "15\n3\n"},
        {"var c: TGadget; begin c := Obj.MakeChild('kid'); Print(c.Name); Print(Obj.Child.Name); end.", "kid\nkid\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Output(c.script), c.expected) << c.script;
    EXPECT_EQ(FCounter, 7);
}

// Sum is overloaded with one and two parameters: the compiler accepts both counts and the
// call runs the overload of that count; other counts fail at compile time.
TEST_F(BindingPascalTest, OverloadsAreCalledWithEachArgumentCount) {
    struct Case { const char* script; const char* expected; };
    const Case cases[] = {
        {"begin Print(Obj.Sum(5)); Print(Obj.Sum(5, 6)); end.", "1005\n11\n"},
        {"begin Print(Obj.Sum(Obj.Sum(1), 2)); Print(Obj.Sum(Obj.Sum(1))); end.", "1003\n2001\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Output(c.script), c.expected) << c.script;
    EXPECT_NE(Output("begin Print(Obj.Sum(1, 2, 3)); end.").find("Too many parameters for method 'Sum'"),
              std::string::npos);
    EXPECT_NE(Output("begin Print(Obj.Sum); end.").find("Not enough actual parameters for method 'Sum'. Expected 1 to 2"),
              std::string::npos);
}

TEST_F(BindingPascalTest, HostFailuresBecomeRuntimeErrors) {
    EXPECT_NE(Output("begin Obj.Fail; end.").find("gadget failed"), std::string::npos);
    EXPECT_NE(Output("begin Print(Obj.NameOf(12345)); end.").find("Invalid class typecast"), std::string::npos);
}

} // namespace
} // namespace vorn::engine::bindingtest
