#pragma once
// The fixture of the binding tests: a started engine, one scripter with the test host
// classes registered through type information, two live gadgets, and a machine whose
// host resolves calls in the scripter's registry (default instance i is gadget i), so
// that generic procs run through real host-call instructions without a language.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/compiler/EngineStartup.h"
#include "engine/compiler/Scripter.h"
#include "engine/vm/ScriptValue.h"
#include "engine/vm/VirtualMachine.h"
#include "tests/engine/compiler/BindingTestTypes.h"
#include "tests/engine/vm/VmTestCode.h"

namespace vorn::engine::bindingtest {

class TBindingHost : public TatMachineHost {
public:
    TatClasses* Classes() override { return FClasses; }
    int64_t DefaultInstance(int32_t index) override {
        return index >= 0 && size_t(index) < FObjects.size() ? FObjects[size_t(index)] : 0;
    }
    TatClasses* FClasses = nullptr;
    std::vector<int64_t> FObjects;
};

class BindingFixture : public ::testing::Test {
protected:
    void SetUp() override {
        StartEngine();
        FScripter = std::make_unique<TatScripter>();
        FScripter->DefineClassByRTTI(&TGadget::ClassInfo());
        FScripter->DefineClassByRTTI(&TSuperGadget::ClassInfo());
        FScripter->DefineClassByRTTI(&TPlainThing::ClassInfo());
        FGadget = std::make_unique<TGadget>("g1");
        FSuper = std::make_unique<TSuperGadget>();
        FSuper->FName = "super";
        FHost.FClasses = &FScripter->Classes();
        FHost.FObjects = {FGadget->ObjectNumber(), FSuper->ObjectNumber()};
    }
    void TearDown() override {
        FMachine.reset();
        FScripter.reset();
        FGadget.reset();
        FSuper.reset();
        StopEngine();
    }

    // "ref=<packed> s=<name> ss=<class>" of a host call to a member of a registered class.
    std::string Member(const std::string& className, const std::string& name, TMemberRefKind kind) {
        TatClass* c = FScripter->ClassByName(className);
        int index = kind == mrMethod ? c->Methods().IndexOf(c->MethodByName(name))
                                     : c->Properties().IndexOf(c->PropertyByName(name));
        int32_t packed = 0;
        EXPECT_TRUE(TryPackMemberReference(kind, index, c->Index(), packed));
        return "ref=" + std::to_string(packed) + " s=" + name + " ss=" + className;
    }
    // Runs `body` as a routine with two locals; returns the diagnostic text of its result or the error text.
    std::string Run(const std::string& body) {
        FCode.Clear();
        FMachine = std::make_unique<TatVirtualMachine>(&FHost);
        test::Assemble(FCode, "Prepare 2\n" + body + "\nRet\n");
        FMachine->SetCode(FCode.First());
        try {
            return VarContent(FMachine->ExecuteSubroutine({}, Variant::Null()));
        } catch (const platform::Exception& e) {
            return std::string("error: ") + e.what();
        }
    }

    std::unique_ptr<TatScripter> FScripter;
    std::unique_ptr<TGadget> FGadget;
    std::unique_ptr<TSuperGadget> FSuper;
    TBindingHost FHost;
    TSimplifiedCodeList FCode;
    std::unique_ptr<TatVirtualMachine> FMachine;
};

} // namespace vorn::engine::bindingtest
