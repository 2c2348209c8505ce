// Script-based objects: construction from the class script's compiled image.

#include "engine/compiler/ScriptBaseObject.h"

#include "engine/compiler/BindingMessages.h"
#include "engine/compiler/Script.h"
#include "engine/compiler/Scripter.h"
#include "engine/vm/VirtualMachine.h"
#include "platform/rtti/LiveObjects.h"

namespace vorn::engine {

namespace rtti = platform::rtti;

const rtti::TClassInfo& TScriptBaseObject::ClassInfo() {
    static const rtti::TClassInfo& info =
        rtti::TClassBuilder<TScriptBaseObject, rtti::TObject>("TScriptBaseObject").Build();
    return info;
}

TScriptBaseObject::TScriptBaseObject(TatVirtualMachine* machine) { NewObjectInstance(machine); }

std::string TScriptBaseObject::ScriptClassName() const {
    return FRunScript ? FRunScript->ScriptInfo().FScriptClassName : std::string();
}

TScriptBaseObject::~TScriptBaseObject() {
    FDestroying = true;
    FRunScript.reset();
}

// The object's script is its own, outside the scripter's script list: it lives exactly
// as long as the object, so neither can outlive the other whichever goes first.
void TScriptBaseObject::NewObjectInstance(TatVirtualMachine* machine) {
    auto* host = dynamic_cast<TatScript*>(machine->Host());
    TatCustomScripter* scripter = host ? host->Scripter() : nullptr;
    if (!scripter)
        machine->RuntimeError(BindingMessage(TBindingMessage::bmNoObjectScripter));
    const TatClass* current = machine->CurrentClass();
    if (!current) machine->RuntimeError(BindingMessage(TBindingMessage::bmNoObjectClass));
    auto* classScript = static_cast<TatScript*>(current->FBaseScript);
    if (!classScript) machine->RuntimeError(BindingMessage(TBindingMessage::bmNoObjectBaseScript));
    const TatScriptClass* scriptClass = scripter->DefaultScriptClass();
    FRunScript = scriptClass ? scriptClass->Create(&scripter->Scripts())
                             : std::make_unique<TatScript>(&scripter->Scripts());
    FRunScript->FOriginalObject = this;
    FRunScript->DefineSelfProperty();
    FRunScript->SetSourceCode(classScript->SourceCode());
    FRunScript->SetUnitName(classScript->UnitName());
    FRunScript->InternalLoadCodeFromStream(classScript->CompiledImage(), false);
    FRunScript->VirtualMachine()->Execute();
}

TScriptBaseObject* CurrentScriptObject(TatVirtualMachine* machine) {
    void* object = nullptr;
    const rtti::TClassInfo* classInfo = nullptr;
    if (!rtti::TLiveObjects::Instance().TryResolve(machine->CurrentObject(), object, classInfo) || !object ||
        !classInfo || !classInfo->InheritsFrom(&TScriptBaseObject::ClassInfo()))
        return nullptr;
    return static_cast<TScriptBaseObject*>(static_cast<rtti::TObject*>(object));
}

const rtti::TDescribeAtStartup<TScriptBaseObject> kDescribeScriptBaseObject;

} // namespace vorn::engine
