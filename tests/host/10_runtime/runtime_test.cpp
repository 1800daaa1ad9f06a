// runtime_test.cpp - class descriptors, the system registry, the command stack and the
// dynamic linker.
#include "command_stack.h"
#include "module_loader.h"
#include "runtime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

class Base : public AcRxObject {
public:
    ACRX_DECLARE_MEMBERS(Base);
};
class Derived : public Base {
public:
    ACRX_DECLARE_MEMBERS(Derived);
};
class Classless : public AcRxObject {
public:
    AcRxClass *isA() const override { return nullptr; }
};

} // namespace

ACRX_DEFINE_MEMBERS(Base, AcRxObject, "BASE")
ACRX_DEFINE_MEMBERS(Derived, Base, "DERIVED")

namespace {

void noop() {}
void other() {}

// Test that descriptors chain to their parents and are entered in the class dictionary.
TEST(RuntimeClasses, DescriptorsChainAndAreRegistered) {
    Derived d;
    EXPECT_EQ(d.isA(), Derived::desc());
    EXPECT_TRUE(d.isKindOf(Base::desc()));
    EXPECT_TRUE(d.isKindOf(AcRxObject::desc()));
    Base b;
    EXPECT_FALSE(b.isKindOf(Derived::desc()));
    EXPECT_EQ(Derived::cast(&b), nullptr);
    EXPECT_EQ(Base::cast(&d), &d);
    EXPECT_STREQ(Derived::desc()->name(), "Derived");
    EXPECT_STREQ(Derived::desc()->dxfName(), "DERIVED");
    EXPECT_EQ(acrxClassDictionary()->at("Derived"), Derived::desc());
    Classless none;
    EXPECT_FALSE(none.isKindOf(Base::desc()));
}

// Test that the registry holds the entries modules look up, with the right classes.
TEST(RuntimeRegistry, HoldsLinkerCommandsAndClasses) {
    host::installRuntime();
    AcRxDictionary *reg = acrxSysRegistry();
    ASSERT_NE(reg->at("DynamicLinker"), nullptr);
    EXPECT_TRUE(reg->at("DynamicLinker")->isKindOf(AcRxDynamicLinker::desc()));
    ASSERT_NE(reg->at("ACAD_REGISTERED_COMMANDS"), nullptr);
    EXPECT_TRUE(reg->at("ACAD_REGISTERED_COMMANDS")->isKindOf(AcEdCommandStack::desc()));
    EXPECT_EQ(reg->at("ClassDictionary"), acrxClassDictionary());
    EXPECT_EQ(acrxClassDictionary()->at("AcEdCommandStack"), AcEdCommandStack::desc());
    EXPECT_NE(acrxDynamicLinker, nullptr);
    EXPECT_NE(acedRegCmds, nullptr);
}

// Test lookup by local name in any case, by global name only after "_", and removal.
TEST(RuntimeCommandStack, LooksUpRemovesAndRefusesDuplicates) {
    host::CommandStack stack;
    ASSERT_EQ(stack.addCommand("GRP", "tevnEn", "nEn", 0, noop), Acad::eOk);
    ASSERT_EQ(stack.addCommand("GRP", "tevCl", "Cl", 0, other), Acad::eOk);
    EXPECT_EQ(stack.addCommand("GRP", "tevCl", "Xx", 0, other), Acad::eDuplicateKey);
    ASSERT_NE(stack.lookup("NEN"), nullptr);
    EXPECT_EQ(stack.lookup("nen")->function, &noop);
    EXPECT_EQ(stack.lookup("_TEVNEN")->function, &noop);
    EXPECT_EQ(stack.lookup("tevnEn"), nullptr);
    EXPECT_EQ(stack.lookup("_nEn"), nullptr);
    auto rows = stack.commandsInGroup("grp");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].localName, "nEn");
    EXPECT_EQ(rows[1].globalName, "tevCl");
    EXPECT_EQ(stack.removeGroup("Grp"), Acad::eOk);
    EXPECT_EQ(stack.lookup("Cl"), nullptr);
    EXPECT_EQ(stack.removeGroup("GRP"), Acad::eKeyNotFound);
}

using Messages = std::vector<int> *(*)();

// Test that a module gets message 1 on load and 2 on unload, and stays while locked.
TEST(RuntimeLinker, LockedModuleStaysUnlockedOneUnloads) {
    host::installRuntime();
    host::DynamicLinker linker;
    std::string error;
    ::unsetenv("PROBE_UNLOCK");
    ASSERT_TRUE(linker.load(PROBE_MODULE, error)) << error;
    host::LoadedModule *m = linker.find("probe_module.arx");
    ASSERT_NE(m, nullptr);
    auto messages =
        reinterpret_cast<Messages>(host::platform::findSymbol(m->handle, "probeMessages"));
    ASSERT_NE(messages, nullptr);
    EXPECT_EQ(*messages(), std::vector<int>{1});
    EXPECT_TRUE(m->locked);
    EXPECT_FALSE(linker.unload("probe_module.arx", error));
    EXPECT_NE(error.find("locked"), std::string::npos);
    EXPECT_FALSE(linker.load(PROBE_MODULE, error)) << "a second load of the same file";
    EXPECT_TRUE(linker.unlockApplication(m));
    EXPECT_TRUE(linker.unload("PROBE_MODULE.ARX", error)) << error;
    EXPECT_EQ(linker.find("probe_module.arx"), nullptr);
    EXPECT_FALSE(linker.unload("probe_module.arx", error));
}

// Test that the global linker lets a module unlock itself through the registry.
TEST(RuntimeLinker, ModuleUnlocksItselfThroughRegistry) {
    host::installRuntime();
    ::setenv("PROBE_UNLOCK", "1", 1);
    std::string error;
    ASSERT_TRUE(host::dynamicLinker().load(PROBE_MODULE, error)) << error;
    EXPECT_FALSE(host::dynamicLinker().isApplicationLocked("probe_module.arx"));
    EXPECT_TRUE(host::dynamicLinker().unload("probe_module.arx", error)) << error;
    ::unsetenv("PROBE_UNLOCK");
}

// Test that a file that is no module is refused with a reason.
TEST(RuntimeLinker, RefusesMissingFile) {
    host::DynamicLinker linker;
    std::string error;
    EXPECT_FALSE(linker.load("/nonexistent/tevcom.arx", error));
    EXPECT_FALSE(error.empty());
}

// Test that the fatal stop prints its message and ends the process with a failure.
TEST(RuntimeAbortDeathTest, PrintsAndExits) {
    EXPECT_EXIT(acrx_abort("Failed %s", "AcDbObject::close()"), ::testing::ExitedWithCode(70),
                "Failed AcDbObject::close\\(\\)");
}

// Test that registrations are recorded as the module made them.
TEST(RuntimeRegistry, RecordsDemandLoadRegistration) {
    host::appRegistrations().clear();
    EXPECT_EQ(acrxRegisterApp(static_cast<AcadApp::LoadReasons>(12), "TEVCOM", "Software\\TEV soft",
                              2, false),
              AcadApp::eOk);
    ASSERT_EQ(host::appRegistrations().size(), 1u);
    EXPECT_EQ(host::appRegistrations()[0].loadReasons, 12);
    EXPECT_EQ(host::appRegistrations()[0].registryPath, "Software\\TEV soft");
    EXPECT_EQ(host::appRegistrations()[0].level, 2);
}

} // namespace
