#pragma once
// Script-based objects: instances of a class that a script declares ("{$CLASS Name}").
// Each instance runs a private copy of the class script, loaded from its compiled image
// and initialised once, so its globals are the object's state and its routines its methods.

#include <memory>

#include "platform/rtti/Rtti.h"

namespace vorn::engine {

class TatScript;
class TatVirtualMachine;

class TScriptBaseObject : public platform::rtti::TObject {
public:
    // Creates the object for the class the running `machine` is constructing (its current
    // class): loads the class script's image into a new script and runs its main block.
    // Failures are runtime errors of `machine`; a half-built object frees its script.
    explicit TScriptBaseObject(TatVirtualMachine* machine);
    // Frees the object's script (and with it what that script created and did not free).
    ~TScriptBaseObject() override;
    TScriptBaseObject(const TScriptBaseObject&) = delete;
    TScriptBaseObject& operator=(const TScriptBaseObject&) = delete;

    TatScript* GetRunScript() const { return FRunScript.get(); }
    bool Destroying() const { return FDestroying; }
    // The class the object was created as (the class script's declared name).
    std::string ScriptClassName() const override;

    static const platform::rtti::TClassInfo& ClassInfo();

private:
    void NewObjectInstance(TatVirtualMachine* machine);

    bool FDestroying = false;
    std::unique_ptr<TatScript> FRunScript;
};

// The script-based object a machine's current object refers to; null when it is none.
TScriptBaseObject* CurrentScriptObject(TatVirtualMachine* machine);

} // namespace vorn::engine
