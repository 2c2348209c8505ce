// The General library's text-file routines: each reads the file object from its first
// argument, runs one operation of the file and turns a non-zero input/output code into
// the input/output error.

#include "engine/libraries/GeneralAdapters.h"
#include "engine/vm/ScriptValue.h"

namespace vorn::engine::general {

namespace {

void Check(int code) {
    if (code) RaiseInOutError(code);
}

} // namespace

// Each call makes a new file object; one the variable held before stays as it was.
void AssignFileProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    std::string name = ArgText(m, 1).ToUtf8();
    if (name.size() > TTextFile::MaxNameLength) RaiseInOutError(3);
    TFileClass* file = library.NewFile(std::move(name));
    m->SetInputArg(0, ObjectToVar(file->ObjectNumber()));
}

void ResetProc(TatSystemLibrary& library, TatVirtualMachine* m) { Check(library.FileArg(m, 0)->Reset()); }
void RewriteProc(TatSystemLibrary& library, TatVirtualMachine* m) { Check(library.FileArg(m, 0)->Rewrite()); }
void AppendProc(TatSystemLibrary& library, TatVirtualMachine* m) { Check(library.FileArg(m, 0)->Append()); }
void CloseFileProc(TatSystemLibrary& library, TatVirtualMachine* m) { Check(library.FileArg(m, 0)->Close()); }

void WriteProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    Check(file->Write(VarToStr(m->GetInputArgAsVariant(1)).View()));
    Check(file->Flush());
}

void WriteLnProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    TFileClass* file = library.FileArg(m, 0);
    Check(file->WriteLine(VarToStr(m->GetInputArgAsVariant(1)).View()));
    Check(file->Flush());
}

void ReadLnProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    ScriptText line;
    Check(library.FileArg(m, 0)->ReadLine(line));
    ReturnText(m, line);
}

void EofProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    bool atEnd = true;
    Check(library.FileArg(m, 0)->Eof(atEnd));
    ReturnBoolean(m, atEnd);
}

void FilePosProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    int64_t blocks = 0;
    Check(library.FileArg(m, 0)->FilePos(blocks));
    ReturnInteger(m, int32_t(blocks));
}

void FileSizeProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    int64_t blocks = 0;
    Check(library.FileArg(m, 0)->FileSize(blocks));
    ReturnInteger(m, int32_t(blocks));
}

} // namespace vorn::engine::general
