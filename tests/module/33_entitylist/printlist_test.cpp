// Tests of printEntityList: the printed form of every class of type code, codes that print
// nothing, the paging after nodes 24, 47, 70 ..., answers at the pause, and lists that
// must not trip the printer (empty, very long texts, flag and binary groups).
#include "fixture.h"
#include "edit.h"

#include <cstring>

#include "adscodes.h"
#include <deque>
#include <string>

namespace {

using tevtest::ModuleTest;

const std::string kPause = "Press <ENTER> to continue...";

// A result-buffer list built in the test: nodes live in a deque (stable addresses) and are
// linked in the order they were added. The printer only reads the list.
class List {
public:
    resbuf &add(int code) {
        resbuf &rb = nodes_.emplace_back();
        std::memset(&rb, 0, sizeof rb);
        rb.restype = static_cast<short>(code);
        if (nodes_.size() > 1)
            nodes_[nodes_.size() - 2].rbnext = &rb;
        return rb;
    }
    List &text(int code, const char *s) {
        add(code).resval.rstring = const_cast<char *>(s);
        return *this;
    }
    List &point(int code, double x, double y, double z) {
        resbuf &rb = add(code);
        rb.resval.rpoint[X] = x;
        rb.resval.rpoint[Y] = y;
        rb.resval.rpoint[Z] = z;
        return *this;
    }
    List &real(int code, double v) {
        add(code).resval.rreal = v;
        return *this;
    }
    List &shortInt(int code, short v) {
        add(code).resval.rint = v;
        return *this;
    }
    List &longInt(int code, int v) {
        add(code).resval.rlong = v;
        return *this;
    }
    List &name(int code, long first, long second) {
        resbuf &rb = add(code);
        rb.resval.rlname[0] = first;
        rb.resval.rlname[1] = second;
        return *this;
    }
    const resbuf *head() const { return nodes_.empty() ? nullptr : &nodes_.front(); }

private:
    std::deque<resbuf> nodes_;
};

// How often needle occurs in text.
std::size_t count(const std::string &text, const std::string &needle) {
    std::size_t n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

using PrintList = ModuleTest;

// Test that an empty list prints one line end and nothing else, and answers RTNORM.
TEST_F(PrintList, EmptyListPrintsOneLineEnd) {
    EXPECT_EQ(printEntityList(nullptr), RTNORM);
    EXPECT_EQ(transcript(), "\n");
}

// Test the group-code forms: text, point, real, short, long (without its code), entity
// name in lower-case hex padded to eight, and a line's data as the host lists it.
TEST_F(PrintList, GroupCodeForms) {
    List list;
    list.name(-1, 0x1a2b, 7)
        .text(0, "LINE")
        .name(330, 0x7ff0, 7)
        .text(5, "2A")
        .text(100, "AcDbEntity")
        .shortInt(67, 0)
        .text(8, "0")
        .shortInt(62, -3)
        .point(10, 1.0, 2.0, 0.0)
        .point(11, 6.0, -5.25, 12.0006)
        .real(40, 2.5)
        .real(140, -0.0004)
        .longInt(90, 123456)
        .longInt(99, -7)
        .shortInt(280, 9)
        .name(360, 0xabcdef12, 1);
    EXPECT_EQ(printEntityList(list.head()), RTNORM);
    EXPECT_EQ(transcript(), "\n"
                            "(-1 . <Entity name:     1a2b>)\n"
                            "(0 . \"LINE\")\n"
                            "(330 . <Entity name:     7ff0>)\n"
                            "(5 . \"2A\")\n"
                            "(100 . \"AcDbEntity\")\n"
                            "(67 . 0)\n"
                            "(8 . \"0\")\n"
                            "(62 . -3)\n"
                            "(10 1.000 2.000 0.000)\n"
                            "(11 6.000 -5.250 12.001)\n"
                            "(40 . 2.500)\n"
                            "(140 . -0.000)\n"
                            "RTLONG : 123456l\n"
                            "RTLONG : -7l\n"
                            "(280 . 9)\n"
                            "(360 . <Entity name: abcdef12>)\n");
}

// Test the edges of the code ranges: 9 text, 37 point, 38 real, 59 real, 60 short, 79 short,
// 80 long, 105 text, 106 real, 147 real, 148 short, 289 short, 320 and 369 names, 482 and
// 998 points; 210 lies in the short range and prints its value's first 16 bits.
TEST_F(PrintList, RangeEdges) {
    List list;
    list.text(9, "$X")
        .point(37, 1, 2, 3)
        .real(38, 1.5)
        .real(59, 2.5)
        .shortInt(60, 1)
        .shortInt(79, 2)
        .longInt(80, 3)
        .text(105, "1F")
        .real(106, 4.0)
        .real(147, 5.0)
        .shortInt(148, 6)
        .shortInt(289, 7)
        .name(320, 0x10, 0)
        .name(369, 0x11, 0)
        .point(482, 7, 8, 9)
        .point(998, -1, -2, -3)
        .point(210, 0.0, 0.0, 1.0);
    (void)printEntityList(list.head());
    EXPECT_EQ(transcript(), "\n"
                            "(9 . \"$X\")\n"
                            "(37 1.000 2.000 3.000)\n"
                            "(38 . 1.500)\n"
                            "(59 . 2.500)\n"
                            "(60 . 1)\n"
                            "(79 . 2)\n"
                            "RTLONG : 3l\n"
                            "(105 . \"1F\")\n"
                            "(106 . 4.000)\n"
                            "(147 . 5.000)\n"
                            "(148 . 6)\n"
                            "(289 . 7)\n"
                            "(320 . <Entity name:       10>)\n"
                            "(369 . <Entity name:       11>)\n"
                            "(482 7.000 8.000 9.000)\n"
                            "(998 -1.000 -2.000 -3.000)\n"
                            "(210 . 0)\n");
}

// Test that the groups from 370 on that the host delivers as integers, texts and reals
// print as what they hold, never as a point read from a string pointer or a short.
TEST_F(PrintList, GroupsAbove369PrintAsTheirValues) {
    List list;
    list.shortInt(370, -3)
        .text(390, "2F")
        .shortInt(400, 4)
        .text(410, "Model")
        .longInt(420, 16711680)
        .text(430, "RED")
        .longInt(440, 33554687)
        .real(460, 2.5)
        .text(470, "x")
        .text(481, "1A");
    (void)printEntityList(list.head());
    EXPECT_EQ(transcript(), "\n"
                            "(370 . -3)\n"
                            "(390 . \"2F\")\n"
                            "(400 . 4)\n"
                            "(410 . \"Model\")\n"
                            "RTLONG : 16711680l\n"
                            "(430 . \"RED\")\n"
                            "RTLONG : 33554687l\n"
                            "(460 . 2.500)\n"
                            "(470 . \"x\")\n"
                            "(481 . \"1A\")\n");
}

// Test the host's result types in their own forms, -3 as the start of extended data, and
// that -2, -4, 999 .. 5000, 5002, 5004, 5007, 5008 and codes above 5010 print nothing.
TEST_F(PrintList, ResultTypesAndSilentCodes) {
    List list;
    list.text(RTSTR, "hello")
        .point(RT3DPOINT, 1, -2, 3.5)
        .real(RTREAL, 0.1239)
        .shortInt(RTSHORT, -12)
        .longInt(RTLONG, 70000)
        .name(RTENAME, 0xbeef, 0)
        .name(-2, 0x55, 0)
        .shortInt(-4, 1)
        .text(999, "comment")
        .text(1000, "xdata")
        .shortInt(1070, 5)
        .real(5000, 1)
        .point(RTPOINT, 1, 2, 0)
        .real(RTANG, 1)
        .name(RTPICKS, 1, 2)
        .real(RTORINT, 1)
        .shortInt(5011, 1)
        .shortInt(RTNORM, 1)
        .shortInt(-3, 0);
    (void)printEntityList(list.head());
    EXPECT_EQ(transcript(), "\n"
                            "RTSTR : hello\n"
                            "RT3DPOINT : 1.000, -2.000, 3.500\n"
                            "RTREAL : 0.124\n"
                            "RTSHORT : -12\n"
                            "RTLONG : 70000l\n"
                            "(5006 . <Entity name:     beef>)\n"
                            "(-3)\n");
}

// Test that the flag groups 290..299 print their integer and are never read as text, that
// 310..319 print their bytes in hex, and that 300..309 and 319's neighbours stay as they
// are: a flag holding 1 would crash a printer that took it for a string.
TEST_F(PrintList, FlagAndBinaryGroupsAreNotReadAsText) {
    List list;
    list.shortInt(290, 1).shortInt(299, 0).text(300, "note").text(309, "");
    resbuf &chunk = list.add(310);
    char bytes[] = {0x01, static_cast<char>(0xab), static_cast<char>(0xff)};
    chunk.resval.rbinary.clen = 3;
    chunk.resval.rbinary.buf = bytes;
    resbuf &empty = list.add(319);
    empty.resval.rbinary.clen = 0;
    empty.resval.rbinary.buf = nullptr;
    (void)printEntityList(list.head());
    EXPECT_EQ(transcript(), "\n"
                            "(290 . 1)\n"
                            "(299 . 0)\n"
                            "(300 . \"note\")\n"
                            "(309 . \"\")\n"
                            "(310 . 01ABFF)\n"
                            "(319 . )\n");
}

// Test that a very long text comes out whole, that a text full of printf directives is
// printed as it is, and that a text node without a string prints as empty.
TEST_F(PrintList, LongAndAwkwardTexts) {
    std::string longText(100000, 'x');
    for (std::size_t i = 0; i < longText.size(); i += 1000)
        longText[i] = static_cast<char>('a' + (i / 1000) % 26);
    const char *directives = "%s %n %d %% %08.3f";
    List list;
    list.text(1, longText.c_str()).text(2, directives).text(3, nullptr).text(RTSTR, directives);
    (void)printEntityList(list.head());
    EXPECT_EQ(transcript(), "\n(1 . \"" + longText + "\")\n(2 . \"" + directives +
                                "\")\n(3 . \"\")\nRTSTR : " + directives + "\n");
}

// Test that Russian text passes through in the host's code page.
TEST_F(PrintList, RussianText) {
    const std::string layer = tevtest::cp1251("Стены");
    List list;
    list.text(8, layer.c_str());
    (void)printEntityList(list.head());
    EXPECT_EQ(transcript(), "\n(8 . \"Стены\")\n");
}

// --- paging -----------------------------------------------------------------------------

// The transcript of listing n short nodes (values 1..n) with Enter at every pause. The
// pauses fall after node 24 and then every 23 nodes, never after the last one.
std::string pagedListing(int n) {
    std::string out = "\n";
    for (int i = 1; i <= n; ++i) {
        out += "(62 . " + std::to_string(i) + ")\n";
        const bool pauseHere = i >= 24 && (i - 24) % 23 == 0;
        if (pauseHere && i < n)
            out += kPause + "\n";
    }
    return out;
}

List numbered(int n) {
    List list;
    for (int i = 1; i <= n; ++i)
        list.shortInt(62, static_cast<short>(i));
    return list;
}

class Paging : public ModuleTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

// Test that a list of n nodes pauses the expected number of times, after the right nodes.
TEST_P(Paging, PausesAfterNodes24And47And70) {
    const auto [nodes, pauses] = GetParam();
    for (int i = 0; i < pauses; ++i)
        type({""});
    List list = numbered(nodes);
    (void)printEntityList(list.head());
    EXPECT_EQ(count(transcript(), kPause), static_cast<std::size_t>(pauses));
    EXPECT_EQ(transcript(), pagedListing(nodes));
    EXPECT_EQ(answersLeft(), 0u);
}

INSTANTIATE_TEST_SUITE_P(ListLengths, Paging,
                         ::testing::Values(std::pair{1, 0}, std::pair{23, 0}, std::pair{24, 0},
                                           std::pair{25, 1}, std::pair{47, 1}, std::pair{48, 2},
                                           std::pair{70, 2}, std::pair{71, 3}, std::pair{94, 4}));

// Test that nodes which print nothing still count towards a page.
TEST_F(PrintList, SilentNodesCountForPaging) {
    List list;
    for (int i = 0; i < 24; ++i)
        list.text(1000, "xdata");
    list.shortInt(62, 1);
    type({""});
    (void)printEntityList(list.head());
    EXPECT_EQ(transcript(), "\n" + kPause + "\n(62 . 1)\n");
}

// Test that text, Escape and an empty answer at the pause all go on with the listing, and
// that a source with nothing left to give does not stop it either.
TEST_F(PrintList, EveryAnswerAtThePauseContinues) {
    type({"stop"});
    typeEscape();
    type({""});
    List list = numbered(94);
    (void)printEntityList(list.head());
    const std::string text = transcript();
    EXPECT_NE(text.find(kPause + "stop\n"), std::string::npos) << text;
    EXPECT_NE(text.find(kPause + "*Cancel*\n"), std::string::npos) << text;
    EXPECT_EQ(count(text, kPause), 4u);
    EXPECT_NE(text.find("(62 . 94)\n"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 10), "(62 . 94)\n");
}

// Test that a listing whose answers run out halfway still prints every node.
TEST_F(PrintList, EndOfInputAtThePauseContinues) {
    List list = numbered(100);
    (void)printEntityList(list.head());
    const std::string text = transcript();
    for (int i = 1; i <= 100; ++i)
        EXPECT_NE(text.find("(62 . " + std::to_string(i) + ")\n"), std::string::npos) << i;
}

} // namespace
