// shell_test.cpp - what the module's entry point does to the host: the commands it adds
// and removes, the messages it ignores, and a host without a command stack.
#include "fixture.h"
#include "shell.h"
#include "commands.h"

#include "command_stack.h"
#include "runtime.h"

#include <string>
#include <vector>

namespace {

using tevtest::ModuleTest;

struct Expected {
    const char *local;
    const char *global;
    AcRxFunctionPtr body;
};

const std::vector<Expected> kExpected = {
    {"Cl", "tevCl", colorLineCommand},          {"Sel", "tevSel", recolorCommand},
    {"Lp", "tevLp", cornerLineCommand},         {"Jl", "tevJl", joinLinesCommand},
    {"Nor", "tevNor", snapAngleCommand},        {"Lpl", "tevLpl", lengthByColorCommand},
    {"Wpe", "tevWpe", polylineWidthCommand},    {"En", "tevEn", entityListCommand},
    {"nEn", "tevnEn", nestedEntityListCommand},
};

class Shell : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        host::installRuntime();
        (void)host::commandStack().removeGroup("TEVcom");
        host::appRegistrations().clear();
    }
    void TearDown() override {
        (void)host::commandStack().removeGroup("TEVcom");
        host::installRuntime(); // a test may have taken the command stack away
        ModuleTest::TearDown();
    }
    std::vector<host::CommandEntry> group() const {
        return host::commandStack().commandsInGroup("TEVcom");
    }
};

// Test that initialising adds exactly the nine commands, in order, with both names and
// flags 0, each reaching its own body, and returns 0.
TEST_F(Shell, InitialiseAddsTheCommandTableInOrder) {
    EXPECT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, nullptr), AcRx::kRetOK);
    auto rows = group();
    ASSERT_EQ(rows.size(), kExpected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(kExpected[i].local);
        EXPECT_EQ(rows[i].group, "TEVcom");
        EXPECT_EQ(rows[i].localName, kExpected[i].local);
        EXPECT_EQ(rows[i].globalName, kExpected[i].global);
        EXPECT_EQ(rows[i].flags, 0);
        EXPECT_EQ(rows[i].function, kExpected[i].body);
        EXPECT_EQ(rows[i].functionCode, -1);
    }
    const host::CommandEntry *nen = host::commandStack().lookup("nEn");
    ASSERT_NE(nen, nullptr);
    EXPECT_EQ(nen->function, &nestedEntityListCommand);
    EXPECT_EQ(host::commandStack().lookup("_TEVNEN")->function, &nestedEntityListCommand);
}

// Test that unloading removes the whole group and leaves the demand-load registration.
TEST_F(Shell, UnloadRemovesTheGroup) {
    ASSERT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, nullptr), AcRx::kRetOK);
    EXPECT_EQ(acrxEntryPoint(AcRx::kUnloadAppMsg, nullptr), AcRx::kRetOK);
    EXPECT_TRUE(group().empty());
    for (const Expected &e : kExpected)
        EXPECT_EQ(host::commandStack().lookup(e.local), nullptr) << e.local;
    EXPECT_EQ(host::appRegistrations().size(), 1u);
}

// Test that other messages return 0 and change nothing.
TEST_F(Shell, OtherMessagesChangeNothing) {
    for (int msg : {0, 3, 4, 5, 7, 8, 13, 16, 99}) {
        EXPECT_EQ(acrxEntryPoint(static_cast<AcRx::AppMsgCode>(msg), nullptr), AcRx::kRetOK);
    }
    EXPECT_TRUE(group().empty());
    EXPECT_TRUE(host::appRegistrations().empty());
    ASSERT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, nullptr), AcRx::kRetOK);
    EXPECT_EQ(acrxEntryPoint(AcRx::kLoadDwgMsg, nullptr), AcRx::kRetOK);
    EXPECT_EQ(group().size(), kExpected.size());
}

// Test that without a command stack nothing is added, the registration still happens and
// the entry point still answers 0.
TEST_F(Shell, NoCommandStackAddsNothing) {
    AcRxObject *stack = acrxSysRegistry()->remove(ACRX_COMMAND_DOCK);
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, nullptr), AcRx::kRetOK);
    EXPECT_EQ(acrxEntryPoint(AcRx::kUnloadAppMsg, nullptr), AcRx::kRetOK);
    (void)acrxSysRegistry()->atPut(ACRX_COMMAND_DOCK, stack);
    EXPECT_TRUE(group().empty());
    EXPECT_EQ(host::appRegistrations().size(), 1u);
}

// Test that a command stack entry of the wrong class is not used.
TEST_F(Shell, WrongClassCommandStackIsSkipped) {
    AcRxDictionary impostor;
    AcRxObject *stack = acrxSysRegistry()->atPut(ACRX_COMMAND_DOCK, &impostor);
    EXPECT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, nullptr), AcRx::kRetOK);
    (void)acrxSysRegistry()->atPut(ACRX_COMMAND_DOCK, stack);
    EXPECT_TRUE(group().empty());
    EXPECT_EQ(impostor.numEntries(), 0u);
}

// Test that the module asks the host's demand loader for load on command and on request.
TEST_F(Shell, RegistersWithTheDemandLoader) {
    ASSERT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, nullptr), AcRx::kRetOK);
    ASSERT_EQ(host::appRegistrations().size(), 1u);
    const host::AppRegistration &r = host::appRegistrations()[0];
    EXPECT_EQ(r.loadReasons, 12);
    EXPECT_EQ(r.logicalName, "TEVCOM");
    EXPECT_EQ(r.registryPath, "Software\\TEV soft");
    EXPECT_EQ(r.level, 2);
    EXPECT_FALSE(r.dwgU);
}

} // namespace
