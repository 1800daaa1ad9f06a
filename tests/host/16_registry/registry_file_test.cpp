// registry_file_test.cpp - arxhost's registry file: where it is by default, read at
// start, written atomically at exit, and the clear refusals of files that cannot be used.
#include "registry_file.h"
#include "registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
namespace platform = host::platform;
using namespace std::string_literals;

namespace {

std::string readFile(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path &p, const std::string &text) {
    std::ofstream out(p, std::ios::binary);
    out << text;
}

class RegistryFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/regfile-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        mDir = pattern;
        saveEnv("XDG_CONFIG_HOME", mSavedXdg, mHadXdg);
        saveEnv("HOME", mSavedHome, mHadHome);
    }
    void TearDown() override {
        std::string error;
        (void)host::platform::closeRegistry(error);
        restoreEnv("XDG_CONFIG_HOME", mSavedXdg, mHadXdg);
        restoreEnv("HOME", mSavedHome, mHadHome);
        platform::resetRegistry();
        fs::permissions(mDir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(mDir);
    }

    static void saveEnv(const char *name, std::string &value, bool &had) {
        const char *v = std::getenv(name);
        had = v != nullptr;
        value = had ? v : "";
    }
    static void restoreEnv(const char *name, const std::string &value, bool had) {
        if (had)
            ::setenv(name, value.c_str(), 1);
        else
            ::unsetenv(name);
    }

    // Sets a value below HKEY_LOCAL_MACHINE as the module would; the call's result.
    static LONG setMachineValue(const char *key, const char *name, const std::string &data) {
        HKEY k = nullptr;
        DWORD d = 0;
        LONG rc =
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, &d);
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(data.data()),
                            static_cast<DWORD>(data.size()));
        (void)RegCloseKey(k);
        return rc;
    }

    // Opens the registry file expecting refusal; the message printed.
    static std::string refusal(const std::string &path) {
        ::testing::internal::CaptureStderr();
        bool ok = host::platform::openRegistry(path, false);
        std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(ok) << path;
        return message;
    }

    fs::path mDir;
    std::string mSavedXdg, mSavedHome;
    bool mHadXdg = false, mHadHome = false;
};

// Test that a registry file that does not exist is made at exit, in REGEDIT4, holding
// what was set, with no temporary file left beside it.
TEST_F(RegistryFile, MissingFileIsMadeAtExit) {
    fs::path file = mDir / "registry.reg";
    ASSERT_TRUE(host::platform::openRegistry(file.string(), false));
    EXPECT_FALSE(fs::exists(file));
    ASSERT_EQ(setMachineValue("Software\\TEV soft\\TEVCOM\\Groups", "TEV_TEVCOM", "TEV_TEVCOM\0"s),
              ERROR_SUCCESS);
    std::string error;
    ASSERT_TRUE(host::platform::closeRegistry(error)) << error;
    EXPECT_EQ(readFile(file), "REGEDIT4\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\TEV soft]\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\TEV soft\\TEVCOM]\r\n\r\n"
                              "[HKEY_LOCAL_MACHINE\\Software\\TEV soft\\TEVCOM\\Groups]\r\n"
                              "\"TEV_TEVCOM\"=\"TEV_TEVCOM\"\r\n\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(mDir), fs::directory_iterator()), 1);

    // Even with nothing set, a missing file is made, so that a person finds it.
    fs::path empty = mDir / "empty.reg";
    ASSERT_TRUE(host::platform::openRegistry(empty.string(), false));
    ASSERT_TRUE(host::platform::closeRegistry(error)) << error;
    EXPECT_EQ(readFile(empty), "REGEDIT4\r\n\r\n");
}

// Test that the default file is $XDG_CONFIG_HOME/arxhost/registry.reg, else
// ~/.config/arxhost/registry.reg, with the folders made when missing.
TEST_F(RegistryFile, DefaultPlaceFollowsXdgThenHome) {
    ::setenv("XDG_CONFIG_HOME", (mDir / "xdg").c_str(), 1);
    ASSERT_TRUE(host::platform::openRegistry("", false));
    std::string error;
    ASSERT_TRUE(host::platform::closeRegistry(error)) << error;
    EXPECT_TRUE(fs::is_regular_file(mDir / "xdg" / "arxhost" / "registry.reg"));

    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", (mDir / "home").c_str(), 1);
    ASSERT_TRUE(host::platform::openRegistry("", false));
    ASSERT_TRUE(host::platform::closeRegistry(error)) << error;
    EXPECT_TRUE(fs::is_regular_file(mDir / "home" / ".config" / "arxhost" / "registry.reg"));

    ::setenv("XDG_CONFIG_HOME", "relative/not/used", 1);
    ::unsetenv("HOME");
    EXPECT_NE(refusal("").find("no registry file"), std::string::npos);
}

// Test that a file that exists is read in, with its values visible through the
// registry calls, and left untouched when nothing changed.
TEST_F(RegistryFile, ExistingFileIsReadAndLeftWhenUnchanged) {
    fs::path file = mDir / "registry.reg";
    const std::string text = "REGEDIT4\n; kept as written\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\TEV soft\\TEVCOM\\Name]\n"
                             "\"TEVCOM\"=\"\xCF\xEE\xEB\xE5\xE7\xED\xFB\xE5\"\n";
    writeFile(file, text);
    ASSERT_TRUE(host::platform::openRegistry(file.string(), false));
    HKEY k = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\TEV soft\\TEVCOM\\Name", 0, KEY_READ, &k),
        ERROR_SUCCESS);
    char buf[32];
    DWORD size = sizeof buf, type = 0;
    ASSERT_EQ(RegQueryValueExA(k, "TEVCOM", nullptr, &type, reinterpret_cast<BYTE *>(buf), &size),
              ERROR_SUCCESS);
    (void)RegCloseKey(k);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(std::string(buf, size), "\xCF\xEE\xEB\xE5\xE7\xED\xFB\xE5\0"s);
    std::string error;
    ASSERT_TRUE(host::platform::closeRegistry(error)) << error;
    EXPECT_EQ(readFile(file), text);
}

