#pragma once
// The file object behind the General library's text-file routines: one sequential text
// file with a 128-byte transfer buffer, Windows-1252 text and CR LF line breaks. Every
// operation answers an input/output code (0 for success) instead of raising, so the
// adapters decide how a failure reaches the script.

#include <cstdint>
#include <string>

#include "engine/vm/ScriptText.h"
#include "platform/rtti/Object.h"

namespace vorn::engine {

enum class TTextFileMode : uint8_t { fmClosed, fmInput, fmOutput };

// The text-file record: name, open mode, system handle and transfer buffer.
struct TTextFile {
    static constexpr size_t BufferSize = 128;
    // Names longer than this are refused with "Invalid filename".
    static constexpr size_t MaxNameLength = 259;

    std::string FName;  // UTF-8, used as given
    TTextFileMode FMode = TTextFileMode::fmClosed;
    int FHandle = -1;
    char FBuffer[BufferSize] = {};
    size_t FBufPos = 0;  // next byte to read / bytes waiting to be written
    size_t FBufEnd = 0;  // bytes read into the buffer
};

class TFileClass : public platform::rtti::TObject {
public:
    // The codes the runtime uses for a file in the wrong state.
    static constexpr int ioNotOpen = 103;
    static constexpr int ioNotInput = 104;
    static constexpr int ioNotOutput = 105;

    explicit TFileClass(std::string fileName);
    // Closes the file (writing out its buffer); a failure here cannot reach a script.
    ~TFileClass() override;
    TFileClass(const TFileClass&) = delete;
    TFileClass& operator=(const TFileClass&) = delete;

    // 3 when the name is too long, else 0.
    int CheckName() const;
    int Reset();
    int Rewrite();
    int Append();
    // Writes out the buffer and closes; ioNotOpen when the file is not open.
    int Close();
    int Write(platform::UStringView text);
    int WriteLine(platform::UStringView text);
    // The flush step after Write/WriteLn: only checks that the file is open for output.
    int Flush() const;
    // Reads up to the line end and moves past the line break; "" at the end of the file.
    int ReadLine(ScriptText& line);
    int Eof(bool& atEnd);
    int FilePos(int64_t& blocks) const;
    int FileSize(int64_t& blocks) const;

    const std::string& FileName() const { return FTextFile.FName; }
    TTextFileMode Mode() const { return FTextFile.FMode; }

    static const platform::rtti::TClassInfo& ClassInfo();

    TTextFile FTextFile;

private:
    int Open(int flags, TTextFileMode mode);
    int WriteBytes(const std::string& bytes);
    int FlushBuffer();
    // Fills the buffer when it is used up; false at the end of the file (code in `error`).
    bool FillBuffer(int& error);
};

} // namespace vorn::engine
