// registry_tree_test.cpp - the registry tree: names without regard to case, the order
// of keys and values, and the REGEDIT4 text written and read back byte for byte.
#include "registry_tree.h"

#include <gtest/gtest.h>

#include <string>

using host::platform::RegistryTree;
using host::platform::RegKey;
using host::platform::Root;
using host::platform::sameName;
using namespace std::string_literals;

namespace {

// Test that names match without regard to ASCII and Windows-1251 Cyrillic case only.
TEST(RegistryNames, CaseIsIgnoredForLatinAndCyrillic) {
    EXPECT_TRUE(sameName("Commands", "COMMANDS"));
    EXPECT_TRUE(sameName("tev soft", "TEV SOFT"));
    EXPECT_TRUE(sameName("\xCF\xEE\xEB", "\xEF\xCE\xCB")); // "Пол" / "пОЛ"
    EXPECT_TRUE(sameName("\xA8", "\xB8"));                 // Ё / ё
    EXPECT_TRUE(sameName("\xB2", "\xB3"));                 // І / і
    EXPECT_FALSE(sameName("Commands", "Command"));
    EXPECT_FALSE(sameName("Loader", "Leader"));
    EXPECT_FALSE(sameName("\xC0", "\xC1")); // А / Б
    EXPECT_FALSE(sameName("@", "`"));       // 0x40 and 0x60 are not letters
    EXPECT_FALSE(sameName("[", "{"));
}

// Test that a key is found by any spelling, keeps its first one, and that subkeys come
// in the registry's order whatever order they were made in.
TEST(RegistryKeys, FoundByAnySpellingAndKeptInOrder) {
    RegKey key("TEVCOM");
    bool created = false;
    RegKey &name = key.makeChild("Name", created);
    EXPECT_TRUE(created);
    key.makeChild("loader", created);
    key.makeChild("Groups", created);
    key.makeChild("commands", created);
    RegKey &again = key.makeChild("NAME", created);
    EXPECT_FALSE(created);
    EXPECT_EQ(&again, &name);
    EXPECT_EQ(again.name(), "Name");
    ASSERT_EQ(key.children().size(), 4u);
    EXPECT_EQ(key.children()[0]->name(), "commands");
    EXPECT_EQ(key.children()[1]->name(), "Groups");
    EXPECT_EQ(key.children()[2]->name(), "loader");
    EXPECT_EQ(key.children()[3]->name(), "Name");
    EXPECT_EQ(key.child("LOADER"), key.children()[2].get());
    EXPECT_EQ(key.child("Load"), nullptr);
    EXPECT_TRUE(key.removeChild("GROUPS"));
    EXPECT_FALSE(key.removeChild("Groups"));
    EXPECT_EQ(key.children().size(), 3u);
}

// Test that setting a value again replaces it in place, without a second entry.
TEST(RegistryValues, ReplacedInPlaceWithoutDuplicates) {
    RegKey key("Commands");
    key.setValue("TEV_CL", 1, "Cl\0"s);
    key.setValue("TEV_SEL", 1, "Sel\0"s);
    key.setValue("tev_cl", 3, "xy"s);
    ASSERT_EQ(key.values().size(), 2u);
    EXPECT_EQ(key.values()[0].name, "TEV_CL");
    EXPECT_EQ(key.values()[0].type, 3u);
    EXPECT_EQ(key.values()[0].data, "xy");
    EXPECT_EQ(key.values()[1].name, "TEV_SEL");
    ASSERT_NE(key.value("Tev_Sel"), nullptr);
    EXPECT_EQ(key.value("Tev_Sel")->data, "Sel\0"s);
    EXPECT_TRUE(key.removeValue("TEV_SEL"));
    EXPECT_EQ(key.value("TEV_SEL"), nullptr);
    EXPECT_FALSE(key.removeValue("TEV_SEL"));
}

// Test that the file form is REGEDIT4 with every key, quoted text escaped, and hex,
// dword and default values as the registry editor writes them.
TEST(RegistryText, WritesRegedit4) {
    RegistryTree tree;
    bool created = false;
    RegKey &soft = tree.root(Root::LocalMachine).makeChild("Software", created);
    RegKey &tev = soft.makeChild("TEV soft", created);
    tev.setValue("Path", 1, "C:\\TEV \"new\"\0"s);
    tev.setValue("", 1, "default\0"s);
    tev.setValue("Count", 4, "\x01\x02\x00\x00"s);
    tev.setValue("Bytes", 3, "\x00\xff"s);
    tev.setValue("List", 7, "a\0\0"s);
    tree.root(Root::CurrentUser).makeChild("Empty", created);
    const std::string expected = "REGEDIT4\r\n"
                                 "\r\n"
                                 "[HKEY_CURRENT_USER\\Empty]\r\n"
                                 "\r\n"
                                 "[HKEY_LOCAL_MACHINE\\Software]\r\n"
                                 "\r\n"
                                 "[HKEY_LOCAL_MACHINE\\Software\\TEV soft]\r\n"
                                 "\"Path\"=\"C:\\\\TEV \\\"new\\\"\"\r\n"
                                 "@=\"default\"\r\n"
                                 "\"Count\"=dword:00000201\r\n"
                                 "\"Bytes\"=hex:00,ff\r\n"
                                 "\"List\"=hex(7):61,00,00\r\n"
                                 "\r\n";
    EXPECT_EQ(tree.format(), expected);
}

// Test that text the quoted form cannot give back exactly goes as hex(1), and that
// Windows-1251 bytes go into quotes unchanged.
TEST(RegistryText, StringsThatQuotesCannotHoldGoAsHex) {
    RegistryTree tree;
    bool created = false;
    RegKey &k = tree.root(Root::LocalMachine).makeChild("K", created);
    k.setValue("title", 1, "\xCF\xEE\xEB\0"s); // "Пол"
    k.setValue("noNul", 1, "Cl"s);
    k.setValue("afterNul", 1, "Cl\0x"s);
    k.setValue("twoNuls", 1, "Cl\0\0"s);
    k.setValue("empty", 1, ""s);
    k.setValue("lineBreak", 1, "a\nb\0"s);
    std::string text = tree.format();
    EXPECT_NE(text.find("\"title\"=\"\xCF\xEE\xEB\"\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"noNul\"=hex(1):43,6c\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"afterNul\"=hex(1):43,6c,00,78\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"twoNuls\"=hex(1):43,6c,00,00\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"empty\"=hex(1):\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"lineBreak\"=hex(1):61,0a,62,00\r\n"), std::string::npos) << text;
}

// Builds a tree with values of every form, including the awkward ones.
RegistryTree awkwardTree() {
    RegistryTree tree;
    bool created = false;
    RegKey &k = tree.root(Root::LocalMachine)
                    .makeChild("Software", created)
                    .makeChild("\xD2\xE5\xF1\xF2 [1]", created); // "Тест [1]"
    k.setValue("title", 1, "\xCF\xEE\xEB\xE5\xE7\xED\xFB\xE5\0"s);
    k.setValue("quote\"and\\slash", 1, "\\\"\\\\\"\0"s);
    k.setValue("noNul", 1, "Cl"s);
    k.setValue("afterNul", 1, "Cl\0x"s);
    k.setValue("empty", 1, ""s);
    k.setValue("crlf", 2, "%a%\r\n\0"s);
    k.setValue("=hex", 1, "ends in a slash\\\0"s);
    k.setValue("", 4, "\xff\xff\xff\xff"s);
    k.setValue("shortDword", 4, "\x01\x02"s);
    k.setValue("none", 0, ""s);
    std::string big;
    for (int i = 0; i < 300; ++i)
        big += static_cast<char>(i * 7);
    k.setValue("big", 3, big);
    k.setValue("typed", 0x12345678, "\x01"s);
    tree.root(Root::Users).makeChild("a", created).makeChild("b", created);
    return tree;
}

void expectSameTree(const RegKey &a, const RegKey &b) {
    EXPECT_EQ(a.name(), b.name());
    ASSERT_EQ(a.values().size(), b.values().size()) << a.name();
    for (std::size_t i = 0; i < a.values().size(); ++i) {
        EXPECT_EQ(a.values()[i].name, b.values()[i].name);
        EXPECT_EQ(a.values()[i].type, b.values()[i].type) << a.values()[i].name;
        EXPECT_EQ(a.values()[i].data, b.values()[i].data) << a.values()[i].name;
    }
    ASSERT_EQ(a.children().size(), b.children().size()) << a.name();
    for (std::size_t i = 0; i < a.children().size(); ++i)
        expectSameTree(*a.children()[i], *b.children()[i]);
}

// Test that every value, however awkward, comes back from the file with its type and
// exact bytes, and that long hex lists are wrapped within 80 columns.
TEST(RegistryText, RoundTripsExactly) {
    RegistryTree tree = awkwardTree();
    std::string text = tree.format();
    RegistryTree back;
    std::string error;
    ASSERT_TRUE(back.parse(text, error)) << error << "\n" << text;
    for (Root r : {Root::ClassesRoot, Root::CurrentUser, Root::LocalMachine, Root::Users})
        expectSameTree(tree.root(r), back.root(r));
    EXPECT_EQ(back.format(), text);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
        start = end + 2;
    }
}

