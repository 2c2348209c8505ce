// Compiled images: a script saved and loaded back (into the same or a fresh scripter)
// runs the same and saves the same bytes; damaged images are clean internal errors that
// leave the script not compiled.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "engine/compiler/CompiledImage.h"
#include "engine/vm/EngineErrors.h"
#include "tests/engine/compiler/BindingTestTypes.h"
#include "tests/engine/e2e/PascalRunFixture.h"

namespace vorn::engine::bindingtest {
namespace {

class CompiledImageTest : public e2e::PascalRunFixture {
protected:
    void SetUp() override {
        PascalRunFixture::SetUp();
        Register(*FScripter);
    }
    void TearDown() override {
        FOther.reset();
        PascalRunFixture::TearDown();
    }
    // What both scripters know: a host class and a global object (Print comes with the fixture).
    void Register(TatScripter& scripter) {
        scripter.DefineClassByRTTI(&TGadget::ClassInfo());
        FGadget.FName = "obj";
        scripter.AddObject("Obj", &FGadget);
    }
    // A second scripter registered like the first, writing into the same output.
    TatScripter& Other() {
        FOther = std::make_unique<TatScripter>();
        FOther->DefineMethod("Print", 1, tkNone, nullptr, TMachineProc::Of<&CompiledImageTest::Emit>(this));
        Register(*FOther);
        return *FOther;
    }
    void Emit(TatVirtualMachine* machine) { FOutput += machine->GetInputArgAsString(0) + "\n"; }
    // Compiles `text` and returns its image.
    std::string ImageOf(const std::string& text) {
        CompileText(text);
        std::string image;
        Script().SaveCodeToStream(image);
        return image;
    }
    // The message of the exception that loading `image` into the current script raises.
    std::string LoadError(const std::string& image) {
        try {
            Script().LoadCodeFromStream(image);
        } catch (const EatInternalError& e) {
            return e.what();
        }
        return "loaded";
    }

