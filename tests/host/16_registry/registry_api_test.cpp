// registry_api_test.cpp - RegCreateKeyExA and its siblings over the registry stand-in:
// dispositions, access rights, exact value bytes and lengths, refused writes below
// HKEY_LOCAL_MACHINE, and the hooks that make one call fail.
#include "registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
namespace platform = host::platform;

namespace {

class RegistryApi : public ::testing::Test {
protected:
    void SetUp() override { platform::resetRegistry(); }
    void TearDown() override {
        for (HKEY h : mOpen)
            EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
        EXPECT_EQ(platform::openKeyCount(), 0);
        platform::resetRegistry();
    }

    LONG create(HKEY parent, const char *name, HKEY &key, REGSAM access = KEY_WRITE,
                DWORD *disposition = nullptr) {
        DWORD d = 0;
        LONG rc = RegCreateKeyExA(parent, name, 0, const_cast<char *>(""), REG_OPTION_NON_VOLATILE,
                                  access, nullptr, &key, &d);
        if (rc == ERROR_SUCCESS)
            mOpen.push_back(key);
        if (disposition != nullptr)
            *disposition = d;
        return rc;
    }
    LONG open(HKEY parent, const char *name, HKEY &key, REGSAM access = KEY_READ) {
        LONG rc = RegOpenKeyExA(parent, name, 0, access, &key);
        if (rc == ERROR_SUCCESS)
            mOpen.push_back(key);
        return rc;
    }
    static LONG set(HKEY key, const char *name, const std::string &data, DWORD type = REG_SZ) {
        return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(data.data()),
                              static_cast<DWORD>(data.size()));
    }
    // Reads a value whole; the type in type.
    static LONG query(HKEY key, const char *name, std::string &data, DWORD &type) {
        DWORD size = 0;
        LONG rc = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return rc;
        data.assign(size, '\x7f');
        rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()),
                              &size);
        data.resize(size);
        return rc;
    }

    std::vector<HKEY> mOpen;
};

// Test that a path of several keys is made in one call, reported as new the first time
// and as existing after, and found again by any spelling.
TEST_F(RegistryApi, CreatesPathsAndOpensExistingKeys) {
    HKEY k1 = nullptr, k2 = nullptr, k3 = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "Software\\TEV soft", k1, KEY_WRITE, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    EXPECT_TRUE(platform::registryChanged());
    ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\tev SOFT", k2, KEY_WRITE, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_OPENED_EXISTING_KEY));
    EXPECT_NE(k1, k2);
    ASSERT_EQ(create(k1, "TEVCOM\\Commands", k3, KEY_WRITE, &disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, DWORD(REG_CREATED_NEW_KEY));
    EXPECT_NE(platform::registryTree().find(platform::Root::LocalMachine,
                                            "software\\tev soft\\tevcom\\commands"),
              nullptr);
    EXPECT_EQ(platform::registryTree().find(platform::Root::CurrentUser, "Software"), nullptr);
    EXPECT_EQ(platform::openKeyCount(), 3);
    HKEY r = nullptr;
    EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "software\\TEV SOFT\\tevcom", r), ERROR_SUCCESS);
    EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "software\\TEV SOFT\\missing", r), ERROR_FILE_NOT_FOUND);
}