// Test that reading takes plain line ends, comments, blank lines, spaces around '=',
// and lines that remove keys and values, and adds to what is there.
TEST(RegistryText, ReadsWhatPeopleWrite) {
    RegistryTree tree;
    bool created = false;
    tree.root(Root::CurrentUser).makeChild("Kept", created).setValue("v", 1, "1\0"s);
    const char *text = "REGEDIT4\n"
                       "; written by hand\n"
                       "\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\A\\B]\n"
                       "\"x\" = \"1\"\n"
                       "\"gone\"=\"2\"\n"
                       "\"gone\"=-\n"
                       "\"bytes\"=hex:01,02,\\\n"
                       "    03\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\Old\\Deep]\n"
                       "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n"
                       "\"ignored\"=\"after a removal\"\n"
                       "[-HKEY_LOCAL_MACHINE\\Software\\NeverThere]\n";
    std::string error;
    ASSERT_TRUE(tree.parse(text, error)) << error;
    RegKey *b = tree.find(Root::LocalMachine, "software\\a\\b");
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->value("x"), nullptr);
    EXPECT_EQ(b->value("x")->data, "1\0"s);
    EXPECT_EQ(b->value("gone"), nullptr);
    ASSERT_NE(b->value("bytes"), nullptr);
    EXPECT_EQ(b->value("bytes")->data, "\x01\x02\x03"s);
    EXPECT_EQ(tree.find(Root::LocalMachine, "Software\\Old"), nullptr);
    EXPECT_NE(tree.find(Root::LocalMachine, "Software"), nullptr);
    EXPECT_NE(tree.find(Root::CurrentUser, "Kept"), nullptr);
    EXPECT_EQ(tree.find(Root::LocalMachine, "Software\\\\A"), nullptr);
}

