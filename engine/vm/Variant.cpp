#include "engine/vm/Variant.h"

#include <cassert>

#include "platform/Unicode.h"

namespace vorn::engine {

// The shared elements of an array value; copied when a holder writes while others share.
struct Variant::ArrayRep {
    uint32_t FRefs = 1;
    int32_t FLow = 0;
    std::vector<Variant> FItems;
};

Variant Variant::FromText(ScriptText text, TVarType kind) {
    assert(kind == varUString || kind == varOleStr || kind == varString);
    if (kind == varString && !text.IsEmpty()) {
        // Narrow text holds Windows-1252 bytes: what the code page lacks becomes '?'.
        platform::UStringView view = text.View();
        bool narrow = true;
        for (char16_t c : view)
            if (c >= 0x80) { narrow = false; break; }
        if (!narrow) text = ScriptText(platform::AnsiToUtf16(platform::Utf16ToAnsi(view)));
    }
    Payload p{};
    p.FText = text.Detach();
    return Make(kind, p);
}

Variant Variant::FromDispatch(IDispatchObject* object, TVarType kind) noexcept {
    assert(kind == varDispatch || kind == varUnknown);
    if (object) object->AddRef();
    Payload p{};
    p.FDispatch = object;
    return Make(kind, p);
}

Variant Variant::NewArray(int32_t low, int32_t high) {
    auto* rep = new ArrayRep;
    rep->FLow = low;
    if (high >= low) rep->FItems.resize(static_cast<size_t>(int64_t(high) - low + 1));
    Payload p{};
    p.FArray = rep;
    return Make(varArray | varVariant, p);
}

int32_t Variant::ArrayLow() const noexcept {
    assert(IsArray());
    return FPayload.FArray->FLow;
}

const std::vector<Variant>& Variant::ArrayItems() const noexcept {
    assert(IsArray());
    return FPayload.FArray->FItems;
}

std::vector<Variant>& Variant::MutableArrayItems() {
    assert(IsArray());
    ArrayRep* rep = FPayload.FArray;
    if (rep->FRefs != 1) {
        auto* copy = new ArrayRep;
        copy->FLow = rep->FLow;
        copy->FItems = rep->FItems;
        ReleasePayload();
        FPayload.FArray = copy;
        rep = copy;
    }
    return rep->FItems;
}

void Variant::RetainOther() const noexcept {
    if (FType & varArray) {
        ++FPayload.FArray->FRefs;
    } else if (FType == varDispatch || FType == varUnknown) {
        if (FPayload.FDispatch) FPayload.FDispatch->AddRef();
    } else {
        ScriptText::RetainRep(FPayload.FText);
    }
}

void Variant::ReleaseOther() noexcept {
    if (FType & varArray) {
        ArrayRep* rep = FPayload.FArray;
        if (--rep->FRefs == 0) delete rep;
    } else if (FType == varDispatch || FType == varUnknown) {
        if (FPayload.FDispatch) FPayload.FDispatch->Release();
    } else {
        ScriptText::ReleaseRep(FPayload.FText);
    }
}

} // namespace vorn::engine
