#pragma once
// The remark delimiters of a language: pairs of open and close strings, optionally
// allowed to start only at the input start or after one of a set of characters.

#include <string>
#include <vector>

namespace vorn::engine {

struct TSyntaxComment {
    std::string FOpenString;
    std::string FCloseString;
    std::string FPriorDelims;  // empty: the remark may start anywhere
};

class TSyntaxComments {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const TSyntaxComment& GetItem(int i) const { return FItems[static_cast<size_t>(i)]; }
    TSyntaxComment& Add(std::string AOpenString, std::string ACloseString, std::string APriorDelims = {})
    {
        FItems.push_back({std::move(AOpenString), std::move(ACloseString), std::move(APriorDelims)});
        return FItems.back();
    }
    void Clear() { FItems.clear(); }

private:
    std::vector<TSyntaxComment> FItems;
};

} // namespace vorn::engine
