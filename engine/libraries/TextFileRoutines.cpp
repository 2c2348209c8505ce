// The General library's text-file routines: each reads the file object from its first
// argument, runs one operation of the file and turns a non-zero input/output code into
// the input/output error.

#include "engine/libraries/GeneralAdapters.h"
#include "engine/vm/ScriptValue.h"

namespace vorn::engine::general {

namespace {

// A failure names the file it concerns.
void Check(const TFileClass* file, int code) {
    if (code) RaiseInOutError(code, file->FileName());
}

} // namespace

// Each call makes a new file object; one the variable held before stays as it was.
void AssignFileProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    std::string name = ArgText(m, 1).ToUtf8();
    if (name.size() > TTextFile::MaxNameLength) RaiseInOutError(3, name);
    TFileClass* file = library.NewFile(std::move(name));
    m->SetInputArg(0, ObjectToVar(file->ObjectNumber()));
}

void ResetProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    Check(file, file->Reset());
}
void RewriteProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    Check(file, file->Rewrite());
}
void AppendProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    Check(file, file->Append());
}
void CloseFileProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    Check(file, file->Close());
}

void WriteProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    Check(file, file->Write(VarToStr(m->GetInputArgAsVariant(1)).View()));
    Check(file, file->Flush());
}

void WriteLnProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    Check(file, file->WriteLine(VarToStr(m->GetInputArgAsVariant(1)).View()));
    Check(file, file->Flush());
}

void ReadLnProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    ScriptText line;
    Check(file, file->ReadLine(line));
    ReturnText(m, line);
}

void EofProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    bool atEnd = true;
    Check(file, file->Eof(atEnd));
    ReturnBoolean(m, atEnd);
}

void FilePosProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    int64_t blocks = 0;
    Check(file, file->FilePos(blocks));
    ReturnInteger(m, int32_t(blocks));
}

void FileSizeProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    int64_t blocks = 0;
    Check(file, file->FileSize(blocks));
    ReturnInteger(m, int32_t(blocks));
}

} // namespace vorn::engine::general
