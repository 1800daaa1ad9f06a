// registry_api_posix.cpp - RegCreateKeyExA and its siblings over the host's registry
// tree, with the results Windows gives: handles with the access they were opened with,
// ERROR_ACCESS_DENIED for writes a user may not make, exact value bytes and lengths.
#include "registry.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

// An open key: where it is and what it may do. Keys are found again by path on every
// call, so a handle never points into a tree that has been read anew.
struct HKEY__ {
    host::platform::Root root;
    std::string path; // below the root, backslash-separated; empty for the root itself
    REGSAM access;
};

namespace host::platform {
namespace {

constexpr REGSAM kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | 0x0020 /* KEY_CREATE_LINK */ |
                                0x10000 /* DELETE */ | 0x40000 /* WRITE_DAC */ |
                                0x80000 /* WRITE_OWNER */;
constexpr std::size_t kMaxKeyName = 255; // the registry's limit on one key name

struct State {
    std::recursive_mutex lock;
    RegistryTree tree;
    std::set<HKEY> open;
    bool refuseMachineWrites = false;
    bool changed = false;
    std::string failKey;
    LONG failKeyError = ERROR_SUCCESS;
    std::string failValue;
    LONG failValueError = ERROR_SUCCESS;
};

State &state() {
    static State s;
    return s;
}

// What a handle stands for: a root, the path of a key below it, and what it may do.
struct Resolved {
    Root root;
    std::string path;
    REGSAM access;
};

// A predefined root handle, or an open key. Empty for anything else.
std::optional<Resolved> resolveHandle(HKEY h) {
    auto bits = reinterpret_cast<std::uintptr_t>(h);
    if (bits >= 0x80000000u && bits <= 0x80000003u) // KEY_ALL_ACCESS: decided per call
        return Resolved{static_cast<Root>(bits - 0x80000000u), std::string(), 0xF003F};
    State &st = state();
    if (h == nullptr || st.open.count(h) == 0)
        return std::nullopt;
    return Resolved{h->root, h->path, h->access};
}

bool deniedAt(Root root) {
    return root == Root::LocalMachine && state().refuseMachineWrites;
}

bool hasLineBreak(const char *s) {
    return std::strpbrk(s, "\r\n") != nullptr;
}

// Splits a subkey argument into names; false for a leading, doubled or trailing
// backslash, a name longer than the registry allows, or a line break (which the
// registry file could not hold).
bool subkeyNames(const char *subKey, std::vector<std::string> &names) {
    names.clear();
    std::string_view s(subKey);
    if (s.empty())
        return true;
    if (hasLineBreak(subKey))
        return false;
    for (;;) {
        std::size_t cut = s.find('\\');
        std::string_view name = s.substr(0, cut);
        if (name.empty() || name.size() > kMaxKeyName)
            return false;
        names.emplace_back(name);
        if (cut == std::string_view::npos)
            return true;
        s.remove_prefix(cut + 1);
    }
}

std::string joinPath(const std::string &base, const std::vector<std::string> &names) {
    std::string path = base;
    for (const std::string &n : names) {
        if (!path.empty())
            path += '\\';
        path += n;
    }
    return path;
}

HKEY newHandle(Root root, std::string path, REGSAM access) {
    HKEY h = new HKEY__{root, std::move(path), access};
    state().open.insert(h);
    return h;
}

} // namespace

RegistryTree &registryTree() {
    return state().tree;
}

void resetRegistry() {
    State &st = state();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    st.tree.clear();
    for (HKEY h : st.open)
        delete h;
    st.open.clear();
    st.refuseMachineWrites = false;
    st.changed = false;
    st.failKey.clear();
    st.failValue.clear();
}

void setRefuseMachineWrites(bool refuse) {
    state().refuseMachineWrites = refuse;
}
bool registryChanged() {
    return state().changed;
}
void markRegistryUnchanged() {
    state().changed = false;
}

int openKeyCount() {
    std::lock_guard<std::recursive_mutex> guard(state().lock);
    return static_cast<int>(state().open.size());
}

void failKeyCreation(const std::string &keyName, long error) {
    state().failKey = keyName;
    state().failKeyError = static_cast<LONG>(error);
}

void failValueSetting(const std::string &valueName, long error) {
    state().failValue = valueName;
    state().failValueError = static_cast<LONG>(error);
}

} // namespace host::platform

