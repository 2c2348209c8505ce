#pragma once
// The named labels of one compilation: where each label was defined and which jump,
// call and test instructions still wait for it. Labels are kept in creation order (the
// order unresolved ones are reported in) and found through a hash of the folded name, so
// a script with thousands of branches resolves its labels in linear time.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/vm/SimplifiedCode.h"

namespace vorn::engine {

// One pending reference: the code line of the referencing instruction when it was
// queued, and the instruction itself.
struct TAddress {
    intptr_t Address = 0;
    TSimplifiedCode* Code = nullptr;
};

struct TLabelSpec {
    std::string Name;
    intptr_t Address = -1;          // the code line of the definition; -1 while undefined
    std::vector<TAddress> Refs;     // pending references, oldest first
};

class TLabelSpecs {
public:
    // The label of that name (case-insensitive), nullptr when there is none.
    TLabelSpec* Find(std::string_view name) const;
    // Appends an undefined label of that name.
    TLabelSpec* Add(std::string_view name);
    TLabelSpec* FindOrAdd(std::string_view name);
    int Count() const { return static_cast<int>(FItems.size()); }
    TLabelSpec* GetItem(int i) const { return FItems[static_cast<size_t>(i)].get(); }
    void Clear();

private:
    static std::string FoldName(std::string_view name);
    std::vector<std::unique_ptr<TLabelSpec>> FItems;
    std::unordered_map<std::string, TLabelSpec*> FByName;
};

} // namespace vorn::engine
