// Registration through type information (golden dump of the registry, overload entries,
// redefine options, aliases, records reached through properties) and host constants,
// variables, objects and enumerations as script properties, read and written through
// host-call instructions.

#include <fstream>
#include <sstream>

#include "engine/vm/EngineErrors.h"
#include "engine/vm/RecordWrapper.h"
#include "tests/engine/compiler/BindingFixture.h"

namespace vorn::engine::bindingtest {
namespace {

using HostBindingTest = BindingFixture;

const char* KindName(TatTypeKind kind) {
    static const char* const names[] = {"None", "Integer", "Char", "Enumeration", "Float", "String", "Set",
                                        "Class", "Method", "WChar", "LString", "WString", "Variant", "Array",
                                        "Record", "Interface", "Int64", "DynArray", "UString"};
    return names[kind];
}

// One line per class and member: name, signature (argument names, var marks), kind and class.
std::string DumpClass(TatClass* c) {
    std::ostringstream out;
    out << "class " << c->Name() << " : " << c->AncestorName();
    if (c->ClassRef()) out << " host=" << c->ClassRef()->Name();
    if (c->RecordRef()) out << " record=" << c->RecordRef()->Name();
    out << "\n";
    for (const auto& m : c->Methods()) {
        out << "  method " << m->Name() << "(";
        for (int i = 0; i < m->ArgDefs().Count(); ++i) {
            const TatDataDef* d = m->ArgDefs().GetItem(i);
            out << (i ? "; " : "") << (d->FModifier == moVar ? "var " : "") << d->FName << ": " << d->FDataTypeName;
        }
        out << ") : " << KindName(m->FResultDataType);
        if (m->FResultClass) out << " " << m->FResultClass->Name();
        if (!m->FResultClassName.empty()) out << " <" << m->FResultClassName << ">";
        if (m->IsClassMethod()) out << " class";
        out << "\n";
    }
    for (const auto& p : c->Properties()) {
        out << "  property " << p->Name() << " : " << KindName(p->FDataType);
        if (p->FPropertyClass) out << " " << p->FPropertyClass->Name();
        if (!p->FPropertyClassName.empty()) out << " <" << p->FPropertyClassName << ">";
        out << (p->FGetter ? " r" : "") << (p->FSetter ? " w" : "");
        if (p->IndexCount()) out << " index=" << p->IndexCount();
        if (c->DefaultProperty() == p.get()) out << " default";
        if (p->FPropInfo) out << " published";
        out << "\n";
    }
    return out.str();
}

TEST_F(HostBindingTest, RegistryDumpMatchesTheGoldenFile) {
    std::string dump;
    for (const char* name : {"TObject", "TGadget", "TSuperGadget", "TPlainThing", "TSize"})
        dump += DumpClass(FScripter->ClassByName(name));
    const std::string path = std::string(VORN_TEST_DATA) + "/binding/registry.txt";
    if (std::getenv("VORN_UPDATE_GOLDEN")) std::ofstream(path, std::ios::binary) << dump;
    std::ifstream in(path, std::ios::binary);
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(dump, expected.str());
}

TEST_F(HostBindingTest, RedefineOptionsAndAliases) {
    TatClass* gadget = FScripter->ClassByName("TGadget");
    // Overloads share one entry with the last one's shape.
    EXPECT_EQ(gadget->MethodByName("Sum")->ArgCount(), 2);
    EXPECT_TRUE(gadget->MethodByName("Swap")->IsByRefArg(1));
    TatClass* create = FScripter->ClassByName("TGadget");
    EXPECT_TRUE(create->MethodByName("Create")->IsClassMethod());
    EXPECT_EQ(create->MethodByName("Hidden"), nullptr);
    // roNone leaves the entry; roInclude keeps members; roOverwrite rebuilds them.
    gadget->MethodByName("Sum")->SetArgCount(9);
    EXPECT_EQ(FScripter->DefineClassByRTTI(&TGadget::ClassInfo()), gadget);
    EXPECT_EQ(gadget->MethodByName("Sum")->ArgCount(), 9);
    FScripter->DefineClassByRTTI(&TGadget::ClassInfo(), roInclude, false, {}, kPublicAndPublished);
    EXPECT_EQ(gadget->MethodByName("Sum")->ArgCount(), 9);
    FScripter->DefineClassByRTTI(&TGadget::ClassInfo(), roOverwrite, false, {}, kPublicAndPublished);
    EXPECT_EQ(gadget->MethodByName("Sum")->ArgCount(), 2);
    EXPECT_EQ(gadget->DefaultProperty()->Name(), "Items");
    // An alias inherits from the entry under the class's own name.
    TatClass* alias = FScripter->DefineClassByRTTI(&TGadget::ClassInfo(), "TWidget");
    EXPECT_EQ(alias->AncestorName(), "TGadget");
    EXPECT_NE(alias->MethodByName("Concat"), nullptr);
    // A record reached through a property has its own entry with Create and Free.
    TatClass* size = FScripter->ClassByName("TSize");
    ASSERT_NE(size, nullptr);
    EXPECT_NE(size->MethodByName("Create"), nullptr);
    EXPECT_EQ(gadget->PropertyByName("Size")->FPropertyClass, &TGenericRecordWrapper::ClassInfo());
    // Published registration takes published properties only.
    TatClass* published = FScripter->DefineClass(&TPlainThing::ClassInfo(), "TPublishedOnly");
    EXPECT_EQ(published->AncestorName(), "TPlainThing");
}

TEST_F(HostBindingTest, EnumerationsBecomeConstantsBooleanIsSkipped) {
    FScripter->AddEnumeration(&DescribeEnum(TShade{}));
    TatClass* internal = FScripter->InternalClass();
    ASSERT_NE(internal->PropertyByName("shDeep"), nullptr);
    EXPECT_EQ(VarContent(internal->PropertyByName("shDeep")->FValue), "Integer:2");
    int before = internal->Properties().Count();
    FScripter->AddEnumeration(platform::rtti::TTypeOf<bool>::Get());
    EXPECT_EQ(internal->Properties().Count(), before);
    EXPECT_THROW(FScripter->AddEnumeration(platform::rtti::TTypeOf<int32_t>::Get()), EatInternalError);
}

TEST_F(HostBindingTest, ConstantsVariablesAndObjectsServeScripts) {
    int32_t count = 5;
    double ratio = 0.25;
    float single = 1.5f;
    std::string text = "host";
    std::u16string wide = u"wide";
    bool flag = true;
    Variant any = Variant::FromInteger(3);
    TShortString shortText(4);
    FScripter->AddConstant("Answer", Variant::FromInteger(42));
    FScripter->AddVariable("Count", count);
    FScripter->AddVariable("Ratio", ratio);
    FScripter->AddVariable("Single", single);
    FScripter->AddVariable("Text", text);
    FScripter->AddVariable("Wide", wide);
    FScripter->AddVariable("Flag", flag);
    FScripter->AddVariable("Any", any);
    FScripter->AddVariable("Short", shortText);
    FScripter->AddObject("Gadget", FGadget.get());
    auto* internal = static_cast<platform::rtti::TObject*>(FScripter->DefaultInstances().GetItem(0)->Instance());
    FHost.FObjects.push_back(internal->ObjectNumber());
    auto read = [&](const std::string& name) {
        return Run("CallProc 2 " + Member(FScripter->InternalClass()->Name(), name, mrPropertyRead) + "\nPushOutput");
    };
    auto write = [&](const std::string& name, const std::string& value) {
        return Run(value + "\nCallProc 2 b=1 " + Member(FScripter->InternalClass()->Name(), name, mrPropertyWrite));
    };
    EXPECT_EQ(read("Answer"), "Integer:42");
    EXPECT_EQ(read("Count"), "Integer:5");
    count = 8;
    EXPECT_EQ(read("Count"), "Integer:8");
    write("Count", "PushInteger v=7");
    EXPECT_EQ(count, 7);
    write("Ratio", "PushDouble d=0.1");
    EXPECT_EQ(ratio, 0.1);
    write("Single", "PushDouble d=0.1");
    EXPECT_EQ(single, 0.1f);
    EXPECT_EQ(read("Single"), "Double:" + VarContent(Variant::FromDouble(double(0.1f))).substr(7));
    write("Text", "PushString s=changed");
    EXPECT_EQ(text, "changed");
    write("Wide", "PushString s=wider");
    EXPECT_EQ(wide, u"wider");
    write("Flag", "PushInteger v=0");
    EXPECT_FALSE(flag);
    write("Any", "PushString s=x");
    EXPECT_EQ(VarContent(any), "UnicodeString:x");
    // A long text is cut to the short string's capacity.
    write("Short", "PushString s=abcdefgh");
    EXPECT_EQ(shortText.Text(), "abcd");
    EXPECT_EQ(read("Short"), "UnicodeString:abcd");
    EXPECT_EQ(read("Gadget"), VarContent(ObjectToVar(FGadget->ObjectNumber())));
    TatProperty* object = FScripter->InternalClass()->PropertyByName("Gadget");
    EXPECT_EQ(object->FDataType, tkClass);
    EXPECT_EQ(object->FPropertyClass, &TGadget::ClassInfo());
    EXPECT_FALSE(object->GetWriteable());
    // Re-binding keeps the property's position.
    int position = FScripter->InternalClass()->PropertyByName("Answer")->Index();
    FScripter->AddConstant("Answer", Variant::FromInteger(43));
    EXPECT_EQ(FScripter->InternalClass()->PropertyByName("Answer")->Index(), position);
    EXPECT_EQ(read("Answer"), "Integer:43");
}

} // namespace
} // namespace vorn::engine::bindingtest
