// regcheck.cpp - reads tevcom's demand-load entries back from the Windows registry, as the
// host's demand loader would, and checks them: every key and no other, every value REG_SZ
// with its exact bytes and length, and nothing duplicated. Built for Windows by
// .ci/wine.sh and run under Wine after arxhost.exe has loaded the module.
//
//   regcheck PATH   the tree, with "MODULE" holding PATH
//   regcheck -      the tree, with the key "Loader" but no "MODULE"
//   regcheck none   no "Software\TEV soft" at all
//
// Prints "ok: ..." or "FAIL: ..." per check and a closing "N passed, M failed"; the exit
// code is 1 when a check failed.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

int gPassed = 0;
int gFailed = 0;

void check(bool ok, const std::string &what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    (ok ? gPassed : gFailed)++;
}

// Shows bytes so that a failure says what was there: printable ASCII as is, the rest hex.
std::string shown(const std::string &bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        char buf[8];
        if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

struct Key {
    HKEY h = nullptr;
    explicit Key(const std::string &path) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
            h = nullptr;
    }
    ~Key() {
        if (h != nullptr)
            RegCloseKey(h);
    }
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;

    std::vector<std::string> subkeys() const {
        std::vector<std::string> names;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD size = sizeof name;
            if (RegEnumKeyExA(h, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                return names;
            names.emplace_back(name, size);
        }
    }
    std::vector<std::string> valueNames() const {
        std::vector<std::string> names;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD size = sizeof name;
            if (RegEnumValueA(h, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                return names;
            names.emplace_back(name, size);
        }
    }
};

std::string joined(const std::vector<std::string> &names) {
    std::string out;
    for (const std::string &n : names)
        out += (out.empty() ? "" : ",") + n;
    return out;
}

// A value set by the module: REG_SZ with exactly the bytes of text and one NUL.
void checkText(const Key &key, const std::string &where, const char *name,
               const std::string &text) {
    const std::string wanted = text + '\0';
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(key.h, name, nullptr, &type, nullptr, &size);
    check(rc == ERROR_SUCCESS, where + " has \"" + name + "\"");
    if (rc != ERROR_SUCCESS)
        return;
    std::string data(size, '\0');
    rc =
        RegQueryValueExA(key.h, name, nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size);
    data.resize(size);
    check(rc == ERROR_SUCCESS && type == REG_SZ,
          where + "\\" + name + " is REG_SZ (type " + std::to_string(type) + ")");
    check(size == wanted.size(), where + "\\" + name + " is " + std::to_string(wanted.size()) +
                                     " bytes (got " + std::to_string(size) + ")");
    check(data == wanted,
          where + "\\" + name + " = \"" + shown(wanted) + "\" (got \"" + shown(data) + "\")");
}

void checkOnly(const Key &key, const std::string &where, const std::vector<std::string> &names) {
    std::vector<std::string> got = key.valueNames();
    check(got.size() == names.size(), where + " has " + std::to_string(names.size()) +
                                          " values, no duplicates (got " + joined(got) + ")");
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: regcheck PATH | - | none\n");
        return 2;
    }
    const std::string module = argv[1];
    const std::string soft = "Software\\TEV soft";
    const std::string app = soft + "\\TEVCOM";
    check(GetACP() == 1251, "the ANSI code page is 1251 (got " + std::to_string(GetACP()) + ")");

    Key softKey(soft);
    if (module == "none") {
        check(softKey.h == nullptr, "no key " + soft);
    } else {
        check(softKey.h != nullptr, "key " + soft + " exists");
        Key appKey(app);
        check(appKey.h != nullptr, "key " + app + " exists");
        if (softKey.h != nullptr && appKey.h != nullptr) {
            check(softKey.valueNames().empty(), soft + " has no values");
            check(joined(softKey.subkeys()) == "TEVCOM", soft + " holds only TEVCOM");
            check(appKey.valueNames().empty(), app + " has no values");
            check(joined(appKey.subkeys()) == "Commands,Groups,Loader,Name",
                  app + " holds Commands, Groups, Loader, Name (got " + joined(appKey.subkeys()) +
                      ")");

            Key groups(app + "\\Groups");
            checkOnly(groups, "Groups", {"TEV_TEVCOM"});
            checkText(groups, "Groups", "TEV_TEVCOM", "TEV_TEVCOM");

            const char *const commands[][2] = {
                {"TEV_CL", "Cl"},   {"TEV_SEL", "Sel"}, {"TEV_LP", "Lp"},
                {"TEV_JL", "Jl"},   {"TEV_NOR", "Nor"}, {"TEV_LPL", "Lpl"},
                {"TEV_WPE", "Wpe"}, {"TEV_EN", "En"},   {"TEV_NEN", "Nen"},
            };
            Key cmds(app + "\\Commands");
            checkOnly(cmds, "Commands", std::vector<std::string>(9));
            for (const auto &c : commands)
                checkText(cmds, "Commands", c[0], c[1]);

            Key loader(app + "\\Loader");
            check(loader.h != nullptr, "key Loader exists");
            if (module == "-") {
                checkOnly(loader, "Loader", {});
            } else {
                checkOnly(loader, "Loader", {"MODULE"});
                checkText(loader, "Loader", "MODULE", module);
            }

            // "Полезные команды для чертежей" in Windows-1251: 29 bytes and a NUL.
            const std::string title = "\xCF\xEE\xEB\xE5\xE7\xED\xFB\xE5\x20\xEA\xEE\xEC\xE0\xED"
                                      "\xE4\xFB\x20\xE4\xEB\xFF\x20\xF7\xE5\xF0\xF2\xE5\xE6"
                                      "\xE5\xE9"s;
            Key name(app + "\\Name");
            checkOnly(name, "Name", {"TEVCOM"});
            checkText(name, "Name", "TEVCOM", title);
        }
    }
    std::printf("%d passed, %d failed\n", gPassed, gFailed);
    return gFailed == 0 ? 0 : 1;
}