// Test that values come back with their type and exactly the bytes set, whatever the
// length passed says about NULs, and that setting again replaces without duplicates.
TEST_F(RegistryApi, ValuesKeepTypeAndExactBytes) {
    HKEY w = nullptr, r = nullptr;
    ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "Software\\T", w, KEY_WRITE | KEY_READ), ERROR_SUCCESS);
    ASSERT_EQ(set(w, "TEV_CL", "Cl\0"s), ERROR_SUCCESS);
    ASSERT_EQ(set(w, "noNul", "Cl"s), ERROR_SUCCESS);
    ASSERT_EQ(set(w, "afterNul", "Cl\0junk"s), ERROR_SUCCESS);
    ASSERT_EQ(set(w, "empty", ""s), ERROR_SUCCESS);
    ASSERT_EQ(set(w, "bin", "\x00\x01\xff"s, REG_BINARY), ERROR_SUCCESS);
    ASSERT_EQ(set(w, nullptr, "default\0"s), ERROR_SUCCESS);
    ASSERT_EQ(set(w, "tev_cl", "Cl\0"s), ERROR_SUCCESS);
    ASSERT_EQ(open(HKEY_LOCAL_MACHINE, "Software\\T", r), ERROR_SUCCESS);

    struct Expect {
        const char *name;
        DWORD type;
        std::string data;
    };
    const Expect expected[] = {
        {"TEV_CL", REG_SZ, "Cl\0"s},          {"noNul", REG_SZ, "Cl"s},
        {"AFTERNUL", REG_SZ, "Cl\0junk"s},    {"empty", REG_SZ, ""s},
        {"bin", REG_BINARY, "\x00\x01\xff"s}, {"", REG_SZ, "default\0"s},
    };
    for (const Expect &e : expected) {
        std::string data;
        DWORD type = 0;
        ASSERT_EQ(query(r, e.name, data, type), ERROR_SUCCESS) << e.name;
        EXPECT_EQ(type, e.type) << e.name;
        EXPECT_EQ(data, e.data) << e.name;
    }
    EXPECT_EQ(
        platform::registryTree().find(platform::Root::LocalMachine, "Software\\T")->values().size(),
        6u);
    std::string data;
    DWORD type = 0;
    EXPECT_EQ(query(r, "missing", data, type), ERROR_FILE_NOT_FOUND);
}

