// registry_tree.cpp - the registry's keys and values, and their REGEDIT4 text form.
#include "registry_tree.h"

#include "text_util.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace host::platform {
namespace {

unsigned char fold(char c) {
    return static_cast<unsigned char>(text::foldCase(c));
}

// The registry's order of names: byte by byte after folding case.
bool nameLess(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return fold(x) < fold(y); });
}

constexpr const char *kRootNames[kRootCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

// Splits a key path into its names; false when one of them is empty.
bool splitPath(std::string_view path, std::vector<std::string_view> &names) {
    names.clear();
    if (path.empty())
        return true;
    for (;;) {
        std::size_t cut = path.find('\\');
        std::string_view name = path.substr(0, cut);
        if (name.empty())
            return false;
        names.push_back(name);
        if (cut == std::string_view::npos)
            return true;
        path.remove_prefix(cut + 1);
    }
}

// ---------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------

// A REG_SZ goes in quotes when the quoted form gives back exactly its bytes: one final
// NUL and no other, and no line break that would end the line early.
bool quotable(const RegValue &v) {
    if (v.type != kRegSz || v.data.empty() || v.data.back() != '\0')
        return false;
    std::string_view text(v.data.data(), v.data.size() - 1);
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

void appendQuoted(std::string &out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// hex bytes, wrapped before the 80th column as the registry editor wraps them.
void appendHex(std::string &out, std::size_t lineStart, std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            out += ',';
            if (out.size() - lineStart > 76) {
                out += "\\\r\n  ";
                lineStart = out.size() - 4;
            }
        }
        auto b = static_cast<unsigned char>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
}

void appendValue(std::string &out, const RegValue &v) {
    std::size_t lineStart = out.size();
    if (v.name.empty())
        out += '@';
    else
        appendQuoted(out, v.name);
    out += '=';
    if (quotable(v)) {
        appendQuoted(out, std::string_view(v.data.data(), v.data.size() - 1));
    } else if (v.type == kRegDword && v.data.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = (n << 8) | static_cast<unsigned char>(v.data[i]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(n));
        out += buf;
    } else {
        char buf[24];
        if (v.type == kRegBinary)
            std::snprintf(buf, sizeof buf, "hex:");
        else
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
        out += buf;
        appendHex(out, lineStart, v.data);
    }
    out += "\r\n";
}

void appendKey(std::string &out, const std::string &path, const RegKey &key) {
    out += '[';
    out += path;
    out += "]\r\n";
    for (const RegValue &v : key.values())
        appendValue(out, v);
    out += "\r\n";
    for (const auto &child : key.children())
        appendKey(out, path + '\\' + child->name(), *child);
}

// ---------------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------------

using host::text::hexDigit;
using host::text::trim;

// Reads a quoted string at s (which starts with '"'), undoing \\ and \". The rest of the
// line after the closing quote in rest. False when the quote is not closed or an
// escape is not one of the two.
bool readQuoted(std::string_view s, std::string &text, std::string_view &rest, std::string &error) {
    text.clear();
    for (std::size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            rest = s.substr(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) {
                error = "a backslash in quotes must be written \\\\ (or \\\" for a quote)";
                return false;
            }
            c = s[++i];
        }
        text += c;
    }
    error = "the closing quote is missing";
    return false;
}

// Comma-separated hex bytes ("43,6c,00"); an empty list is no bytes.
bool readHexBytes(std::string_view s, std::string &bytes, std::string &error) {
    bytes.clear();
    s = trim(s);
    if (s.empty())
        return true;
    for (;;) {
        std::size_t cut = s.find(',');
        std::string_view item = trim(s.substr(0, cut));
        if (item.empty() || item.size() > 2 || hexDigit(item[0]) < 0 ||
            (item.size() == 2 && hexDigit(item[1]) < 0)) {
            error = "\"" + std::string(item) + "\" is not a hex byte";
            return false;
        }
        int b = hexDigit(item[0]);
        if (item.size() == 2)
            b = b * 16 + hexDigit(item[1]);
        bytes += static_cast<char>(b);
        if (cut == std::string_view::npos)
            return true;
        s.remove_prefix(cut + 1);
    }
}

// The data after '=': "text", dword:, hex:, hex(N):. False with a reason otherwise.
bool readData(std::string_view s, RegValue &v, std::string &error) {
    if (!s.empty() && s[0] == '"') {
        std::string_view rest;
        if (!readQuoted(s, v.data, rest, error))
            return false;
        if (!trim(rest).empty()) {
            error = "text after the closing quote";
            return false;
        }
        v.type = kRegSz;
        v.data += '\0';
        return true;
    }
    if (s.substr(0, 6) == "dword:") {
        std::string_view digits = trim(s.substr(6));
        if (digits.empty() || digits.size() > 8 ||
            std::any_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) < 0; })) {
            error = "dword: needs one to eight hex digits";
            return false;
        }
        std::uint32_t n = 0;
        for (char c : digits)
            n = n * 16 + static_cast<std::uint32_t>(hexDigit(c));
        v.type = kRegDword;
        v.data.clear();
        for (int i = 0; i < 4; ++i)
            v.data += static_cast<char>((n >> (8 * i)) & 0xFF);
        return true;
    }
    if (s.substr(0, 4) == "hex:") {
        v.type = kRegBinary;
        return readHexBytes(s.substr(4), v.data, error);
    }
    if (s.substr(0, 4) == "hex(") {
        std::size_t close = s.find("):");
        std::string_view num = s.substr(4, close == std::string_view::npos ? 0 : close - 4);
        if (num.empty() || num.size() > 8 ||
            std::any_of(num.begin(), num.end(), [](char c) { return hexDigit(c) < 0; })) {
            error = "hex(N): needs the type N in hex";
            return false;
        }
        v.type = 0;
        for (char c : num)
            v.type = v.type * 16 + static_cast<std::uint32_t>(hexDigit(c));
        return readHexBytes(s.substr(close + 2), v.data, error);
    }
    error = "the data must be \"text\", dword:, hex: or hex(N):";
    return false;
}

