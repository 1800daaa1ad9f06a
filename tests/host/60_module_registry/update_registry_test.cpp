// update_registry_test.cpp - the module's registry entries, written by its shell (linked
// in) into the file-backed registry: the whole tree, the module path found among the
// loaded objects, refused writes, failing keys and values, and paths too long for the
// module's 512-byte buffer.
#include "registry_checks.h"
#include "runtime.h"
#include "shell.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

namespace fs = std::filesystem;
namespace platform = host::platform;
using namespace regcheck;

namespace {

class UpdateRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        platform::resetRegistry();
        host::installRuntime();
        host::appRegistrations().clear();
        char pattern[] = "/tmp/winmod-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        mDir = pattern;
    }
    void TearDown() override {
        EXPECT_EQ(platform::openKeyCount(), 0) << "a key was left open";
        for (void *h : mLoaded)
            dlclose(h);
        fs::remove_all(mDir);
        platform::resetRegistry();
    }

    // Loads a stand-in shared object as dir/name so that the module's lookup finds it;
    // its absolute path.
    std::string loadAs(const fs::path &dir, const std::string &name) {
        fs::create_directories(mDir / dir);
        fs::path target = mDir / dir / name;
        fs::copy_file(LOOKUP_OBJECT, target);
        void *h = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(h, nullptr) << dlerror();
        mLoaded.push_back(h);
        return target.string();
    }

    // A folder below the test's folder such that folder/tevcom.arx is exactly length
    // characters long.
    fs::path folderForPathLength(std::size_t length) {
        std::size_t fixed = mDir.string().size() + std::string("/tevcom.arx").size();
        EXPECT_GT(length, fixed + 2);
        std::size_t left = length - fixed; // made of "/name" parts
        fs::path folder;
        while (left > 0) {
            std::size_t part = std::min<std::size_t>(left, 201);
            if (left - part == 1) // a lone "/" cannot be a part: leave two for the last
                --part;
            folder /= std::string(part - 1, 'p');
            left -= part;
        }
        return folder;
    }

    fs::path mDir;
    std::vector<void *> mLoaded;
};

// Test that one run writes the whole tree, every value REG_SZ with its exact length,
// the module path of the object loaded as tevcom.arx, and registers the application.
TEST_F(UpdateRegistry, WritesTheWholeTree) {
    std::string path = loadAs("bin", "tevcom.arx");
    updateRegistry();
    expectWholeTree(path);
    ASSERT_EQ(host::appRegistrations().size(), 1u);
    const host::AppRegistration &app = host::appRegistrations()[0];
    EXPECT_EQ(app.loadReasons, 12);
    EXPECT_EQ(app.logicalName, "TEVCOM");
    EXPECT_EQ(app.registryPath, "Software\\TEV soft");
    EXPECT_EQ(app.level, 2);
    EXPECT_FALSE(app.dwgU);
}

// Test that a module file loaded under another name gets the key "Loader" without
// "MODULE", and everything else.
TEST_F(UpdateRegistry, OtherFileNameGetsLoaderWithoutModule) {
    loadAs("bin", "tevcom2.arx");
    updateRegistry();
    expectWholeTree("");
}

// Test that a second run rewrites the same values without duplicates, overwrites what
// was there before, and removes nothing it did not write.
TEST_F(UpdateRegistry, SecondRunRewritesWithoutDuplicates) {
    HKEY k = nullptr;
    DWORD d = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\TEV soft\\TEVCOM\\Commands", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &k, &d),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "tev_cl", 0, REG_BINARY, reinterpret_cast<const BYTE *>("old"), 3),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k, "OTHER", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(k), ERROR_SUCCESS);

    std::string first = loadAs("one", "tevcom.arx");
    updateRegistry();
    expectText(std::string(kApp) + "\\Commands", "TEV_CL", "Cl\0"s);
    expectText(std::string(kApp) + "\\Commands", "OTHER", "x\0"s);
    dlclose(mLoaded.back());
    mLoaded.pop_back();
    std::string second = loadAs("two", "tevcom.arx");
    updateRegistry();

    std::vector<std::string> names = valueNames(std::string(kApp) + "\\Commands");
    EXPECT_EQ(names.size(), 10u);
    EXPECT_EQ(names.front(), "tev_cl"); // replaced in place, keeping the first spelling
    expectText(std::string(kApp) + "\\Commands", "OTHER", "x\0"s);
    EXPECT_EQ(valueNames(std::string(kApp) + "\\Loader"), std::vector<std::string>{"MODULE"});
    expectText(std::string(kApp) + "\\Loader", "MODULE", second + '\0');
    expectGroups();
    expectName();
    EXPECT_EQ(host::appRegistrations().size(), 2u);
}

