#include "engine/libraries/LibrarySupport.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "engine/vm/ScriptValue.h"
#include "engine/vm/VariantErrors.h"
#include "platform/Exceptions.h"

namespace vorn::engine {

TatMethod* DefineLibraryRoutine(TatClass* atClass, const TLibraryRoutine& row) {
    TatProcDef def;
    def.FName = row.FName;
    def.FArgCount = row.FArgs;
    def.FResultDataType = row.FResultKind;
    def.FResultClass = row.FResultClass;
    def.FProc = row.FProc;
    def.FDefArgCount = row.FOptional;
    TatMethod* method = atClass->DefineMethod(def, row.FHint);
    std::vector<uint8_t> positions;
    for (const char* p = row.FByRef; *p; ++p) positions.push_back(uint8_t(*p - '1'));
    if (!positions.empty()) method->SetVarArgs(positions);
    return method;
}

// The getter's object is the property itself, so one code address serves every constant.
TatProperty* AddLibraryConstant(TatClass* atClass, const std::string& name, const Variant& value) {
    TatPropDef def;
    def.FName = name;
    def.FDataType = tkVariant;
    def.FGetter = {[](void*, TatVirtualMachine*) {}, nullptr};
    TatProperty* property = atClass->SetProp(def);
    property->FValue = value;
    property->FGetter = {[](void* o, TatVirtualMachine* m) { m->ReturnOutputArg(static_cast<TatProperty*>(o)->FValue); },
                         property};
    return property;
}

ScriptText ArgText(const TatVirtualMachine* m, int i) { return VarToStr(m->GetInputArg(i)); }

ScriptText ArgStrictText(const TatVirtualMachine* m, int i) {
    Variant v = m->GetInputArg(i);
    if (v.VType() == varNull) RaiseVariantCastError(varNull, varUString);
    return ScriptValueAsString(v);
}

double ArgStrictFloat(const TatVirtualMachine* m, int i) { return ScriptValueAsDouble(m->GetInputArg(i)); }

void ReturnText(TatVirtualMachine* m, platform::UStringView text) { m->ReturnOutputArg(Variant::FromText(text)); }

platform::UStringView CopyText(platform::UStringView s, int64_t index, int64_t count) {
    int64_t start = std::clamp<int64_t>(index - 1, 0, int64_t(s.size()));
    if (count < 0) return {};
    return s.substr(size_t(start), size_t(std::min<int64_t>(count, int64_t(s.size()) - start)));
}

std::mt19937_64& LibraryRandomGenerator() {
    static std::mt19937_64 generator{std::random_device{}()};
    return generator;
}

double LibraryRandomFloat() { return double(LibraryRandomGenerator()() >> 11) * 0x1.0p-53; }

int64_t LibraryRandomInteger(int64_t range) {
    if (range <= 0) return 0;
    std::uniform_int_distribution<int64_t> pick(0, range - 1);
    return pick(LibraryRandomGenerator());
}

std::string InOutErrorText(int code) {
    switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + std::to_string(code);
    }
}

void RaiseInOutError(int code) { throw platform::EInOutError(InOutErrorText(code)); }

void RaiseInOutError(int code, std::string_view path) {
    throw platform::EInOutError(InOutErrorText(code) + ": '" + std::string(path) + "'");
}

int InOutCodeOfErrno(int error) {
    switch (error) {
    case ENOENT: return 2;
    case ENOTDIR: case ENAMETOOLONG: case EINVAL: case ELOOP: return 3;
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: case EISDIR: case EROFS: case ETXTBSY: return 5;
    case ENOSPC: case EDQUOT: case EFBIG: return 101;
    default: return error;
    }
}

} // namespace vorn::engine
