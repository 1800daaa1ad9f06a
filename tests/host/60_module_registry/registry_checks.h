// registry_checks.h - reading the module's registry entries back through the registry
// calls, as the host's demand loader would: key by key, value by value, with the type
// and the exact number of bytes.
#pragma once
#include "registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace regcheck {

using namespace std::string_literals;

inline const char *const kApp = "Software\\TEV soft\\TEVCOM";
// "Полезные команды для чертежей" in Windows-1251, with its NUL: 30 bytes.
inline const std::string kTitle = "\xCF\xEE\xEB\xE5\xE7\xED\xFB\xE5\x20\xEA\xEE\xEC\xE0\xED\xE4"
                                  "\xFB\x20\xE4\xEB\xFF\x20\xF7\xE5\xF0\xF2\xE5\xE6\xE5\xE9\0"s;

struct Value {
    DWORD type = 0;
    std::string data; // exactly the bytes stored
};

// The value name under HKEY_LOCAL_MACHINE\key, or nothing when the key or value is
// missing. Read with a buffer of exactly the size announced, as a careful reader does.
inline std::optional<Value> read(const std::string &key, const char *name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return std::nullopt;
    Value v;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(k, name, nullptr, &v.type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        v.data.assign(size, '\0');
        rc = RegQueryValueExA(k, name, nullptr, &v.type, reinterpret_cast<BYTE *>(v.data.data()),
                              &size);
        v.data.resize(size);
    }
    (void)RegCloseKey(k);
    if (rc != ERROR_SUCCESS)
        return std::nullopt;
    return v;
}

inline bool keyExists(const std::string &key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    (void)RegCloseKey(k);
    return true;
}

// The value names of a key in their stored order (the calls have no enumeration).
inline std::vector<std::string> valueNames(const std::string &key) {
    std::vector<std::string> names;
    if (const host::platform::RegKey *k =
            host::platform::registryTree().find(host::platform::Root::LocalMachine, key))
        for (const host::platform::RegValue &v : k->values())
            names.push_back(v.name);
    return names;
}

inline std::vector<std::string> subkeyNames(const std::string &key) {
    std::vector<std::string> names;
    if (const host::platform::RegKey *k =
            host::platform::registryTree().find(host::platform::Root::LocalMachine, key))
        for (const auto &c : k->children())
            names.push_back(c->name());
    return names;
}

inline void expectText(const std::string &key, const char *name, const std::string &withNul) {
    std::optional<Value> v = read(key, name);
    ASSERT_TRUE(v.has_value()) << key << " " << name;
    EXPECT_EQ(v->type, DWORD(REG_SZ)) << key << " " << name;
    EXPECT_EQ(v->data.size(), withNul.size()) << key << " " << name;
    EXPECT_EQ(v->data, withNul) << key << " " << name;
}

inline void expectGroups() {
    EXPECT_EQ(valueNames(std::string(kApp) + "\\Groups"), std::vector<std::string>{"TEV_TEVCOM"});
    expectText(std::string(kApp) + "\\Groups", "TEV_TEVCOM", "TEV_TEVCOM\0"s);
}

inline void expectCommands() {
    const std::string key = std::string(kApp) + "\\Commands";
    const std::vector<std::string> names = {"TEV_CL",  "TEV_SEL", "TEV_LP", "TEV_JL", "TEV_NOR",
                                            "TEV_LPL", "TEV_WPE", "TEV_EN", "TEV_NEN"};
    const std::vector<std::string> data = {"Cl\0"s,  "Sel\0"s, "Lp\0"s, "Jl\0"s, "Nor\0"s,
                                           "Lpl\0"s, "Wpe\0"s, "En\0"s, "Nen\0"s};
    EXPECT_EQ(valueNames(key), names);
    for (std::size_t i = 0; i < names.size(); ++i)
        expectText(key, names[i].c_str(), data[i]);
}

inline void expectName() {
    EXPECT_EQ(valueNames(std::string(kApp) + "\\Name"), std::vector<std::string>{"TEVCOM"});
    expectText(std::string(kApp) + "\\Name", "TEVCOM", kTitle);
}

// The whole tree: two keys without values, four subkeys, and "MODULE" holding
// modulePath (or no value at all when modulePath is empty).
inline void expectWholeTree(const std::string &modulePath) {
    EXPECT_EQ(subkeyNames("Software"), std::vector<std::string>{"TEV soft"});
    EXPECT_TRUE(valueNames("Software\\TEV soft").empty());
    EXPECT_EQ(subkeyNames("Software\\TEV soft"), std::vector<std::string>{"TEVCOM"});
    EXPECT_TRUE(valueNames(kApp).empty());
    EXPECT_EQ(subkeyNames(kApp),
              (std::vector<std::string>{"Commands", "Groups", "Loader", "Name"}));
    expectGroups();
    expectCommands();
    expectName();
    const std::string loader = std::string(kApp) + "\\Loader";
    EXPECT_TRUE(keyExists(loader));
    if (modulePath.empty()) {
        EXPECT_TRUE(valueNames(loader).empty());
    } else {
        EXPECT_EQ(valueNames(loader), std::vector<std::string>{"MODULE"});
        expectText(loader, "MODULE", modulePath + '\0');
    }
}

} // namespace regcheck
