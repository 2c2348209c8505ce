// The text-file routines through scripts: bytes written and read back, the errors for a
// missing file and a closed handle, and files left open when the scripter goes.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/engine/libraries/LibraryFixture.h"

namespace vorn::engine::librarytest {
namespace {

class TextFileRoutinesTest : public LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        FFolder = std::filesystem::temp_directory_path() / ("vorn_textfile_" + std::to_string(::getpid()));
        std::filesystem::create_directories(FFolder);
        FName = (FFolder / "out.txt").string();
    }
    void TearDown() override {
        LibraryFixture::TearDown();
        std::filesystem::remove_all(FFolder);
    }
    std::string Bytes() const {
        std::ifstream in(FName, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string Assign() const { return "AssignFile(F, '" + FName + "');\n"; }

    std::filesystem::path FFolder;
    std::string FName;
};

TEST_F(TextFileRoutinesTest, WritesAndReadsBackByteForByte) {
    RunBody(Assign() + "Rewrite(F); WriteLn(F, 'a'); Write(F, 12); CloseFile(F);", "F");
    EXPECT_EQ(Bytes(), "a\r\n12");
    Variant read = RunBody(Assign() + "Reset(F); s := ReadLn(F) + '|' + VarToStr(EOF(F)) + '|' + ReadLn(F) + '|' + "
                                      "VarToStr(EOF(F)) + '|' + ReadLn(F) + '|'; CloseFile(F); Result := s;",
                           "F, s");
    EXPECT_EQ(VarToStrUtf8(read), "a|False|12|True||");
    RunBody(Assign() + "Append(F); WriteLn(F, 'b'); WriteLn(F, 'é'); CloseFile(F);", "F");
    EXPECT_EQ(Bytes(), "a\r\n12b\r\n\xE9\r\n");
}

TEST_F(TextFileRoutinesTest, AppendCutsAtTheEndOfFileMark) {
    std::ofstream(FName, std::ios::binary) << "xy\x1Ajunk";
    RunBody(Assign() + "Append(F); Write(F, 'z'); CloseFile(F);", "F");
    EXPECT_EQ(Bytes(), "xyz");
}

TEST_F(TextFileRoutinesTest, SizesCountRecordsOf128Bytes) {
    std::ofstream(FName, std::ios::binary) << std::string(300, 'x');
    EXPECT_EQ(VarToStrUtf8(RunBody(Assign() + "Reset(F); Result := FileSize(F); CloseFile(F);", "F")), "2");
}

TEST_F(TextFileRoutinesTest, Errors) {
    struct TCase { std::string FBody; const char* FExpected; };
    const TCase cases[] = {
        {Assign() + "Rewrite(F); CloseFile(F); CloseFile(F);", "I/O error 103"},
        {"AssignFile(F, '" + (FFolder / "missing.txt").string() + "'); Reset(F);", "File not found"},
        {"AssignFile(F, '" + (FFolder / "missing.txt").string() + "'); Append(F);", "File not found"},
        {Assign() + "WriteLn(F, 'x');", "I/O error 103"},
        {Assign() + "Rewrite(F); Result := ReadLn(F);", "I/O error 104"},
        {"AssignFile(F, '" + std::string(300, 'n') + "');", "Invalid filename"},
        {"F := 5; Reset(F);", "is not a file assigned with AssignFile"},
        {"AssignFile(F, '" + FFolder.string() + "'); Rewrite(F);", "File access denied"},
    };
    for (const TCase& c : cases) EXPECT_TRUE(Contains(ErrorOf(c.FBody, "F"), c.FExpected)) << c.FBody;
}

// The path is used as given; a failure quotes it after the fixed text.
TEST_F(TextFileRoutinesTest, FailuresNameTheFile) {
    const std::string missing = (FFolder / "missing.txt").string();
    EXPECT_TRUE(Contains(ErrorOf("AssignFile(F, '" + missing + "'); Reset(F);", "F"), "File not found: '" + missing + "'"));
    EXPECT_TRUE(Contains(ErrorOf(Assign() + "ReadLn(F);", "F"), "I/O error 103: '" + FName + "'"));
    EXPECT_TRUE(Contains(ErrorOf("Chdir('" + missing + "');"), "File not found: '" + missing + "'"));
}

// Output still in the buffer when the script ends is written out when the files close,
// at the latest when the scripter (and with it the library) goes.
TEST_F(TextFileRoutinesTest, FilesLeftOpenAreFlushedAndClosed) {
    RunBody(Assign() + "Rewrite(F); Write(F, 'kept');", "F");
    EXPECT_EQ(Bytes(), "");
    General().CloseOpenFiles();
    EXPECT_EQ(Bytes(), "kept");
    RunBody(Assign() + "Rewrite(F); Write(F, 'again');", "F");
    FScripter->CurrentScript()->Clear();
    EXPECT_EQ(Bytes(), "again");
    EXPECT_EQ(General().FileCount(), 0);
    RunBody(Assign() + "Rewrite(F); Write(F, 'at the end');", "F");
    FScripter.reset();
    EXPECT_EQ(Bytes(), "at the end");
}

TEST_F(TextFileRoutinesTest, FreeReleasesTheFileObject) {
    RunBody(Assign() + "Rewrite(F); Write(F, 'x'); F.Free;", "F");
    EXPECT_EQ(General().FileCount(), 0);
    EXPECT_EQ(Bytes(), "x");
}

} // namespace
} // namespace vorn::engine::librarytest
