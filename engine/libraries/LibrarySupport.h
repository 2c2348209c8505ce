#pragma once
// What the General, Math and StrUtils libraries share: binding adapters to registry
// entries, the constants that library classes carry, argument readers with the strict
// platform conversions, the process-wide random generator and the input/output errors.

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "engine/compiler/ClassRegistry.h"
#include "engine/vm/ScriptText.h"
#include "engine/vm/VirtualMachine.h"

namespace vorn::engine {

// An adapter of library L: a free function taking the library instance and the machine.
template <class L, void (*F)(L&, TatVirtualMachine*)>
TMachineProc BindAdapter(L* library) {
    return {[](void* o, TatVirtualMachine* m) { F(*static_cast<L*>(o), m); }, library};
}

// One row of a registration table.
struct TLibraryRoutine {
    const char* FName;
    int32_t FArgs;
    int32_t FOptional;
    TatTypeKind FResultKind;
    const char* FByRef;  // 1-based by-reference positions as digits ("234"); "" for none
    const char* FHint;
    TMachineProc FProc;
    const platform::rtti::TClassInfo* FResultClass = nullptr;
};
// Defines the routine as a method of `atClass` (replacing a same-named one) and marks
// its by-reference arguments.
TatMethod* DefineLibraryRoutine(TatClass* atClass, const TLibraryRoutine& row);
// A read-only property of `atClass` that answers `value`: the library constants.
TatProperty* AddLibraryConstant(TatClass* atClass, const std::string& name, const Variant& value);

// ---- Argument readers --------------------------------------------------------------------
// The argument's text (Null gives the empty text), UTF-16.
ScriptText ArgText(const TatVirtualMachine* m, int i);
// The strict variant-to-text cast: Null fails with "Could not convert variant ...".
ScriptText ArgStrictText(const TatVirtualMachine* m, int i);
// The strict variant-to-double cast (True is -1, text must be a number, Null fails).
double ArgStrictFloat(const TatVirtualMachine* m, int i);
inline int32_t ArgInteger(const TatVirtualMachine* m, int i) { return m->GetInputArgAsInteger(i); }

void ReturnText(TatVirtualMachine* m, platform::UStringView text);
inline void ReturnText(TatVirtualMachine* m, const ScriptText& text) { m->ReturnOutputArg(Variant::FromText(text)); }
inline void ReturnBoolean(TatVirtualMachine* m, bool v) { m->ReturnOutputArg(Variant::FromBoolean(v)); }
inline void ReturnInteger(TatVirtualMachine* m, int32_t v) { m->ReturnOutputArg(Variant::FromInteger(v)); }
inline void ReturnFloat(TatVirtualMachine* m, double v) { m->ReturnOutputArg(Variant::FromDouble(v)); }

// Copy's cut, also used by StrUtils: the start is index - 1 limited to 0 .. the length;
// a negative count gives the empty text, otherwise at most `count` units from the start.
platform::UStringView CopyText(platform::UStringView s, int64_t index, int64_t count);

// ---- Shared services -------------------------------------------------------------------------
// The process-wide generator behind Random, RandomRange and RandG: a 64-bit Mersenne
// twister seeded once from the system's entropy source. Scripts cannot seed it.
std::mt19937_64& LibraryRandomGenerator();
// A float in [0, 1) with 53 random bits.
double LibraryRandomFloat();
// An integer in [0, range); 0 when range is 0 or less.
int64_t LibraryRandomInteger(int64_t range);

// The text of an input/output error code: "File not found" for 2, ..., "I/O error %d".
std::string InOutErrorText(int code);
// Raises EInOutError with that text.
[[noreturn]] void RaiseInOutError(int code);
// Raises EInOutError with that text followed by the path it concerns ("File not found:
// '/data/in.txt'"), so the user sees which file failed; the path is quoted as given.
[[noreturn]] void RaiseInOutError(int code, std::string_view path);
// The input/output code of a system errno value.
int InOutCodeOfErrno(int error);

} // namespace vorn::engine
