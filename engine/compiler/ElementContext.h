#pragma once
// How the compiler describes one element of a member chain (`Obj.Items[1].Name`) that it
// could not resolve: the record a host's unknown-element handler receives, so it can
// register what the name stands for and have the lookup run once more.

#include <cstdint>
#include <string>

namespace vorn::engine {

class TatClass;

// How one element of a member chain is used.
enum TDataOperation : uint8_t { doRead = 0, doWrite = 1, doExec = 2, doAddr = 3 };

// The state of one chain element; the record the unknown-element hook receives.
struct TElementContext {
    bool HasArgList = false;
    bool HasUpnode = false;
    bool HasSubNode = false;
    bool IsNewClause = false;
    TDataOperation Operation = doRead;
    int ArgCount = 0;
    int IdxCount = 0;
    bool RepeatChecking = false;
    std::string ElementName;
    TatClass* CurrentClass = nullptr;
};

} // namespace vorn::engine
