// The General library's value routines: Format, variant arrays and their bounds, sets,
// objects, the user dialogs, raising errors, and the routines that need a service this
// engine does not have (automation objects, in-process execution).

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "engine/compiler/Scripter.h"
#include "engine/libraries/GeneralAdapters.h"
#include "engine/vm/EngineErrors.h"
#include "engine/vm/ScriptValue.h"
#include "platform/Format.h"
#include "platform/rtti/LiveObjects.h"

namespace vorn::engine::general {

namespace {

// The most elements VarArrayCreate builds: larger requests fail cleanly instead of
// exhausting memory (16 bytes per element).
constexpr int64_t kMaxArrayElements = int64_t(1) << 24;
// The most dimensions of an array (the bounds list holds a pair per dimension).
constexpr size_t kMaxArrayDimensions = 64;

[[noreturn]] void IllegalFormatArgument() { RaiseRuntimeError("Illegal argument to Format function"); }

// One Format argument from one array element, by the element's kind.
platform::TFormatArg FormatArgOf(const Variant& element) {
    using platform::TFormatArg;
    switch (element.VType()) {
    case varSmallint: case varInteger: case varShortInt: case varByte: case varWord: case varLongWord:
        return TFormatArg::Integer(VarToInteger(element));
    case varSingle: return TFormatArg::FloatValue(element.RawSingle());
    case varDouble: case varDate: return TFormatArg::FloatValue(element.RawDouble());
    case varCurrency: return TFormatArg::Currency(element.RawInt64());
    case varInt64: return TFormatArg::Int64(element.RawInt64());
    case varBoolean: return TFormatArg::Boolean(element.RawBoolean());
    case varOleStr: case varString: case varUString: return TFormatArg::Wide(platform::UString(element.RawText()));
    case varByRef | varVariant:
        if (ScriptValueIsString(*element.RawTarget()))
            return TFormatArg::Wide(platform::UString(ScriptValueAsString(*element.RawTarget()).View()));
        IllegalFormatArgument();
    default: IllegalFormatArgument();
    }
}

// The zero value of an array element type, or false for a type arrays cannot hold.
bool ZeroOfType(int32_t varType, Variant& zero) {
    switch (varType) {
    case varSmallint: zero = Variant::FromSmallint(0); return true;
    case varInteger: zero = Variant::FromInteger(0); return true;
    case varSingle: zero = Variant::FromSingle(0); return true;
    case varDouble: zero = Variant::FromDouble(0); return true;
    case varCurrency: zero = Variant::FromCurrency(0); return true;
    case varDate: zero = Variant::FromDate(0); return true;
    case varError: zero = Variant::FromError(0); return true;
    case varShortInt: zero = Variant::FromShortInt(0); return true;
    case varByte: zero = Variant::FromByte(0); return true;
    case varWord: zero = Variant::FromWord(0); return true;
    case varLongWord: zero = Variant::FromLongWord(0); return true;
    case varInt64: zero = Variant::FromInt64(0); return true;
    case varUInt64: zero = Variant::FromUInt64(0); return true;
    case varBoolean: zero = Variant::FromBoolean(false); return true;
    case varOleStr: case varString: case varUString:
        zero = Variant::FromText(platform::UStringView(), TVarType(varType));
        return true;
    case varVariant: zero = Variant(); return true;
    default: return false;
    }
}

// Builds dimension `d` onward of an array; every dimension beyond the first is an array
// in each element of the one before, which is how the machine indexes A[i, j].
Variant BuildArray(const std::vector<int32_t>& bounds, size_t d, const Variant& zero) {
    Variant result = Variant::NewArray(bounds[d], bounds[d + 1]);
    for (Variant& item : result.MutableArrayItems()) item = d + 2 < bounds.size() ? BuildArray(bounds, d + 2, zero) : zero;
    return result;
}

// The array of dimension `dim` (1 = the outermost) of a value, for the bound routines.
const Variant& DimensionOf(const Variant& value, int32_t dim) {
    const Variant* level = &DerefPValue(value);
    if (!level->IsArray()) throw platform::EVariantError("Variant is not an array");
    for (int32_t d = 1; d < dim; ++d) {
        if (level->ArrayItems().empty() || !DerefPValue(level->ArrayItems()[0]).IsArray())
            throw platform::EVariantError("Variant or safe array index out of bounds");
        level = &DerefPValue(level->ArrayItems()[0]);
    }
    if (dim < 1) throw platform::EVariantError("Variant or safe array index out of bounds");
    return *level;
}

} // namespace

void FormatProc(TatSystemLibrary&, TatVirtualMachine* m) {
    Variant args = m->GetInputArg(1);
    if (!args.IsArray()) RaiseRuntimeError("Format function expects second argument as a variant vector");
    std::vector<platform::TFormatArg> list;
    list.reserve(args.ArrayItems().size());
    for (const Variant& element : args.ArrayItems()) list.push_back(FormatArgOf(element));
    ReturnText(m, platform::Format(ArgText(m, 0).View(), list));
}

void VarIsNullProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnBoolean(m, m->GetInputArg(0).VType() == varNull); }
void HighProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnInteger(m, ScriptArrayHigh(m->GetInputArg(0))); }
void LowProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnInteger(m, ScriptArrayLow(m->GetInputArg(0))); }
void VarArrayHighBoundProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnInteger(m, ScriptArrayHigh(DimensionOf(m->GetInputArg(0), ArgInteger(m, 1))));
}
void VarArrayLowBoundProc(TatSystemLibrary&, TatVirtualMachine* m) {
    ReturnInteger(m, ScriptArrayLow(DimensionOf(m->GetInputArg(0), ArgInteger(m, 1))));
}