    TGadget FGadget;
    std::unique_ptr<TatScripter> FOther;
};

const char* const RoundTripScripts[] = {
    "var g: integer;\n"
    "procedure Bump(var x: integer); begin x := x + 1; end;\n"
    "function Fact(n: integer): integer; begin if n <= 1 then Result := 1 else Result := n * Fact(n - 1); end;\n"
    "begin g := 4; Bump(g); Print(g); Print(Fact(g)); end.",
    "var s: string; i: integer;\n"
    "begin s := 'héllo'; for i := 1 to 3 do s := s + IntToStr(i); Print(s); Print(Length(s)); end.",
    "var a: array[0..3] of integer; i, t: integer;\n"
    "begin for i := 0 to 3 do a[i] := i * i; t := 0; for i := 0 to 3 do t := t + a[i]; Print(t); end.",
    "var a, b: integer;\n"
    "begin b := 0; try a := 1 div b; except Print('caught'); end;\n"
    "try Print(1.5); finally Print('done'); end; end.",
    "var x, y: integer;\n"
    "begin x := 2; y := 9; Obj.Swap(x, y); Print(x); Print(Obj.Sum(x, y)); Print(Obj.Sum(x)); Obj.Name := 'renamed'; "
    "Print(Obj.Name); Print(Obj.Items[1]); end.",
};

TEST_F(CompiledImageTest, ALoadedImageRunsTheSameAndSavesTheSameBytes) {
    int seed = 0;
    for (const char* text : RoundTripScripts) {
        SCOPED_TRACE(text);
        const std::string image = ImageOf(text);
        // The images are the seeds of the compiled-image fuzz target.
        if (std::getenv("VORN_UPDATE_GOLDEN"))
            std::ofstream(std::string(VORN_TEST_DATA) + "/../../fuzz/corpus/compiled_image/seed" + std::to_string(seed++),
                          std::ios::binary)
                << image;
        FOutput.clear();
        FGadget.FName = "obj";
        FScripter->Execute();
        const std::string expected = FOutput;
        ASSERT_FALSE(expected.empty());
        for (TatScripter* target : {FScripter.get(), &Other()}) {
            TatScript& script = *target->CurrentScript();
            script.SetSourceText("");
            script.LoadCodeFromStream(image);
            EXPECT_TRUE(script.Compiled());
            FOutput.clear();
            FGadget.FName = "obj";
            target->Execute();
            EXPECT_EQ(FOutput, expected);
            std::string again;
            script.SaveCodeToStream(again);
            EXPECT_EQ(again, image);
        }
    }
}

TEST_F(CompiledImageTest, StoredPCodeLoadsIntoAnotherScripterAndRejectsDamage) {
    FScripter->CurrentScript()->SetSourceText(RoundTripScripts[0]);
    std::string stream = "head";  // the property sits inside a larger stream
    FScripter->WritePCode(stream);
    ASSERT_TRUE(FScripter->Compiled());
    ASSERT_EQ(FScripter->PCode().size() + 8, stream.size());
    FOutput.clear();
    FScripter->Execute();
    const std::string expected = FOutput;

    TatScripter& other = Other();
    size_t position = 4;
    other.ReadPCode(stream, position);
    EXPECT_EQ(position, stream.size());
    EXPECT_EQ(other.PCode(), FScripter->PCode());
    FOutput.clear();
    other.Execute();
    EXPECT_EQ(FOutput, expected);

    for (const std::string& damaged : {stream.substr(0, 6), stream.substr(0, stream.size() - 1)}) {
        TatScripter& fresh = Other();
        size_t at = 4;
        EXPECT_THROW(fresh.ReadPCode(damaged, at), EatInternalError);
        EXPECT_EQ(at, 4u);
        EXPECT_FALSE(fresh.Compiled());
    }
}

TEST_F(CompiledImageTest, TheImageCarriesItsHeaderAndSymbolTable) {
    const std::string image = ImageOf("var g: TGadget;\nfunction F(a: integer; var b: string): string; begin end;\nbegin end.");
    ASSERT_GE(image.size(), TatCompiledImage::HeaderSize);
    EXPECT_EQ(image[0], 'r');
    EXPECT_EQ(image[48], '\x1A');
    EXPECT_EQ(image[50], '\x04');
    TatScripter& other = Other();
    other.CurrentScript()->LoadCodeFromStream(image);
    TatScriptInfo& info = other.CurrentScript()->ScriptInfo();
    TatRoutineInfo* f = info.RoutineByName("F");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->FArgCount, 2);
    EXPECT_TRUE(f->IsByRefArg(1));
    EXPECT_TRUE(f->FIsFunction);
    ASSERT_NE(f->FDeclarationInstruction, nullptr);
    EXPECT_EQ(f->FDeclarationInstruction->OpCode, inPrepare);
    ASSERT_NE(info.Globals().FindByName("g"), nullptr);
    EXPECT_EQ(info.Globals().FindByName("g")->DeclaredClassName(), "TGadget");
    EXPECT_FALSE(info.MainRoutineName().empty());
}

// Damage by kind: each is an internal error with its text, and the script is left not compiled.
TEST_F(CompiledImageTest, DamagedImagesAreCleanInternalErrors) {
    const std::string image = ImageOf("var i: integer; begin for i := 1 to 2 do Print(i); end.");
    auto damaged = [&](size_t at, char value) {
        std::string copy = image;
        copy[at] = value;
        return copy;
    };
    // The first instruction record follows the header and the symbol table (no classes, no units).
    int32_t symbolSize = 0;
    std::memcpy(&symbolSize, image.data() + 60, 4);
    const size_t opcodeAt = TatCompiledImage::HeaderSize + size_t(symbolSize) + 8;
    struct Case { std::string bytes; const char* expected; };
    const Case cases[] = {
        {"", "INTERNAL ERROR\r\nInvalid executable file signature"},
        {damaged(48, 'X'), "INTERNAL ERROR\r\nInvalid executable file signature"},
        {damaged(50, 3), "INTERNAL ERROR\r\n3 not is a valid executable file version, expected 4"},
        {damaged(opcodeAt, char(200)), "INTERNAL ERROR\r\nUnable to read stream (Invalid instruction code 200 in compiled image)"},
        {damaged(56, char(0x7F)), "INTERNAL ERROR\r\nUnable to read stream (Compiled image is truncated or damaged at byte 92)"},
        {image.substr(0, image.size() - 3), "INTERNAL ERROR\r\nUnable to read stream (Compiled image is truncated"},
    };
    for (const Case& c : cases) {
        CompileText("begin end.");
        std::string message = LoadError(c.bytes);
        EXPECT_EQ(message.substr(0, std::string(c.expected).size()), c.expected);
        EXPECT_FALSE(Script().Compiled());
        EXPECT_EQ(Script().FirstInstruction(), nullptr);
    }
}

// Every prefix of an image fails cleanly, also one cut at a record boundary; one stray
// byte after the last record is ignored.
TEST_F(CompiledImageTest, EveryTruncationFailsCleanlyAndAStrayByteIsIgnored) {
    const std::string image = ImageOf("var s: string; begin s := 'ab'; Print(s + 'c'); end.");
    for (size_t n = 0; n < image.size(); ++n) {
        std::string message = LoadError(image.substr(0, n));
        EXPECT_EQ(message.rfind("INTERNAL ERROR\r\n", 0), 0u) << n;
        EXPECT_FALSE(Script().Compiled()) << n;
    }
    EXPECT_EQ(LoadError(image + '\x7F'), "loaded");
    FOutput.clear();
    FScripter->Execute();
    EXPECT_EQ(FOutput, "abc\n");
}

TEST_F(CompiledImageTest, AMissingUsedUnitFailsTheLoadWithItsOwnError) {
    TatScript* tools = FScripter->Scripts().Add();
    tools->SetUnitName("Tools");
    tools->SetSourceText("function Twice(x: integer): integer; begin Result := x * 2; end;\nbegin end.");
    const std::string image = ImageOf("uses Tools;\nbegin Print(Twice(21)); end.");
    TatScripter& other = Other();
    try {
        other.CurrentScript()->LoadCodeFromStream(image);
        FAIL() << "loaded without its unit";
    } catch (const EatInternalError& e) {
        EXPECT_STREQ(e.what(), "INTERNAL ERROR\r\nLibrary 'Tools' not found");
    }
    EXPECT_FALSE(other.CurrentScript()->Compiled());
}

TEST_F(CompiledImageTest, FilesHoldTheImage) {
    const std::string path = testing::TempDir() + "image_test_" + std::to_string(::getpid()) + ".bin";
    CompileText("begin Print('from file'); end.");
    Script().SaveCodeToFile(path);
    TatScripter& other = Other();
    other.CurrentScript()->LoadCodeFromFile(path);
    FOutput.clear();
    other.Execute();
    EXPECT_EQ(FOutput, "from file\n");
    std::remove(path.c_str());
    EXPECT_THROW(other.CurrentScript()->LoadCodeFromFile(path), platform::Exception);
    EXPECT_THROW(Script().SaveCodeToFile("/nonexistent-folder/x.bin"), EatInternalError);
}

} // namespace
} // namespace vorn::engine::bindingtest

