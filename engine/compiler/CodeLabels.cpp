#include "engine/compiler/CodeLabels.h"

#include "platform/CaseFolding.h"

namespace vorn::engine {

// Routine names may hold non-ASCII letters when the language allows them; those fold
// through Unicode, the common ASCII names through the cheap A-Z rule.
std::string TLabelSpecs::FoldName(std::string_view name) {
    for (char c : name)
        if (static_cast<unsigned char>(c) >= 0x80) return platform::UnicodeUpperCase(name);
    return platform::AsciiUpperCase(name);
}

TLabelSpec* TLabelSpecs::Find(std::string_view name) const {
    auto it = FByName.find(FoldName(name));
    return it == FByName.end() ? nullptr : it->second;
}

TLabelSpec* TLabelSpecs::Add(std::string_view name) {
    auto label = std::make_unique<TLabelSpec>();
    label->Name = std::string(name);
    TLabelSpec* result = label.get();
    FItems.push_back(std::move(label));
    FByName.emplace(FoldName(name), result);
    return result;
}

TLabelSpec* TLabelSpecs::FindOrAdd(std::string_view name) {
    TLabelSpec* found = Find(name);
    return found ? found : Add(name);
}

void TLabelSpecs::Clear() {
    FByName.clear();
    FItems.clear();
}

} // namespace vorn::engine