void VarArrayCreateProc(TatSystemLibrary&, TatVirtualMachine* m) {
    Variant boundsArg = m->GetInputArg(0);
    if (!boundsArg.IsArray()) RaiseRuntimeError("Invalid array dimension");
    std::vector<int32_t> bounds;
    for (const Variant& element : boundsArg.ArrayItems()) bounds.push_back(VarToInteger(element));
    Variant zero;
    int64_t elements = 1;
    bool valid = !bounds.empty() && bounds.size() % 2 == 0 && bounds.size() <= 2 * kMaxArrayDimensions &&
                 ZeroOfType(ArgInteger(m, 1), zero);
    for (size_t d = 0; valid && d < bounds.size(); d += 2) {
        int64_t count = int64_t(bounds[d + 1]) - bounds[d] + 1;
        valid = count >= 0;
        elements *= std::max<int64_t>(count, 1);
        valid = valid && elements <= kMaxArrayElements;
    }
    if (!valid) throw platform::EVariantError("Error creating variant or safe array");
    m->ReturnOutputArgAsVariant(BuildArray(bounds, 0, zero));
}

// A lone text would name an enumeration member, which needs type information that a
// library call does not have.
void SetOfProc(TatSystemLibrary&, TatVirtualMachine* m) {
    Variant v = m->GetInputArg(0);
    if (ScriptValueIsString(v)) RaiseRuntimeError("SetOf expects an array of ordinal values, not a text");
    ReturnInteger(m, int32_t(VarToSet(v, nullptr)));
}

void AssignedProc(TatSystemLibrary&, TatVirtualMachine* m) { ReturnBoolean(m, m->GetInputArgAsObject(0) != 0); }

// Machine and scripter are handed out only when the host made them script objects.
void MachineProc(TatSystemLibrary&, TatVirtualMachine* m) {
    int64_t number = platform::rtti::TLiveObjects::Instance().NumberOf(m);
    if (number == 0) RaiseRuntimeError("The machine is not available to scripts here");
    m->ReturnOutputArg(ObjectToVar(number));
}
void ScripterProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    int64_t number = platform::rtti::TLiveObjects::Instance().NumberOf(library.Scripter());
    if (number == 0) RaiseRuntimeError("The scripter is not available to scripts here");
    m->ReturnOutputArg(ObjectToVar(number));
}

void ShowMessageProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    std::string text = ArgText(m, 0).ToUtf8();
    if (library.FOnShowMessage) library.FOnShowMessage(m, text);
}

void InputQueryProc(TatSystemLibrary& library, TatVirtualMachine* m) {
    std::string value = ArgText(m, 2).ToUtf8();
    std::string caption = ArgText(m, 0).ToUtf8(), prompt = ArgText(m, 1).ToUtf8();
    std::string answer = value;
    bool confirmed = library.FOnInputQuery && library.FOnInputQuery(m, caption, prompt, answer);
    ReturnBoolean(m, confirmed);
    m->SetInputArg(2, Variant::FromText(ScriptText::FromUtf8(confirmed ? answer : value)));
}

void RaiseProc(TatSystemLibrary&, TatVirtualMachine* m) { RaiseRuntimeError(ArgText(m, 0).ToUtf8()); }

// There is no automation service on this platform.
void CreateOleObjectProc(TatSystemLibrary&, TatVirtualMachine* m) {
    RaiseRuntimeError("Automation objects are not supported: cannot create '" + ArgText(m, 0).ToUtf8() + "'");
}
void GetActiveOleObjectProc(TatSystemLibrary&, TatVirtualMachine* m) {
    RaiseRuntimeError("Automation objects are not supported: no running '" + ArgText(m, 0).ToUtf8() + "'");
}

// Running script text inside the current routine needs the debugger's in-process execution.
void InterpretProc(TatSystemLibrary&, TatVirtualMachine*) {
    RaiseRuntimeError("Interpret is not available: in-process execution is not supported yet");
}

// The engine has no sound device of its own.
void BeepProc(TatSystemLibrary&, TatVirtualMachine*) {}

void ChdirProc(TatSystemLibrary&, TatVirtualMachine* m) {
    const std::string folder = ArgText(m, 0).ToUtf8();
    if (::chdir(folder.c_str()) != 0) RaiseInOutError(InOutCodeOfErrno(errno), folder);
}

} // namespace vorn::engine::general
