// Libraries: the process-wide list, uses clauses of host libraries and of script units,
// unknown and circular units, the unit prefix of errors, and the library search path.

#include "tests/engine/compiler/CompilerFixture.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "engine/vm/EngineErrors.h"

namespace vorn::engine::testlang {
namespace {

namespace fs = std::filesystem;
using LibraryTest = CompilerFixture;

TEST_F(LibraryTest, TheProcessWideListKeepsRegistrationOrder) {
    TatLibraryList* list = atLibraryList();
    ASSERT_NE(list, nullptr);
    // The engine's own libraries (General, Math, StrUtils) come first, then the test ones.
    ASSERT_EQ(list->Count(), kStandardLibraryCount + 2);
    EXPECT_EQ(list->GetItem(0)->FLibraryClass->LibraryName(), "General");
    EXPECT_EQ(list->GetItem(kStandardLibraryCount)->FLibraryClass, LibraryClassOf<TTestLibrary>());
    EXPECT_FALSE(list->GetItem(kStandardLibraryCount)->FExplicitLoad);
    EXPECT_TRUE(list->GetItem(kStandardLibraryCount + 1)->FExplicitLoad);
    EXPECT_EQ(list->FindByLibraryName("extralib"), list->GetItem(kStandardLibraryCount + 1));
    EXPECT_EQ(list->FindByLibraryName("Nothing"), nullptr);
    EXPECT_EQ(DefaultLibraryName("TatSystemLibrary"), "atSystemLibrary");
    EXPECT_EQ(DefaultLibraryName("Other"), "Other");
    list->Remove(LibraryClassOf<TExtraLibrary>());
    EXPECT_EQ(list->Count(), kStandardLibraryCount + 1);
}

TEST_F(LibraryTest, UsesAddsALibraryOnce) {
    CompileText("uses ExtraLib, extralib;\nbegin\n  call Extra;\nend");
    EXPECT_EQ(FScripter->LibInstanceCount(), kStandardLibraryCount + 2);
    EXPECT_NE(FScripter->FindLibraryByClass(LibraryClassOf<TExtraLibrary>()), nullptr);
    ASSERT_EQ(Script().UsedUnits().Count(), 1);
    EXPECT_EQ(Script().UsedUnits().GetItem(0)->FUnitName, "ExtraLib");
    EXPECT_EQ(Script().UsedUnits().GetItem(0)->FDeclSourcePos, 6);
    auto code = Code(Script());
    EXPECT_EQ(code[1]->OpCode, inCallProc);
    EXPECT_EQ(code[1]->vString2.ToUtf8(), "TExtraLibrary");
    CompileText("uses EXTRALIB;\nbegin\nend");
    EXPECT_EQ(FScripter->LibInstanceCount(), kStandardLibraryCount + 2);
}

TEST_F(LibraryTest, UnknownLibrary) {
    try {
        CompileText("uses Nope;\nbegin\nend");
        FAIL();
    } catch (const EatInternalError& e) {
        EXPECT_STREQ(e.what(), "INTERNAL ERROR\r\nLibrary 'Nope' not found");
    }
    Script().SilentCompile();
    EXPECT_TRUE(Script().SilentCompiled());
    EXPECT_EQ(FScripter->LoadLibrary("Nope", true, true), nullptr);
    bool asked = false;
    FScripter->FOnLoadLibrary = [&](TatCustomScripter*, const std::string& name, bool, TatScripterLibrary*& library,
                                    bool& handled) {
        asked = name == "Nope";
        library = FScripter->LibInstance(0);
        handled = true;
    };
    EXPECT_EQ(FScripter->LoadLibrary2("Nope", true), FScripter->LibInstance(0));
    EXPECT_TRUE(asked);
}

TEST_F(LibraryTest, AScriptUnitBecomesALibraryClass) {
    TatScript* tools = FScripter->Scripts().Add();
    tools->SetUnitName("Tools");
    tools->SetSourceText("var Count;\nproc Sum(a; var b)\nbegin\nend\nbegin\nend");
    CompileText("uses Tools;\nbegin\n  call Sum(1, 2);\nend");
    TatClass* unit = FScripter->ClassByName("TatScriptBasedLibraryTools");
    ASSERT_NE(unit, nullptr);
    TatMethod* sum = unit->MethodByName("Sum");
    ASSERT_NE(sum, nullptr);
    EXPECT_EQ(sum->ArgCount(), 2);
    EXPECT_TRUE(sum->IsByRefArg(1));
    EXPECT_EQ(sum->ArgDefs().GetItem(0)->FName, "a");
    EXPECT_EQ(unit->MethodByName("___MAIN___"), nullptr);
    EXPECT_NE(unit->PropertyByName("Count"), nullptr);
    EXPECT_EQ(unit->FBaseScript, tools);
    EXPECT_TRUE(tools->IsRegisteredAsLibrary(FScripter.get()));
    EXPECT_EQ(Opcodes(Script()), "inPrepare inPushInteger inPushInteger inCallProc inRet");
    EXPECT_EQ(Code(Script())[3]->vString2.ToUtf8(), "TatScriptBasedLibraryTools");

    // Removing the library clears the scripts compiled against it.
    tools->SelfUnregisterAsLibrary("Tools");
    EXPECT_FALSE(Script().Compiled());
    EXPECT_TRUE(tools->Compiled());
    EXPECT_EQ(FScripter->InternalClass()->MethodByName("Tools"), nullptr);
}

// Either scripter may go first: destruction never throws and leaves nothing dangling.
TEST_F(LibraryTest, AScriptRegisteredInAnotherScripterSurvivesEitherDestructionOrder) {
    for (bool hostFirst : {true, false}) {
        auto host = std::make_unique<TatScripter>();
        Script().SetSourceText("var Count;\nbegin\nend");
        TatScriptBasedLibrary* library = Script().SelfRegisterAsLibrary(host.get(), "Shared");
        ASSERT_NE(library, nullptr);
        EXPECT_TRUE(Script().IsRegisteredAsLibrary(host.get()));
        EXPECT_NE(host->ClassByName("TatScriptBasedLibraryShared"), nullptr);
        if (hostFirst) {
            host.reset();
            EXPECT_FALSE(Script().IsRegisteredAsLibrary(nullptr));
            Script().Clear();
        } else {
            FScripter.reset();
            host.reset();
            FScripter = std::make_unique<TatScripter>();
        }
    }
}

TEST_F(LibraryTest, CircularUnitsAreRefused) {
    Script().SetUnitName("A");
    TatScript* b = FScripter->Scripts().Add();
    b->SetUnitName("B");
    b->SetSourceText("uses A;\nbegin\nend");
    try {
        CompileText("uses B;\nbegin\nend");
        FAIL();
    } catch (const EatInternalError& e) {
        EXPECT_STREQ(e.what(), "INTERNAL ERROR\r\nCircular reference for unit A.");
    }
    EXPECT_FALSE(Script().Compiling());
    EXPECT_FALSE(b->Compiling());
}

TEST_F(LibraryTest, ErrorsOfAUsedUnitNameTheUnit) {
    TatScript* b = FScripter->Scripts().Add();
    b->SetUnitName("B");
    b->SetSourceText("begin\n  z := 1;\nend");
    EXPECT_EQ(CompileErrorOf("uses B;\nbegin\nend"), "Unit B: Undeclared variable 'z'.\r\nSource position: 2,3");
}

TEST_F(LibraryTest, TranslateDir) {
    std::string appDir = TatCustomScripter::TranslateDir("$(APPDIR)");
    EXPECT_FALSE(appDir.empty());
    EXPECT_NE(appDir.back(), '/');
    struct Case {
        const char* dir;
        std::string expected;
    };
    for (const Case& c : {Case{"$(curdir)/libs", "./libs"}, Case{"$(CURDIR)", "."}, Case{"$(APPDIR)/x", appDir + "/x"},
                          Case{"/opt/lib", "/opt/lib"}, Case{"$(CUR", "$(CUR"}})
        EXPECT_EQ(TatCustomScripter::TranslateDir(c.dir), c.expected) << c.dir;
}

TEST_F(LibraryTest, SearchPathSkipsBlankLinesAndPrefersCompiledFiles) {
    fs::path root = fs::temp_directory_path() / ("vorn-libtest-" + std::to_string(::getpid()));
    fs::create_directories(root / "one");
    fs::create_directories(root / "two");
    std::ofstream(root / "one" / "Tools.src") << "begin\nend\n";
    std::ofstream(root / "two" / "Tools.bin") << "x";
    std::ofstream(root / "two" / "Tools.src") << "begin\nend\n";
    TScripterLibraryOptions options;
    options.FSearchPath = {"", "   ", (root / "one").string(), (root / "two").string()};
    options.FCompiledFileExt = ".bin";
    options.FSourceFileExt = ".src";
    FScripter->SetLibOptions(options);
    EXPECT_EQ(FScripter->FindScriptFile("Tools"), (root / "one" / "Tools.src").string());
    options.FSearchPath = {(root / "two").string()};
    FScripter->SetLibOptions(options);
    EXPECT_EQ(FScripter->FindScriptFile("Tools"), (root / "two" / "Tools.bin").string());
    EXPECT_EQ(FScripter->FindScriptFile("Absent"), "");

    // A unit found as a source file is loaded into a new script and registered.
    options.FSearchPath = {(root / "one").string()};
    options.FUseScriptFiles = true;
    FScripter->SetLibOptions(options);
    CompileText("uses Tools;\nbegin\nend");
    EXPECT_EQ(FScripter->Scripts().Count(), 2);
    EXPECT_EQ(FScripter->Scripts().Items(1)->FileName(), (root / "one" / "Tools.src").string());
    fs::remove_all(root);
}

} // namespace
} // namespace vorn::engine::testlang
