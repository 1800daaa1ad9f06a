// loaded_module_test.cpp - the real tevcom.arx, loaded by the host's dynamic linker as
// arxhost loads it: the registry tree it writes, a second load, unloading, a file under
// another name, refused writes, and the tree through the registry file and back.
#include "drawing_io.h"
#include "registry_file.h"
#include "registry_checks.h"
#include "runtime.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
namespace platform = host::platform;
using namespace regcheck;

namespace {

class LoadedModule : public ::testing::Test {
protected:
    void SetUp() override {
        platform::resetRegistry();
        host::installRuntime();
        char pattern[] = "/tmp/winload-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        mDir = pattern;
    }
    void TearDown() override {
        host::dynamicLinker().unloadAll();
        EXPECT_EQ(platform::openKeyCount(), 0) << "a key was left open";
        std::string error;
        (void)host::platform::closeRegistry(error);
        fs::remove_all(mDir);
        platform::resetRegistry();
    }
    // The module file copied to dir/name; its path.
    std::string install(const std::string &dir, const std::string &name) {
        fs::create_directories(mDir / dir);
        fs::path target = mDir / dir / name;
        fs::copy_file(TEVCOM_MODULE, target);
        return target.string();
    }
    static void load(const std::string &path) {
        std::string error;
        ASSERT_TRUE(host::dynamicLinker().load(path, error)) << error;
    }
    static void unload(const std::string &fileName) {
        std::string error;
        ASSERT_TRUE(host::dynamicLinker().unload(fileName, error)) << error;
    }

    fs::path mDir;
};

// Test that loading writes the whole tree, that unloading leaves it, and that a second
// load (from another folder) rewrites the same values without duplicates.
TEST_F(LoadedModule, LoadWritesTreeUnloadLeavesItReloadRewrites) {
    std::string first = install("one", "tevcom.arx");
    load(first);
    expectWholeTree(first);
    unload("tevcom.arx");
    expectWholeTree(first);

    std::string second = install("two", "tevcom.arx");
    load(second);
    expectWholeTree(second);
    EXPECT_EQ(valueNames(std::string(kApp) + "\\Commands").size(), 9u);
}

// Test that the module file under another name gets "Loader" without "MODULE".
TEST_F(LoadedModule, OtherFileNameGetsLoaderWithoutModule) {
    load(install("bin", "tevcom-1.2.arx"));
    expectWholeTree("");
}

// Test that a user who may not write below HKEY_LOCAL_MACHINE still gets the module
// loaded, with its commands, and nothing in the registry.
TEST_F(LoadedModule, RefusedWritesStillLoad) {
    platform::setRefuseMachineWrites(true);
    load(install("bin", "tevcom.arx"));
    EXPECT_FALSE(platform::registryChanged());
    EXPECT_FALSE(keyExists("Software"));
    EXPECT_NE(host::dynamicLinker().find("tevcom.arx"), nullptr);
}

// Test that the registry file holds what the module wrote, as a person reads it, and
// gives the same tree back to the next run.
TEST_F(LoadedModule, TreeGoesThroughTheRegistryFile) {
    fs::path file = mDir / "registry.reg";
    ASSERT_TRUE(host::platform::openRegistry(file.string(), false));
    std::string path = install("bin", "tevcom.arx");
    load(path);
    host::dynamicLinker().unloadAll();
    std::string error;
    ASSERT_TRUE(host::platform::closeRegistry(error)) << error;

    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string expected =
        "REGEDIT4\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\TEV soft]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\TEV soft\\TEVCOM]\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\TEV soft\\TEVCOM\\Commands]\r\n"
        "\"TEV_CL\"=\"Cl\"\r\n\"TEV_SEL\"=\"Sel\"\r\n\"TEV_LP\"=\"Lp\"\r\n\"TEV_JL\"=\"Jl\"\r\n"
        "\"TEV_NOR\"=\"Nor\"\r\n\"TEV_LPL\"=\"Lpl\"\r\n\"TEV_WPE\"=\"Wpe\"\r\n"
        "\"TEV_EN\"=\"En\"\r\n\"TEV_NEN\"=\"Nen\"\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\TEV soft\\TEVCOM\\Groups]\r\n"
        "\"TEV_TEVCOM\"=\"TEV_TEVCOM\"\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\TEV soft\\TEVCOM\\Loader]\r\n"
        "\"MODULE\"=\"" +
        path +
        "\"\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\TEV soft\\TEVCOM\\Name]\r\n"
        "\"TEVCOM\"=\"" +
        kTitle.substr(0, 29) + "\"\r\n\r\n";
    EXPECT_EQ(text.str(), expected);

    ASSERT_TRUE(host::platform::openRegistry(file.string(), false));
    expectWholeTree(path);
}

} // namespace