// Test that without the right to write below HKEY_LOCAL_MACHINE nothing is written,
// the application is still registered, and initialisation still answers 0.
TEST_F(UpdateRegistry, RefusedWritesWriteNothing) {
    loadAs("bin", "tevcom.arx");
    platform::setRefuseMachineWrites(true);
    int appId = 0;
    EXPECT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, &appId), AcRx::kRetOK);
    EXPECT_FALSE(platform::registryChanged());
    EXPECT_FALSE(keyExists("Software\\TEV soft"));
    ASSERT_EQ(host::appRegistrations().size(), 1u);
    EXPECT_EQ(host::appRegistrations()[0].logicalName, "TEVCOM");
    EXPECT_EQ(acrxEntryPoint(AcRx::kUnloadAppMsg, &appId), AcRx::kRetOK);
}

// Test that when the first or second key cannot be made nothing is written and every
// key made is closed again.
TEST_F(UpdateRegistry, FailingUpperKeysWriteNothing) {
    loadAs("bin", "tevcom.arx");
    platform::failKeyCreation("TEV soft", ERROR_ACCESS_DENIED);
    updateRegistry();
    EXPECT_FALSE(keyExists("Software\\TEV soft"));

    platform::failKeyCreation("TEVCOM", ERROR_ACCESS_DENIED);
    updateRegistry();
    EXPECT_TRUE(keyExists("Software\\TEV soft"));
    EXPECT_FALSE(keyExists(kApp));
    EXPECT_EQ(platform::openKeyCount(), 0);
    EXPECT_EQ(host::appRegistrations().size(), 2u);
}

// Test that a subkey that cannot be made leaves out only its own values: the later
// keys are still written, for each of the four.
TEST_F(UpdateRegistry, FailingSubkeyLeavesOutOnlyItsValues) {
    std::string path = loadAs("bin", "tevcom.arx");
    for (const char *failing : {"Groups", "Commands", "Loader", "Name"}) {
        platform::resetRegistry();
        platform::failKeyCreation(failing, ERROR_ACCESS_DENIED);
        updateRegistry();
        EXPECT_FALSE(keyExists(std::string(kApp) + "\\" + failing)) << failing;
        if (std::string(failing) != "Groups")
            expectGroups();
        if (std::string(failing) != "Commands")
            expectCommands();
        if (std::string(failing) != "Loader")
            expectText(std::string(kApp) + "\\Loader", "MODULE", path + '\0');
        if (std::string(failing) != "Name")
            expectName();
        EXPECT_EQ(platform::openKeyCount(), 0) << failing;
    }
}

// Test that a value that cannot be set is skipped and the next one is still set.
TEST_F(UpdateRegistry, FailingValueIsSkipped) {
    loadAs("bin", "tevcom.arx");
    platform::failValueSetting("TEV_LP", ERROR_OUTOFMEMORY);
    updateRegistry();
    EXPECT_EQ(valueNames(std::string(kApp) + "\\Commands"),
              (std::vector<std::string>{"TEV_CL", "TEV_SEL", "TEV_JL", "TEV_NOR", "TEV_LPL",
                                        "TEV_WPE", "TEV_EN", "TEV_NEN"}));
    expectText(std::string(kApp) + "\\Commands", "TEV_JL", "Jl\0"s);
    expectName();
}

// Test the 512-byte buffer: a path of 511 characters fits with its NUL and is written
// whole (512 bytes); one of 512 or more does not, and then no "MODULE" is written
// rather than a cut path that would name another file.
TEST_F(UpdateRegistry, ModulePathMustFitTheBuffer) {
    std::string fits = loadAs(folderForPathLength(511), "tevcom.arx");
    ASSERT_EQ(fits.size(), 511u);
    updateRegistry();
    std::optional<Value> v = read(std::string(kApp) + "\\Loader", "MODULE");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->data.size(), 512u);
    EXPECT_EQ(v->data, fits + '\0');
    dlclose(mLoaded.back());
    mLoaded.pop_back();

    for (std::size_t length : {512u, 513u, 1500u}) {
        platform::resetRegistry();
        std::string tooLong = loadAs(folderForPathLength(length), "tevcom.arx");
        ASSERT_EQ(tooLong.size(), length);
        updateRegistry();
        EXPECT_TRUE(keyExists(std::string(kApp) + "\\Loader")) << length;
        EXPECT_TRUE(valueNames(std::string(kApp) + "\\Loader").empty()) << length;
        expectName();
        dlclose(mLoaded.back());
        mLoaded.pop_back();
    }
}

} // namespace