// Where a parse stands: the key that value lines go to (nullptr before the first key
// line, or after a key removal line).
struct ParseState {
    RegistryTree &tree;
    RegKey *key = nullptr;
    bool inKey = false;
};

bool readKeyLine(std::string_view line, ParseState &st, std::string &error) {
    std::size_t close = line.rfind(']');
    if (close == std::string_view::npos || !trim(line.substr(close + 1)).empty()) {
        error = "a key line must end with ']'";
        return false;
    }
    std::string_view path = line.substr(1, close - 1);
    bool remove = !path.empty() && path[0] == '-';
    if (remove)
        path.remove_prefix(1);
    std::string_view rootPart = path.substr(0, path.find('\\'));
    int r = 0;
    while (r < kRootCount && rootPart != kRootNames[r])
        ++r;
    if (r == kRootCount) {
        error = "\"" + std::string(rootPart) + "\" is not a root key (HKEY_LOCAL_MACHINE, ...)";
        return false;
    }
    std::string_view below =
        rootPart.size() < path.size() ? path.substr(rootPart.size() + 1) : std::string_view();
    std::vector<std::string_view> names;
    if (!splitPath(below, names) || (rootPart.size() < path.size() && names.empty())) {
        error = "a key name in \"" + std::string(path) + "\" is empty";
        return false;
    }
    RegKey *key = &st.tree.root(static_cast<Root>(r));
    st.inKey = true;
    if (remove) {
        if (names.empty()) {
            error = "a root key cannot be removed";
            return false;
        }
        for (std::size_t i = 0; key != nullptr && i + 1 < names.size(); ++i)
            key = key->child(names[i]);
        if (key != nullptr)
            key->removeChild(names.back());
        st.key = nullptr; // its value lines, if any, go nowhere
        return true;
    }
    bool created = false;
    for (std::string_view name : names)
        key = &key->makeChild(name, created);
    st.key = key;
    return true;
}

bool readValueLine(std::string_view line, ParseState &st, std::string &error) {
    if (!st.inKey) {
        error = "a value line before the first key line";
        return false;
    }
    RegValue v;
    std::string_view rest;
    if (line[0] == '@') {
        rest = line.substr(1);
    } else if (!readQuoted(line, v.name, rest, error)) {
        return false;
    }
    rest = trim(rest);
    if (rest.empty() || rest[0] != '=') {
        error = "'=' is missing after the value name";
        return false;
    }
    rest = trim(rest.substr(1));
    if (rest == "-") {
        if (st.key != nullptr)
            st.key->removeValue(v.name);
        return true;
    }
    if (!readData(rest, v, error))
        return false;
    if (st.key != nullptr)
        st.key->setValue(v.name, v.type, std::move(v.data));
    return true;
}