using namespace host::platform;

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*Reserved*/, LPSTR /*lpClass*/,
                     DWORD dwOptions, REGSAM samDesired,
                     LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                     LPDWORD lpdwDisposition) {
    State &st = state();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    const std::optional<Resolved> at = resolveHandle(hKey);
    if (!at)
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    // Only stored keys: the file keeps whatever is created, so volatile keys are refused.
    if (lpSubKey == nullptr || phkResult == nullptr || dwOptions != REG_OPTION_NON_VOLATILE ||
        !subkeyNames(lpSubKey, names))
        return ERROR_INVALID_PARAMETER;
    if (!names.empty() && !st.failKey.empty() && sameName(names.back(), st.failKey))
        return st.failKeyError;
    RegKey *key = st.tree.find(at->root, at->path);
    if (key == nullptr)
        return ERROR_INVALID_HANDLE; // the parent is gone: the tree was read anew
    std::size_t existing = 0;
    for (RegKey *k = key; existing < names.size() && (k = k->child(names[existing])) != nullptr;)
        ++existing;
    bool creates = existing < names.size();
    // A user without administrator rights may read below HKEY_LOCAL_MACHINE, nothing else.
    if (deniedAt(at->root) && (creates || (samDesired & kWriteAccess) != 0))
        return ERROR_ACCESS_DENIED;
    if (creates && (at->access & KEY_CREATE_SUB_KEY) == 0)
        return ERROR_ACCESS_DENIED;
    bool created = false;
    for (const std::string &name : names)
        key = &key->makeChild(name, created);
    st.changed = st.changed || creates;
    *phkResult = newHandle(at->root, joinPath(at->path, names), samDesired);
    if (lpdwDisposition != nullptr)
        *lpdwDisposition = creates ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   PHKEY phkResult) {
    State &st = state();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    const std::optional<Resolved> at = resolveHandle(hKey);
    if (!at)
        return ERROR_INVALID_HANDLE;
    std::vector<std::string> names;
    if (phkResult == nullptr || !subkeyNames(lpSubKey == nullptr ? "" : lpSubKey, names))
        return ERROR_INVALID_PARAMETER;
    RegKey *key = st.tree.find(at->root, at->path);
    for (std::size_t i = 0; key != nullptr && i < names.size(); ++i)
        key = key->child(names[i]);
    if (key == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (deniedAt(at->root) && (samDesired & kWriteAccess) != 0)
        return ERROR_ACCESS_DENIED;
    *phkResult = newHandle(at->root, joinPath(at->path, names), samDesired);
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const BYTE *lpData, DWORD cbData) {
    State &st = state();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    const std::optional<Resolved> at = resolveHandle(hKey);
    if (!at)
        return ERROR_INVALID_HANDLE;
    const char *name = lpValueName == nullptr ? "" : lpValueName;
    if ((lpData == nullptr && cbData != 0) || hasLineBreak(name))
        return ERROR_INVALID_PARAMETER;
    if ((at->access & KEY_SET_VALUE) == 0 || deniedAt(at->root))
        return ERROR_ACCESS_DENIED;
    if (!st.failValue.empty() && sameName(name, st.failValue))
        return st.failValueError;
    RegKey *key = st.tree.find(at->root, at->path);
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    std::string data(reinterpret_cast<const char *>(lpData), lpData == nullptr ? 0 : cbData);
    key->setValue(name, dwType, std::move(data));
    st.changed = true;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                      BYTE *lpData, LPDWORD lpcbData) {
    State &st = state();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    const std::optional<Resolved> at = resolveHandle(hKey);
    if (!at)
        return ERROR_INVALID_HANDLE;
    if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
        return ERROR_INVALID_PARAMETER;
    if ((at->access & KEY_QUERY_VALUE) == 0)
        return ERROR_ACCESS_DENIED;
    RegKey *key = st.tree.find(at->root, at->path);
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    const RegValue *v = key->value(lpValueName == nullptr ? "" : lpValueName);
    if (v == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (lpType != nullptr)
        *lpType = v->type;
    auto size = static_cast<DWORD>(v->data.size());
    if (lpData != nullptr && *lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (lpData != nullptr)
        std::memcpy(lpData, v->data.data(), size);
    if (lpcbData != nullptr)
        *lpcbData = size;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    State &st = state();
    std::lock_guard<std::recursive_mutex> guard(st.lock);
    const std::optional<Resolved> at = resolveHandle(hKey);
    if (!at)
        return ERROR_INVALID_HANDLE;
    if (st.open.erase(hKey) != 0)
        delete hKey;
    return ERROR_SUCCESS;
}