// Test that a changed registry replaces the file, keeping what it held before and the
// Windows-1251 bytes exactly, and that a second run reads it back to the same bytes.
TEST_F(RegistryFile, ChangesAreWrittenAndReadBack) {
    fs::path file = mDir / "registry.reg";
    writeFile(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Other]\r\n\"keep\"=\"me\"\r\n\r\n");
    ASSERT_TRUE(host::platform::openRegistry(file.string(), false));
    ASSERT_EQ(setMachineValue("Software\\A", "title", "\xCF\xEE\xEB\0"s), ERROR_SUCCESS);
    ASSERT_EQ(setMachineValue("Software\\A", "noNul", "Cl"s), ERROR_SUCCESS);
    std::string error;
    ASSERT_TRUE(host::platform::closeRegistry(error)) << error;
    std::string written = readFile(file);
    EXPECT_NE(written.find("[HKEY_CURRENT_USER\\Other]\r\n\"keep\"=\"me\"\r\n"), std::string::npos);
    EXPECT_NE(written.find("\"title\"=\"\xCF\xEE\xEB\"\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("\"noNul\"=hex(1):43,6c\r\n"), std::string::npos) << written;

    ASSERT_TRUE(host::platform::openRegistry(file.string(), false));
    const platform::RegKey *a =
        platform::registryTree().find(platform::Root::LocalMachine, "Software\\A");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a->value("noNul"), nullptr);
    EXPECT_EQ(a->value("noNul")->data, "Cl"s);
    ASSERT_TRUE(host::platform::closeRegistry(error)) << error;
    EXPECT_EQ(readFile(file), written);
}

// Test that --registry-readonly refuses the module's writes below HKEY_LOCAL_MACHINE and
// leaves the file as it was.
TEST_F(RegistryFile, ReadOnlyRefusesMachineWrites) {
    fs::path file = mDir / "registry.reg";
    writeFile(file, "REGEDIT4\n");
    ASSERT_TRUE(host::platform::openRegistry(file.string(), true));
    EXPECT_EQ(setMachineValue("Software\\TEV soft", "v", "1\0"s), ERROR_ACCESS_DENIED);
    std::string error;
    ASSERT_TRUE(host::platform::closeRegistry(error)) << error;
    EXPECT_EQ(readFile(file), "REGEDIT4\n");
    // The refusal belongs to that run only.
    ASSERT_TRUE(host::platform::openRegistry(file.string(), false));
    EXPECT_EQ(setMachineValue("Software\\TEV soft", "v", "1\0"s), ERROR_SUCCESS);
}

// Test that files that cannot be used are refused at start with a message naming the
// file and why, and that nothing of a malformed file is kept.
TEST_F(RegistryFile, UnusableFilesAreRefusedClearly) {
    EXPECT_NE(refusal(mDir.string()).find(": is a folder, not a file"), std::string::npos);

    fs::path bad = mDir / "bad.reg";
    writeFile(bad, "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Good]\n\"a\"=\"1\"\n\"b\"=nonsense\n");
    std::string message = refusal(bad.string());
    EXPECT_NE(message.find("registry file " + bad.string() + ":4: the data must be"),
              std::string::npos)
        << message;
    EXPECT_EQ(platform::registryTree().find(platform::Root::LocalMachine, "Good"), nullptr);

    fs::path utf16 = mDir / "utf16.reg";
    writeFile(utf16, "\xff\xfeW\0i\0n\0\r\0\n\0"s);
    EXPECT_NE(refusal(utf16.string()).find("not a REGEDIT4 file"), std::string::npos);

    EXPECT_NE(refusal((mDir / "no" / "such" / "folder.reg").string()).find("does not exist"),
              std::string::npos);

    if (::geteuid() != 0) { // the superuser reads whatever the permissions say
        fs::path locked = mDir / "locked.reg";
        writeFile(locked, "REGEDIT4\n");
        fs::permissions(locked, fs::perms::none);
        EXPECT_NE(refusal(locked.string()).find("cannot be read"), std::string::npos);
    }
}

// Test that a registry file that cannot be written at exit is reported, the old file
// (here a folder put in its place) is untouched and no temporary file is left.
TEST_F(RegistryFile, FailedWriteIsReportedAndLeavesNoTrace) {
    fs::path file = mDir / "registry.reg";
    ASSERT_TRUE(host::platform::openRegistry(file.string(), false));
    ASSERT_EQ(setMachineValue("Software\\A", "v", "1\0"s), ERROR_SUCCESS);
    fs::create_directory(file);
    writeFile(file / "inside", "x");
    std::string error;
    EXPECT_FALSE(host::platform::closeRegistry(error));
    EXPECT_NE(error.find("registry file " + file.string() + ": cannot be written"),
              std::string::npos)
        << error;
    EXPECT_EQ(readFile(file / "inside"), "x");
    EXPECT_EQ(std::distance(fs::directory_iterator(mDir), fs::directory_iterator()), 1);
}

} // namespace
