#pragma once
// The General library (`TatSystemLibrary`): the routines every script calls without
// declaring anything, the last-exception properties, TObject's Create and Free, and the
// text-file objects its scripts open. One instance per scripter.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/compiler/ScriptLibrary.h"
#include "engine/libraries/TextFile.h"

namespace vorn::engine {

class TatSystemLibrary : public TatScripterLibrary {
public:
    static constexpr const char* LibraryClassName = "TatSystemLibrary";
    static std::string LibraryName() { return "General"; }

    explicit TatSystemLibrary(TatCustomScripter* scripter);
    // Flushes and closes the files the scripts left open (failures cannot be reported here).
    ~TatSystemLibrary() override;

    void Init() override;
    // Files a script left open are flushed and closed when the script is cleared.
    void ScriptCleared(TatScript*) override { CloseOpenFiles(); }
    static const platform::rtti::TClassInfo& ClassInfo();

    // The user dialogs. The machine has no message operations of its own yet, so the
    // host sets these; without them ShowMessage shows nothing and InputQuery answers
    // "cancelled".
    std::function<void(TatVirtualMachine* machine, const std::string& message)> FOnShowMessage;
    std::function<bool(TatVirtualMachine* machine, const std::string& caption, const std::string& prompt,
                       std::string& value)>
        FOnInputQuery;

    // ---- Objects the scripts create and free --------------------------------------------
    // A new file object for `fileName`, owned by this library until a script frees it.
    TFileClass* NewFile(std::string fileName);
    int FileCount() const { return static_cast<int>(FFiles.size()); }
    // Flushes and closes every open file and frees every file object. Raises EInOutError
    // naming the first file that failed (after closing all of them).
    void CloseOpenFiles();
    // Frees the object a script frees with `Free`: file objects and what the scripts
    // created; stale references and host objects are refused with a runtime error.
    void FreeObject(TatVirtualMachine* machine, int64_t objectNumber);
    // The file object the argument refers to; a runtime error for anything else.
    TFileClass* FileArg(TatVirtualMachine* machine, int i) const;

private:
    void DefineBaseObjectMethods();
    void DefineExceptionProperties(TatClass* atClass);

    std::vector<std::unique_ptr<TFileClass>> FFiles;
};

// Registers the General, Math and StrUtils libraries in the process-wide list, each once
// per list, in that order.
void RegisterGeneralLibrary();
void RegisterMathLibrary();
void RegisterStrUtilsLibrary();

} // namespace vorn::engine
