// registry_tree.h - the Windows registry as the host keeps it where there is no real one:
// a tree of keys with typed values, and its REGEDIT4 text form.
//
// Key and value names compare without regard to case (ASCII and the Cyrillic letters of
// Windows-1251), as the registry's do, and keep the spelling they were created with. Value
// data are bytes, kept exactly as they were set: a REG_SZ whose length does not count one
// final NUL round-trips through the file as exactly those bytes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host::platform {

// Registry value types, with the numbers Windows gives them.
enum : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
};

// True when two key or value names are the same name to the registry.
bool sameName(std::string_view a, std::string_view b);

struct RegValue {
    std::string name; // empty: the key's default value ("@" in the file)
    std::uint32_t type = kRegNone;
    std::string data; // the bytes exactly as set, NULs included
};

class RegKey {
public:
    explicit RegKey(std::string name) : mName(std::move(name)) {}

    const std::string &name() const { return mName; }
    // The subkey of that name, or nullptr.
    RegKey *child(std::string_view name) const;
    // The subkey of that name, made when missing; created tells which.
    RegKey &makeChild(std::string_view name, bool &created);
    // Removes the subkey and everything below it; false when there is none.
    bool removeChild(std::string_view name);
    // Subkeys in the registry's order (by name, without regard to case).
    const std::vector<std::unique_ptr<RegKey>> &children() const { return mChildren; }

    const RegValue *value(std::string_view name) const;
    // Sets or replaces a value; a new value goes after the others, a replaced one keeps
    // its place and the spelling of its name.
    void setValue(std::string_view name, std::uint32_t type, std::string data);
    bool removeValue(std::string_view name);
    const std::vector<RegValue> &values() const { return mValues; }

private:
    std::string mName;
    std::vector<std::unique_ptr<RegKey>> mChildren;
    std::vector<RegValue> mValues;
};

// The four root keys a REGEDIT4 file may name.
enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users };
inline constexpr int kRootCount = 4;
const char *rootName(Root root);

class RegistryTree {
public:
    RegistryTree();

    RegKey &root(Root r) { return *mRoots[static_cast<int>(r)]; }
    const RegKey &root(Root r) const { return *mRoots[static_cast<int>(r)]; }
    // The key at a backslash-separated path below a root, or nullptr.
    RegKey *find(Root r, std::string_view path);
    void clear();

    // Parses a REGEDIT4 file's text into this tree (added to what is there). On a
    // malformed line: false, and error names the line ("7: ...") and what is wrong.
    bool parse(std::string_view text, std::string &error);
    // The REGEDIT4 text of the whole tree: every key that exists, in the registry's order.
    std::string format() const;

private:
    std::unique_ptr<RegKey> mRoots[kRootCount];
};

} // namespace host::platform