namespace vorn::engine::bindingtest {
namespace {

// Unit files on the search path: a source file is compiled, a compiled file is loaded
// through its image and wins over a source file in the same folder.
class UnitFileTest : public CompiledImageTest {
protected:
    void SetUp() override {
        CompiledImageTest::SetUp();
        // One folder per test process: ctest runs the tests of this suite side by side.
        FFolder = testing::TempDir() + "unit_files_" + std::to_string(::getpid());
        std::filesystem::create_directories(FFolder);
        Use(*FScripter);
    }
    void TearDown() override {
        std::filesystem::remove_all(FFolder);
        CompiledImageTest::TearDown();
    }
    void Use(TatScripter& scripter) {
        TScripterLibraryOptions options;
        options.FUseScriptFiles = true;
        options.FSourceFileExt = ".pas";
        options.FCompiledFileExt = ".pcx";
        options.FSearchPath = {"", "   ", FFolder};
        scripter.SetLibOptions(options);
    }
    // The script the scripter loaded for the unit, found by its file.
    static TatScript* LoadedUnit(TatScripter& scripter, const std::string& file) {
        for (int i = 0; i < scripter.Scripts().Count(); ++i)
            if (scripter.Scripts().Items(i)->FileName() == file) return scripter.Scripts().Items(i);
        return nullptr;
    }

    std::string FFolder;
};

const char* const ToolsSource = "function Twice(x: integer): integer; begin Result := x * 2; end;\nbegin end.";

TEST_F(UnitFileTest, ASourceUnitOnTheSearchPathIsCompiled) {
    std::ofstream(FFolder + "/Tools.pas") << ToolsSource;
    CompileText("uses tools;\nvar n: integer;\nbegin n := Twice(2); end.");
    EXPECT_TRUE(Script().Compiled());
    TatScript* unit = LoadedUnit(*FScripter, FFolder + "/Tools.pas");
    ASSERT_NE(unit, nullptr);
    EXPECT_TRUE(unit->Compiled());
    EXPECT_NE(unit->ScriptInfo().RoutineByName("Twice"), nullptr);
    // Naming it again reuses the loaded unit.
    const int scripts = FScripter->Scripts().Count();
    CompileText("uses Tools, TOOLS;\nbegin end.");
    EXPECT_EQ(FScripter->Scripts().Count(), scripts);
}

TEST_F(UnitFileTest, ACompiledUnitFileWinsOverItsSource) {
    TatScripter& builder = Other();
    builder.CurrentScript()->SetSourceText(ToolsSource);
    builder.CurrentScript()->SaveCodeToFile(FFolder + "/Tools.pcx");
    std::ofstream(FFolder + "/Tools.pas") << "this is not a script";
    CompileText("uses Tools;\nvar n: integer;\nbegin n := Twice(2); end.");
    EXPECT_TRUE(Script().Compiled());
    TatScript* unit = LoadedUnit(*FScripter, FFolder + "/Tools.pcx");
    ASSERT_NE(unit, nullptr);
    EXPECT_TRUE(unit->Compiled());
    EXPECT_NE(unit->ScriptInfo().RoutineByName("Twice"), nullptr);
}

TEST_F(UnitFileTest, AUnitNowhereOnTheSearchPathIsNotFound) {
    try {
        CompileText("uses Missing;\nbegin end.");
        FAIL() << "compiled";
    } catch (const platform::Exception& e) {
        EXPECT_NE(std::string(e.what()).find("Library 'Missing' not found"), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace vorn::engine::bindingtest