// True for a value line whose data are a hex list (which may go on over several lines).
bool isHexValueLine(std::string_view line) {
    std::string_view rest;
    if (line[0] == '@') {
        rest = line.substr(1);
    } else if (line[0] == '"') {
        std::string name, error;
        if (!readQuoted(line, name, rest, error))
            return false;
    } else {
        return false;
    }
    rest = trim(rest);
    return !rest.empty() && rest[0] == '=' && trim(rest.substr(1)).substr(0, 3) == "hex";
}

} // namespace

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return fold(x) == fold(y); });
}

const char *rootName(Root root) {
    return kRootNames[static_cast<int>(root)];
}

// ---------------------------------------------------------------------------------
// RegKey
// ---------------------------------------------------------------------------------

RegKey *RegKey::child(std::string_view name) const {
    for (const auto &c : mChildren)
        if (sameName(c->name(), name))
            return c.get();
    return nullptr;
}

RegKey &RegKey::makeChild(std::string_view name, bool &created) {
    created = false;
    if (RegKey *existing = child(name))
        return *existing;
    created = true;
    auto at = std::lower_bound(mChildren.begin(), mChildren.end(), name,
                               [](const std::unique_ptr<RegKey> &c, std::string_view n) {
                                   return nameLess(c->name(), n);
                               });
    return **mChildren.insert(at, std::make_unique<RegKey>(std::string(name)));
}

bool RegKey::removeChild(std::string_view name) {
    auto it =
        std::find_if(mChildren.begin(), mChildren.end(),
                     [&](const std::unique_ptr<RegKey> &c) { return sameName(c->name(), name); });
    if (it == mChildren.end())
        return false;
    mChildren.erase(it);
    return true;
}

const RegValue *RegKey::value(std::string_view name) const {
    for (const RegValue &v : mValues)
        if (sameName(v.name, name))
            return &v;
    return nullptr;
}

void RegKey::setValue(std::string_view name, std::uint32_t type, std::string data) {
    for (RegValue &v : mValues) {
        if (sameName(v.name, name)) {
            v.type = type;
            v.data = std::move(data);
            return;
        }
    }
    mValues.push_back(RegValue{std::string(name), type, std::move(data)});
}

bool RegKey::removeValue(std::string_view name) {
    auto it = std::find_if(mValues.begin(), mValues.end(),
                           [&](const RegValue &v) { return sameName(v.name, name); });
    if (it == mValues.end())
        return false;
    mValues.erase(it);
    return true;
}

// ---------------------------------------------------------------------------------
// RegistryTree
// ---------------------------------------------------------------------------------

RegistryTree::RegistryTree() {
    clear();
}

void RegistryTree::clear() {
    for (int r = 0; r < kRootCount; ++r)
        mRoots[r] = std::make_unique<RegKey>(kRootNames[r]);
}

RegKey *RegistryTree::find(Root r, std::string_view path) {
    std::vector<std::string_view> names;
    if (!splitPath(path, names))
        return nullptr;
    RegKey *key = &root(r);
    for (std::size_t i = 0; key != nullptr && i < names.size(); ++i)
        key = key->child(names[i]);
    return key;
}

bool RegistryTree::parse(std::string_view text, std::string &error) {
    ParseState st{*this};
    std::size_t lineNo = 0;
    bool sawHeader = false;
    std::string joined; // a hex value continued over several lines
    std::size_t joinedFrom = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNo;
        std::string_view line = trim(raw);
        if (!joined.empty()) {
            joined += line;
        } else {
            joinedFrom = lineNo;
            if (!sawHeader) {
                if (line != "REGEDIT4") {
                    error = std::to_string(lineNo) +
                            ": not a REGEDIT4 file (its first line must be REGEDIT4)";
                    return false;
                }
                sawHeader = true;
                continue;
            }
            if (line.empty() || line[0] == ';')
                continue;
            joined = line;
        }
        // A hex list that ends in a backslash goes on on the next line.
        if (joined.back() == '\\' && isHexValueLine(joined) && !text.empty()) {
            joined.pop_back();
            continue;
        }
        std::string why;
        bool ok = joined[0] == '[' ? readKeyLine(joined, st, why) : readValueLine(joined, st, why);
        if (!ok) {
            error = std::to_string(joinedFrom) + ": " + why;
            return false;
        }
        joined.clear();
    }
    return true;
}

std::string RegistryTree::format() const {
    std::string out = "REGEDIT4\r\n\r\n";
    for (int r = 0; r < kRootCount; ++r) {
        for (const auto &child : mRoots[r]->children())
            appendKey(out, std::string(kRootNames[r]) + '\\' + child->name(), *child);
    }
    return out;
}

} // namespace host::platform
