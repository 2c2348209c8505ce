// Writing and reading compiled images. All integers are little-endian, texts are UTF-16LE
// code units counted (not bytes) by a length stored before them. The stream is: header,
// implicit-class records, used-unit records, symbol-table block, instruction records.
//
// The symbol-table block is our own deterministic form of the script's symbol table:
// routines (each with its variables), globals, then the main routine's name, the script
// class name, the form resource, the behaviour, the unit name and the number of
// instruction records that follow (so an image cut at a record boundary is not taken for
// a shorter script). Reading it back and writing it again gives the same bytes.

#include "engine/compiler/CompiledImage.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "engine/compiler/BindingMessages.h"
#include "engine/compiler/DefaultInstances.h"
#include "engine/compiler/Script.h"
#include "engine/compiler/ScriptInfo.h"
#include "engine/compiler/Scripter.h"
#include "engine/vm/EngineErrors.h"
#include "platform/Unicode.h"

namespace vorn::engine {

namespace {

// "reZudera Executable File" followed by the code unit 26.
constexpr char16_t ImageSignature[] = u"reZudera Executable File\x1A";
constexpr size_t SignatureUnits = 25;
constexpr size_t ImplicitClassRecordSize = 28;
constexpr size_t UsedUnitRecordSize = 12;

// A damaged image: a read past the end, a negative or oversized count, an opcode or an
// enumeration value outside its range. Loading reports it as "Unable to read stream (%s)".
class EDamagedImage : public platform::Exception {
public:
    using Exception::Exception;
};

[[noreturn]] void Damaged(size_t position) {
    throw EDamagedImage(BindingMessage(TBindingMessage::bmTruncatedImage, std::to_string(position)));
}

// Appends little-endian integers and counted UTF-16LE texts.
class TImageWriter {
public:
    explicit TImageWriter(std::string& out) : FOut(out) {}
    void U8(uint8_t v) { FOut.push_back(static_cast<char>(v)); }
    void U16(uint16_t v) { U8(uint8_t(v)), U8(uint8_t(v >> 8)); }
    void U32(uint32_t v) { U16(uint16_t(v)), U16(uint16_t(v >> 16)); }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void U64(uint64_t v) { U32(uint32_t(v)), U32(uint32_t(v >> 32)); }
    void Zeros(size_t n) { FOut.append(n, '\0'); }
    void Units(platform::UStringView text) {
        for (char16_t c : text) U16(static_cast<uint16_t>(c));
    }
    // A length, then the code units (the symbol-table block keeps each length beside its text).
    void Text(platform::UStringView text) {
        I32(Length(text));
        Units(text);
    }
    void Text(std::string_view utf8) { Text(platform::Utf8ToUtf16(utf8)); }
    static int32_t Length(platform::UStringView text) {
        if (text.size() > size_t(INT32_MAX)) InternalError("text too long for a compiled image");
        return static_cast<int32_t>(text.size());
    }

private:
    std::string& FOut;
};

// Reads little-endian integers and texts from a window of the stream; every read checks
// the bytes that remain, so no length or count can make it read or allocate past the end.
class TImageReader {
public:
    TImageReader(std::string_view data, size_t base) : FData(data), FBase(base) {}
    size_t Position() const { return FPos; }
    size_t Remaining() const { return FData.size() - FPos; }
    void Need(size_t n) const {
        if (n > Remaining()) Damaged(FBase + FPos);
    }
    uint8_t U8() {
        Need(1);
        return static_cast<uint8_t>(FData[FPos++]);
    }
    uint16_t U16() {
        uint16_t lo = U8();
        return static_cast<uint16_t>(lo | (uint16_t(U8()) << 8));
    }
    uint32_t U32() {
        uint32_t lo = U16();
        return lo | (uint32_t(U16()) << 16);
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint64_t U64() {
        uint64_t lo = U32();
        return lo | (uint64_t(U32()) << 32);
    }
    void Skip(size_t n) {
        Need(n);
        FPos += n;
    }
    // A count or length read earlier: negative values, or more items of `minSize` bytes
    // than the bytes left could hold, are damage.
    size_t Count(int32_t value, size_t minSize) const {
        if (value < 0 || (minSize > 0 && size_t(value) > Remaining() / minSize)) Damaged(FBase + FPos);
        return size_t(value);
    }
    platform::UString Units(int32_t length) {
        size_t n = Count(length, 2);
        platform::UString text(n, u'\0');
        for (size_t i = 0; i < n; ++i) text[i] = static_cast<char16_t>(U16());
        return text;
    }
    platform::UString Text() { return Units(I32()); }
    std::string Utf8() { return platform::Utf16ToUtf8(Text()); }
    // An enumeration value stored as a byte, checked against its last value.
    uint8_t Enum(uint8_t last) {
        uint8_t v = U8();
        if (v > last) Damaged(FBase + FPos - 1);
        return v;
    }
    bool Flag() { return Enum(1) != 0; }
    std::string_view Window(size_t n) {
        Need(n);
        std::string_view w = FData.substr(FPos, n);
        FPos += n;
        return w;
    }

private:
    std::string_view FData;
    size_t FBase;
    size_t FPos = 0;
};

// ---- Symbol-table block -------------------------------------------------------------------

void WriteVariable(TImageWriter& w, const TatVariableInfo& v) {
    w.Text(v.FVarName);
    w.I32(v.FDeclarationSourcePos);
    w.I32(v.FArgIndex);
    w.U8(v.FModifier);
    w.U8(v.FGlobal ? 1 : 0);
    w.Text(v.DeclaredClassName());
    w.Text(v.FTypeDecl);
    w.I32(v.FSystemType);
    w.U8(v.FVisibility);
}

void WriteVariables(TImageWriter& w, const TatVariablesInfo& list) {
    w.I32(list.Count());
    for (int i = 0; i < list.Count(); ++i) WriteVariable(w, *list.GetItem(i));
}

void WriteRoutine(TImageWriter& w, const TatRoutineInfo& r) {
    w.Text(r.FName);
    WriteVariables(w, r.Variables());
    w.U8(r.FIsFunction ? 1 : 0);
    w.I32(r.FArgCount);
    w.U32(r.FByRefArgMask);
    w.I32(static_cast<int32_t>(r.FByRefArgsBeyondMask.size()));
    for (int n : r.FByRefArgsBeyondMask) w.I32(n);
    w.I32(r.FResultIndex);
    w.U8(r.FCallingConvention);
    w.Text(r.FExternalDll);
    w.Text(r.FExternalName);
    w.Text(r.FResultTypeDecl);
    w.Text(r.ResultClassName());
    w.U8(r.FVisibility);
}

void WriteScriptInfo(TImageWriter& w, const TatScriptInfo& info, int32_t instructionCount) {
    w.I32(info.Routines().Count());
    for (int i = 0; i < info.Routines().Count(); ++i) WriteRoutine(w, *info.Routines().GetItem(i));
    WriteVariables(w, info.Globals());
    w.Text(info.MainRoutineName());
    w.Text(info.FScriptClassName);
    w.Text(info.FFormResource);
    w.U8(info.FBehavior);
    w.Text(info.FUnitName);
    w.I32(instructionCount);
}

// Class names of the symbol table, resolved once the image's implicit classes are loaded.
struct TPendingClassNames {
    std::vector<std::pair<TatVariableInfo*, std::string>> Variables;
    std::vector<std::pair<TatRoutineInfo*, std::string>> Results;
    void Resolve() const {
        for (const auto& [v, name] : Variables)
            if (!name.empty()) v->SetDeclaredClassName(name);
        for (const auto& [r, name] : Results)
            if (!name.empty()) r->SetResultClassName(name);
    }
};

// The smallest encoded variable and routine, so counts can be checked against the bytes left.
constexpr size_t MinVariableSize = 4 + 4 + 4 + 1 + 1 + 4 + 4 + 4 + 1;
constexpr size_t MinRoutineSize = 4 + 4 + 1 + 4 + 4 + 4 + 4 + 1 + 4 * 4 + 1;

void ReadVariables(TImageReader& r, TatVariablesInfo& list, TPendingClassNames& pending) {
    size_t count = r.Count(r.I32(), MinVariableSize);
    for (size_t i = 0; i < count; ++i) {
        TatVariableInfo* v = list.Add();
        v->FVarName = r.Utf8();
        v->FDeclarationSourcePos = r.I32();
        v->FArgIndex = r.I32();
        v->FModifier = static_cast<TatArgumentModifier>(r.Enum(moVar));
        v->FGlobal = r.Flag();
        pending.Variables.emplace_back(v, r.Utf8());
        v->FTypeDecl = r.Utf8();
        v->FSystemType = r.I32();
        v->FVisibility = static_cast<TatVariableVisibility>(r.Enum(vvPrivate));
    }
}

void ReadRoutine(TImageReader& r, TatRoutineInfo& routine, TPendingClassNames& pending) {
    routine.FName = r.Utf8();
    ReadVariables(r, routine.Variables(), pending);
    routine.FIsFunction = r.Flag();
    routine.FArgCount = r.I32();
    // Arguments are the routine's first variables: a count beyond them would give locals
    // negative slots.
    if (routine.FArgCount < 0 || routine.FArgCount > routine.Variables().Count()) Damaged(r.Position());
    routine.FByRefArgMask = r.U32();
    size_t beyond = r.Count(r.I32(), 4);
    for (size_t i = 0; i < beyond; ++i) routine.FByRefArgsBeyondMask.push_back(r.I32());
    routine.FResultIndex = r.I32();
    routine.FCallingConvention = static_cast<TatCallingConvention>(r.Enum(ccSafeCall));
    routine.FExternalDll = r.Utf8();
    routine.FExternalName = r.Utf8();
    routine.FResultTypeDecl = r.Utf8();
    pending.Results.emplace_back(&routine, r.Utf8());
    routine.FVisibility = static_cast<TatRoutineVisibility>(r.Enum(rvPrivate));
}

// Returns the number of instruction records the image declares.
size_t ReadScriptInfo(TImageReader& r, TatScriptInfo& info, TPendingClassNames& pending) {
    size_t count = r.Count(r.I32(), MinRoutineSize);
    for (size_t i = 0; i < count; ++i) ReadRoutine(r, *info.Routines().Add(), pending);
    ReadVariables(r, info.Globals(), pending);
    info.SetMainRoutineName(r.Utf8());
    info.FScriptClassName = r.Utf8();
    info.FFormResource = r.Utf8();
    info.FBehavior = static_cast<TatScriptBehavior>(r.Enum(sbForm));
    info.FUnitName = r.Utf8();
    int32_t instructionCount = r.I32();
    if (r.Remaining() != 0 || instructionCount < 0) Damaged(r.Position());
    return size_t(instructionCount);
}

// ---- Header, class references, used units, instructions ----------------------------------

void WriteHeader(TImageWriter& w, int32_t classCount, int32_t unitCount, size_t symbolSize) {
    w.Units(platform::UStringView(ImageSignature, SignatureUnits));
    w.U8(TatCompiledImage::Version);
    w.U8(0);
    w.I32(classCount);
    w.I32(unitCount);
    if (symbolSize > size_t(INT32_MAX)) InternalError("symbol table too large for a compiled image");
    w.I32(static_cast<int32_t>(symbolSize));
    w.Zeros(28);
}

void WriteImplicitClass(TImageWriter& w, const TatClass& c) {
    const TatClassRef& ref = *c.ImplicitClassRef();
    platform::UString name = platform::Utf8ToUtf16(c.Name());
    platform::UString element = platform::Utf8ToUtf16(ref.FElementName);
    platform::UString elementClass = platform::Utf8ToUtf16(ref.FElementClassName);
    w.I32(c.Index());
    w.I32(ref.FElementIndex);
    w.U8(ref.FElementIsMethod ? 1 : 0);
    w.Zeros(3);
    w.I32(TImageWriter::Length(name));
    w.I32(TImageWriter::Length(element));
    w.I32(ref.FElementClassIndex);
    w.I32(TImageWriter::Length(elementClass));
    w.Units(name);
    w.Units(element);
    w.Units(elementClass);
}

void WriteUsedUnit(TImageWriter& w, const TatUsedUnit& unit) {
    platform::UString name = platform::Utf8ToUtf16(unit.FUnitName);
    w.I32(TImageWriter::Length(name));
    w.U8(unit.FIsDefault ? 1 : 0);
    w.U8(unit.FIsScript ? 1 : 0);
    w.Zeros(2);
    w.I32(unit.FDeclSourcePos);
    w.Units(name);
}

// The overlay (first 8 bytes of the operand union) and vSave2 (the next 8) as raw bits.
void WriteInstruction(TImageWriter& w, const TSimplifiedCode& inst) {
    platform::UStringView s1 = inst.vString.View(), s2 = inst.vString2.View();
    w.I32(TImageWriter::Length(s1));
    w.I32(TImageWriter::Length(s2));
    w.U8(inst.OpCode);
    w.U8(inst.vByte);
    w.U16(static_cast<uint16_t>(inst.vSmallInt));
    w.I32(inst.vDebugInfo);
    w.I32(inst.vInteger);
    w.I32(inst.vInteger1);
    uint64_t overlay = 0, save2 = 0;
    const char* operand = reinterpret_cast<const char*>(&inst.vDouble);
    std::memcpy(&overlay, operand, 8);
    std::memcpy(&save2, operand + 8, 8);
    w.U64(overlay);
    w.U64(save2);
    w.Units(s1);
    w.Units(s2);
}

void ReadImplicitClasses(TImageReader& r, int32_t count, TatClassRefs& refs) {
    size_t n = r.Count(count, ImplicitClassRecordSize);
    for (size_t i = 0; i < n; ++i) {
        int32_t classIndex = r.I32(), elementIndex = r.I32();
        bool isMethod = r.U8() != 0;
        r.Skip(3);
        int32_t nameLength = r.I32(), elementLength = r.I32();
        int32_t elementClassIndex = r.I32(), elementClassLength = r.I32();
        std::string name = platform::Utf16ToUtf8(r.Units(nameLength));
        std::string element = platform::Utf16ToUtf8(r.Units(elementLength));
        std::string elementClass = platform::Utf16ToUtf8(r.Units(elementClassLength));
        refs.Add(classIndex, elementIndex, elementClassIndex, isMethod, std::move(name), std::move(element),
                 std::move(elementClass));
    }
}

void ReadUsedUnits(TImageReader& r, int32_t count, TatUsedUnits& units) {
    size_t n = r.Count(count, UsedUnitRecordSize);
    for (size_t i = 0; i < n; ++i) {
        int32_t length = r.I32();
        bool isDefault = r.U8() != 0, isScript = r.U8() != 0;
        r.Skip(2);
        int32_t declPos = r.I32();
        TatUsedUnit* unit = units.Add();
        unit->FUnitName = platform::Utf16ToUtf8(r.Units(length));
        unit->FIsDefault = isDefault;
        unit->FIsScript = isScript;
        unit->FDeclSourcePos = declPos;
    }
}

// One instruction record; an opcode outside the instruction table is damage.
void ReadInstruction(TImageReader& r, TatScript& script) {
    r.Need(TatCompiledImage::InstructionRecordSize);
    int32_t length1 = r.I32(), length2 = r.I32();
    uint8_t op = r.U8();
    if (op >= InstructionCount || InstructionName(static_cast<TInstruction>(op))[0] == '\0')
        throw EDamagedImage(BindingMessage(TBindingMessage::bmInvalidOpcode, std::to_string(op)));
    auto inst = std::make_unique<TSimplifiedCode>(static_cast<TInstruction>(op));
    inst->vByte = r.U8();
    inst->vSmallInt = static_cast<int16_t>(r.U16());
    inst->vDebugInfo = r.I32();
    inst->vInteger = r.I32();
    inst->vInteger1 = r.I32();
    uint64_t overlay = r.U64(), save2 = r.U64();
    char* operand = reinterpret_cast<char*>(&inst->vDouble);
    std::memcpy(operand, &overlay, 8);
    std::memcpy(operand + 8, &save2, 8);
    inst->vString = ScriptText(r.Units(length1));
    inst->vString2 = ScriptText(r.Units(length2));
    script.AppendInstruction(std::move(inst));
}

} // namespace

// ---- Saving -----------------------------------------------------------------------------------

void TatCompiledImage::Save(TatScript& script, std::string& stream) {
    try {
        script.ExpandDebugInfo(false);
        stream.clear();
        std::string symbols;
        TImageWriter symbolWriter(symbols);
        int32_t instructionCount = 0;
        for (const TSimplifiedCode* inst = script.FirstInstruction(); inst; inst = inst->Next) ++instructionCount;
        WriteScriptInfo(symbolWriter, script.ScriptInfo(), instructionCount);
        std::vector<const TatClass*> implicit;
        if (TatCustomScripter* scripter = script.Scripter())
            for (const auto& c : scripter->Classes())
                if (c->IsImplicit()) implicit.push_back(c.get());
        TImageWriter w(stream);
        WriteHeader(w, static_cast<int32_t>(implicit.size()), script.UsedUnits().Count(), symbols.size());
        for (const TatClass* c : implicit) WriteImplicitClass(w, *c);
        for (int i = 0; i < script.UsedUnits().Count(); ++i) WriteUsedUnit(w, *script.UsedUnits().GetItem(i));
        stream += symbols;
        for (const TSimplifiedCode* inst = script.FirstInstruction(); inst; inst = inst->Next) WriteInstruction(w, *inst);
    } catch (const std::exception& e) {
        InternalError(BindingMessage(TBindingMessage::bmUnableToWrite, e.what()));
    }
}

// ---- Loading ----------------------------------------------------------------------------------

namespace {

// The header's checks in their order: signature, then version; a header cut short after
// them is damage.
void ReadHeader(TImageReader& r, int32_t& classCount, int32_t& unitCount, int32_t& symbolSize) {
    if (r.Remaining() < SignatureUnits * 2 + 1) InternalError(BindingMessage(TBindingMessage::bmInvalidSignature));
    for (size_t i = 0; i < SignatureUnits; ++i)
        if (r.U16() != ImageSignature[i]) InternalError(BindingMessage(TBindingMessage::bmInvalidSignature));
    uint8_t version = r.U8();
    if (version != TatCompiledImage::Version)
        InternalError(BindingMessage(TBindingMessage::bmInvalidVersion, std::to_string(version),
                                     std::to_string(TatCompiledImage::Version)));
    r.Skip(1);
    classCount = r.I32();
    unitCount = r.I32();
    symbolSize = r.I32();
    r.Skip(28);
}

} // namespace

// A failed load leaves nothing half-read behind: the script is cleared and not compiled.
void TatCompiledImage::DiscardLoaded(TatScript& script) noexcept {
    try {
        script.Clear();
    } catch (...) {
        script.FCompiled = script.FSilentCompiled = false;
    }
}

// A class script loaded with `registerClass` registers its class as a compilation would;
// the private scripts of script-based objects load without registering.
void TatCompiledImage::Load(TatScript& script, std::string_view stream, bool registerClass) {
    script.CheckMachine();
    if (script.MachineRunning()) FatalError(BindingMessage(TBindingMessage::bmLoadWhileRunning));
    script.Clear();
    TatCustomScripter* scripter = script.Scripter();
    if (scripter) scripter->BeforeLoadCode();
    try {
        TImageReader r(stream, 0);
        int32_t classCount = 0, unitCount = 0, symbolSize = 0;
        ReadHeader(r, classCount, unitCount, symbolSize);
        TatClassRefs refs(scripter ? &scripter->Classes() : nullptr);
        refs.OnInternalObjectClass = [&script]() { return script.IntInstance() ? script.IntInstance()->atClass() : nullptr; };
        ReadImplicitClasses(r, classCount, refs);
        ReadUsedUnits(r, unitCount, script.UsedUnits());
        TPendingClassNames pending;
        if (symbolSize < 0) Damaged(r.Position());
        size_t declaredInstructions = 0;
        if (symbolSize > 0) {
            const size_t base = r.Position();
            TImageReader block(r.Window(size_t(symbolSize)), base);
            declaredInstructions = ReadScriptInfo(block, script.ScriptInfo(), pending);
        }
        if (scripter)
            for (const auto& ref : refs) refs.CheckLoaded(*ref);
        pending.Resolve();
        size_t instructions = 0;
        for (; stream.size() > 0 && r.Position() < stream.size() - 1; ++instructions) ReadInstruction(r, script);
        if (symbolSize > 0 && instructions != declaredInstructions) Damaged(r.Position());
        if (scripter)
            for (int i = 0; i < script.UsedUnits().Count(); ++i) {
                const TatUsedUnit* unit = script.UsedUnits().GetItem(i);
                scripter->LoadLibrary(unit->FUnitName, unit->FIsDefault, false);
            }
        script.FSolvedAddressing = false;
        script.FCompiled = script.FSilentCompiled = script.FExpandedDebugInfo = true;
        script.ScriptInfo().UpdateRoutineInfoPointers(script.FirstInstruction());
    } catch (const EatInternalError&) {
        DiscardLoaded(script);
        throw;
    } catch (const std::exception& e) {
        DiscardLoaded(script);
        InternalError(BindingMessage(TBindingMessage::bmUnableToRead, e.what()));
    }
    Save(script, script.FCodeStream);
    if (TatVirtualMachine* machine = script.VirtualMachine()) {
        machine->SetCode(script.FirstInstruction());
        machine->SetFastSolving(false);
    }
    if (registerClass) script.RegisterScriptClass();
}

} // namespace vorn::engine

// ---- Script operations on files -----------------------------------------------------------------

namespace vorn::engine {

// The image is built in memory first, so a script that fails to compile leaves the file untouched.
void TatScript::SaveCodeToFile(const std::string& fileName) {
    try {
        std::string image;
        SaveCodeToStream(image);
        std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
        out.write(image.data(), static_cast<std::streamsize>(image.size()));
        out.close();
        if (!out) throw platform::Exception(fileName);
    } catch (const std::exception&) {
        InternalError(BindingMessage(TBindingMessage::bmUnableToSave, fileName));
    }
}

void TatScript::LoadCodeFromFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw platform::Exception("Cannot open file \"" + fileName + "\"");
    std::stringstream bytes;
    bytes << in.rdbuf();
    LoadCodeFromStream(bytes.str());
}

} // namespace vorn::engine
