#include "engine/libraries/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/libraries/LibrarySupport.h"
#include "platform/rtti/TypeBuilder.h"

namespace vorn::engine {

namespace {

// The code of the last failed system call.
int LastCode() { return InOutCodeOfErrno(errno); }

// The last byte that a text file may end with: the old end-of-file mark.
constexpr char kEndOfFileMark = 26;

} // namespace

const platform::rtti::TClassInfo& TFileClass::ClassInfo() {
    static const platform::rtti::TClassInfo& info =
        platform::rtti::TClassBuilder<TFileClass, platform::rtti::TObject>("TFileClass", "General").Build();
    return info;
}

TFileClass::TFileClass(std::string fileName) { FTextFile.FName = std::move(fileName); }

TFileClass::~TFileClass() {
    if (FTextFile.FMode != TTextFileMode::fmClosed) Close();
}

int TFileClass::CheckName() const { return FTextFile.FName.size() > TTextFile::MaxNameLength ? 3 : 0; }

// Opening an open file closes it first, which writes out its buffer.
int TFileClass::Open(int flags, TTextFileMode mode) {
    if (FTextFile.FMode != TTextFileMode::fmClosed) Close();
    if (int code = CheckName()) return code;
    if (FTextFile.FName.empty()) return 2;
    int handle = ::open(FTextFile.FName.c_str(), flags | O_CLOEXEC, 0644);
    if (handle < 0) return LastCode();
    struct stat info {};
    if (::fstat(handle, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(handle);
        return 5;
    }
    FTextFile.FHandle = handle;
    FTextFile.FMode = mode;
    FTextFile.FBufPos = FTextFile.FBufEnd = 0;
    return 0;
}

int TFileClass::Reset() { return Open(O_RDONLY, TTextFileMode::fmInput); }

int TFileClass::Rewrite() { return Open(O_WRONLY | O_CREAT | O_TRUNC, TTextFileMode::fmOutput); }

// Cuts the file at the first end-of-file mark among its last 128 bytes, then writes
// after its last byte.
int TFileClass::Append() {
    if (int code = Open(O_RDWR, TTextFileMode::fmOutput)) return code;
    const int handle = FTextFile.FHandle;
    off_t size = ::lseek(handle, 0, SEEK_END);
    off_t start = size > off_t(TTextFile::BufferSize) ? size - off_t(TTextFile::BufferSize) : 0;
    char tail[TTextFile::BufferSize];
    ssize_t got = ::pread(handle, tail, size_t(size - start), start);
    if (got > 0) {
        const void* mark = std::memchr(tail, kEndOfFileMark, size_t(got));
        if (mark) {
            off_t cut = start + (static_cast<const char*>(mark) - tail);
            if (::ftruncate(handle, cut) != 0) return LastCode();
        }
    }
    if (::lseek(handle, 0, SEEK_END) < 0) return LastCode();
    return 0;
}

int TFileClass::FlushBuffer() {
    size_t done = 0;
    while (done < FTextFile.FBufPos) {
        ssize_t n = ::write(FTextFile.FHandle, FTextFile.FBuffer + done, FTextFile.FBufPos - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            FTextFile.FBufPos = 0;
            return n < 0 ? LastCode() : 101;
        }
        done += size_t(n);
    }
    FTextFile.FBufPos = 0;
    return 0;
}

int TFileClass::Close() {
    if (FTextFile.FMode == TTextFileMode::fmClosed) return ioNotOpen;
    int code = FTextFile.FMode == TTextFileMode::fmOutput ? FlushBuffer() : 0;
    if (::close(FTextFile.FHandle) != 0 && code == 0) code = LastCode();
    FTextFile.FHandle = -1;
    FTextFile.FMode = TTextFileMode::fmClosed;
    FTextFile.FBufPos = FTextFile.FBufEnd = 0;
    return code;
}

int TFileClass::Flush() const {
    if (FTextFile.FMode == TTextFileMode::fmClosed) return ioNotOpen;
    return FTextFile.FMode == TTextFileMode::fmOutput ? 0 : ioNotOutput;
}

// Output goes through the buffer and reaches the system file when the buffer is full.
int TFileClass::WriteBytes(const std::string& bytes) {
    if (int code = Flush()) return code;
    for (char c : bytes) {
        if (FTextFile.FBufPos == TTextFile::BufferSize)
            if (int code = FlushBuffer()) return code;
        FTextFile.FBuffer[FTextFile.FBufPos++] = c;
    }
    if (FTextFile.FBufPos == TTextFile::BufferSize) return FlushBuffer();
    return 0;
}

int TFileClass::Write(platform::UStringView text) { return WriteBytes(platform::Utf16ToAnsi(text)); }

int TFileClass::WriteLine(platform::UStringView text) { return WriteBytes(platform::Utf16ToAnsi(text) + "\r\n"); }

bool TFileClass::FillBuffer(int& error) {
    error = 0;
    if (FTextFile.FBufPos < FTextFile.FBufEnd) return true;
    ssize_t n;
    do n = ::read(FTextFile.FHandle, FTextFile.FBuffer, TTextFile::BufferSize);
    while (n < 0 && errno == EINTR);
    FTextFile.FBufPos = 0;
    FTextFile.FBufEnd = n > 0 ? size_t(n) : 0;
    if (n < 0) error = LastCode();
    return n > 0;
}

// A line ends at CR, LF or CR LF; the break itself is consumed, not returned.
int TFileClass::ReadLine(ScriptText& line) {
    if (FTextFile.FMode != TTextFileMode::fmInput)
        return FTextFile.FMode == TTextFileMode::fmClosed ? ioNotOpen : ioNotInput;
    std::string bytes;
    int error = 0;
    while (FillBuffer(error)) {
        char c = FTextFile.FBuffer[FTextFile.FBufPos++];
        if (c == '\n') break;
        if (c == '\r') {
            if (FillBuffer(error) && FTextFile.FBuffer[FTextFile.FBufPos] == '\n') ++FTextFile.FBufPos;
            break;
        }
        bytes += c;
    }
    if (error) return error;
    line = ScriptText(platform::AnsiToUtf16(bytes));
    return 0;
}

int TFileClass::Eof(bool& atEnd) {
    if (FTextFile.FMode != TTextFileMode::fmInput)
        return FTextFile.FMode == TTextFileMode::fmClosed ? ioNotOpen : ioNotInput;
    int error = 0;
    atEnd = !FillBuffer(error);
    return error;
}

// Positions count in 128-byte records, the size that the file record carries there.
int TFileClass::FilePos(int64_t& blocks) const {
    if (FTextFile.FMode == TTextFileMode::fmClosed) return ioNotOpen;
    off_t position = ::lseek(FTextFile.FHandle, 0, SEEK_CUR);
    if (position < 0) return LastCode();
    blocks = int64_t(position) / int64_t(TTextFile::BufferSize);
    return 0;
}

int TFileClass::FileSize(int64_t& blocks) const {
    if (FTextFile.FMode == TTextFileMode::fmClosed) return ioNotOpen;
    struct stat info {};
    if (::fstat(FTextFile.FHandle, &info) != 0) return LastCode();
    blocks = int64_t(info.st_size) / int64_t(TTextFile::BufferSize);
    return 0;
}

} // namespace vorn::engine