// Test that an empty file is an empty registry.
TEST(RegistryText, EmptyFileIsEmptyRegistry) {
    RegistryTree tree;
    std::string error;
    EXPECT_TRUE(tree.parse("", error)) << error;
    EXPECT_EQ(tree.format(), "REGEDIT4\r\n\r\n");
}

// Test that every malformed line is refused with its line number and the reason.
TEST(RegistryText, MalformedLinesAreNamed) {
    struct Case {
        const char *text;
        const char *error;
    };
    const Case cases[] = {
        {"Windows Registry Editor Version 5.00\n", "1: not a REGEDIT4 file"},
        {"REGEDIT4\n\"a\"=\"b\"\n", "2: a value line before the first key line"},
        {"REGEDIT4\n[HKEY_NOWHERE\\A]\n", "2: \"HKEY_NOWHERE\" is not a root key"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", "2: a key line must end with ']'"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\\\\B]\n", "2: a key name in"},
        {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\]\n", "2: a key name in"},
        {"REGEDIT4\n[-HKEY_LOCAL_MACHINE]\n", "2: a root key cannot be removed"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a\"=\"C:\\dir\"\n", "3: a backslash in quotes"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a=\"b\"\n", "3: '=' is missing"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a\"=\"b\n", "3: the closing quote is missing"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a\"=\"b\" c\n", "3: text after the closing quote"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a\"=hex:1,zz\n", "3: \"zz\" is not a hex byte"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a\"=hex:100\n", "3: \"100\" is not a hex byte"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a\"=hex:01,,02\n", "3: \"\" is not a hex byte"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a\"=hex(x):01\n", "3: hex(N): needs the type"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a\"=dword:123456789\n", "3: dword: needs"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a\"=dword:\n", "3: dword: needs"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\"a\"=42\n", "3: the data must be"},
        {"REGEDIT4\n[HKEY_USERS\\A]\n\n\"a\"=hex:01,\\\n  02,\\\n  zz\n", "4: \"zz\""},
    };
    for (const Case &c : cases) {
        RegistryTree tree;
        std::string error;
        EXPECT_FALSE(tree.parse(c.text, error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error << "\nfor: " << c.text;
    }
}

} // namespace