// Test the sizes RegQueryValueExA answers: the size alone, a buffer too small
// (ERROR_MORE_DATA, nothing written past it), one just large enough, and bad arguments.
TEST_F(RegistryApi, QueryAnswersSizesAsWindowsDoes) {
    HKEY w = nullptr, r = nullptr;
    ASSERT_EQ(create(HKEY_CURRENT_USER, "Q", w), ERROR_SUCCESS);
    ASSERT_EQ(set(w, "TEV_TEVCOM", "TEV_TEVCOM\0"s), ERROR_SUCCESS);
    ASSERT_EQ(open(HKEY_CURRENT_USER, "Q", r), ERROR_SUCCESS);

    DWORD size = 0, type = 0;
    ASSERT_EQ(RegQueryValueExA(r, "TEV_TEVCOM", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(type, DWORD(REG_SZ));

    BYTE buf[16];
    std::fill(std::begin(buf), std::end(buf), BYTE('#'));
    size = 10;
    EXPECT_EQ(RegQueryValueExA(r, "TEV_TEVCOM", nullptr, &type, buf, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(buf[10], BYTE('#'));

    size = 11;
    ASSERT_EQ(RegQueryValueExA(r, "TEV_TEVCOM", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 11u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), 11), "TEV_TEVCOM\0"s);
    EXPECT_EQ(buf[11], BYTE('#'));

    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(r, "TEV_TEVCOM", &reserved, &type, nullptr, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(r, "TEV_TEVCOM", nullptr, &type, buf, nullptr),
              ERROR_INVALID_PARAMETER);
}

// Test that a handle can do only what it was opened for: KEY_WRITE cannot read values,
// KEY_READ cannot set them or make subkeys.
TEST_F(RegistryApi, HandlesKeepTheirAccess) {
    HKEY w = nullptr, r = nullptr, sub = nullptr;
    ASSERT_EQ(create(HKEY_CURRENT_USER, "A", w, KEY_WRITE), ERROR_SUCCESS);
    ASSERT_EQ(set(w, "v", "1\0"s), ERROR_SUCCESS);
    std::string data;
    DWORD type = 0;
    EXPECT_EQ(query(w, "v", data, type), ERROR_ACCESS_DENIED);
    ASSERT_EQ(open(HKEY_CURRENT_USER, "A", r, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(set(r, "v", "2\0"s), ERROR_ACCESS_DENIED);
    EXPECT_EQ(create(r, "Sub", sub), ERROR_ACCESS_DENIED);
    EXPECT_EQ(query(r, "v", data, type), ERROR_SUCCESS);
    EXPECT_EQ(data, "1\0"s);
}

// Test that handles that are not open keys are refused, and that roots close quietly.
TEST_F(RegistryApi, BadHandlesAndArgumentsAreRefused) {
    HKEY k = nullptr;
    DWORD d = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_USERS, "X", 0, nullptr, 0, KEY_WRITE, nullptr, &k, &d),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(set(k, "v", "1\0"s), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    HKEY bogus = reinterpret_cast<HKEY>(std::uintptr_t(0x80000009u));
    EXPECT_EQ(create(bogus, "X", k), ERROR_INVALID_HANDLE);

    const char *badNames[] = {"\\Lead", "Trail\\", "Dou\\\\ble", "Line\nBreak"};
    for (const char *name : badNames)
        EXPECT_EQ(create(HKEY_USERS, name, k), ERROR_INVALID_PARAMETER) << name;
    EXPECT_EQ(create(HKEY_USERS, std::string(256, 'n').c_str(), k), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(create(HKEY_USERS, std::string(255, 'n').c_str(), k), ERROR_SUCCESS);
    EXPECT_EQ(create(HKEY_USERS, nullptr, k), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_USERS, "V", 0, nullptr, 1 /* volatile */, KEY_WRITE, nullptr, &k, &d),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExA(HKEY_USERS, "V", 0, nullptr, 0, KEY_WRITE, nullptr, nullptr, &d),
              ERROR_INVALID_PARAMETER);
    HKEY w = nullptr;
    ASSERT_EQ(create(HKEY_USERS, "W", w), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(w, "v", 0, REG_SZ, nullptr, 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(set(w, "line\nbreak", "x\0"s), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(w, "nothing", 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);
}

// Test that a user without administrator rights may read below HKEY_LOCAL_MACHINE but
// neither make keys, open them for writing nor set values there; other roots stay open.
TEST_F(RegistryApi, RefusedMachineWritesChangeNothing) {
    HKEY k = nullptr;
    ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "Software\\Existing", k), ERROR_SUCCESS);
    ASSERT_EQ(set(k, "v", "old\0"s), ERROR_SUCCESS);
    platform::markRegistryUnchanged();
    platform::setRefuseMachineWrites(true);

    HKEY denied = nullptr;
    EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "Software\\TEV soft", denied), ERROR_ACCESS_DENIED);
    EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "Software\\Existing", denied), ERROR_ACCESS_DENIED);
    EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "Software\\New", denied, KEY_READ), ERROR_ACCESS_DENIED);
    EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "Software\\Existing", denied, KEY_WRITE),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(set(k, "v", "new\0"s), ERROR_ACCESS_DENIED);
    EXPECT_EQ(set(HKEY_LOCAL_MACHINE, "v", "new\0"s), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(platform::registryChanged());
    EXPECT_EQ(platform::registryTree().find(platform::Root::LocalMachine, "Software\\TEV soft"),
              nullptr);

    HKEY r = nullptr;
    ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "Software\\Existing", r, KEY_READ), ERROR_SUCCESS);
    std::string data;
    DWORD type = 0;
    ASSERT_EQ(query(r, "v", data, type), ERROR_SUCCESS);
    EXPECT_EQ(data, "old\0"s);

    HKEY user = nullptr;
    EXPECT_EQ(create(HKEY_CURRENT_USER, "Software\\TEV soft", user), ERROR_SUCCESS);
    EXPECT_EQ(set(user, "v", "1\0"s), ERROR_SUCCESS);
}

// Test that the hooks make exactly the named key or value fail, with the error asked for.
TEST_F(RegistryApi, HooksFailOneKeyOrValue) {
    platform::failKeyCreation("commands", ERROR_ACCESS_DENIED);
    platform::failValueSetting("TEV_SEL", ERROR_OUTOFMEMORY);
    HKEY app = nullptr, k = nullptr;
    ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "Software\\TEVCOM", app), ERROR_SUCCESS);
    EXPECT_EQ(create(app, "Commands", k), ERROR_ACCESS_DENIED);
    EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "Software\\TEVCOM\\Commands", k), ERROR_ACCESS_DENIED);
    ASSERT_EQ(create(app, "Commands2", k), ERROR_SUCCESS);
    EXPECT_EQ(set(k, "TEV_SEL", "Sel\0"s), ERROR_OUTOFMEMORY);
    EXPECT_EQ(set(k, "TEV_CL", "Cl\0"s), ERROR_SUCCESS);
    EXPECT_EQ(
        platform::registryTree().find(platform::Root::LocalMachine, "Software\\TEVCOM\\Commands"),
        nullptr);
    platform::failKeyCreation("", 0);
    EXPECT_EQ(create(app, "Commands", k), ERROR_SUCCESS);
}

} // namespace
