// Tests of the save's check of the bytes it writes: a whole drawing passes however it is cut
// into writes, and each kind of fault is caught at its line.
#include "background_sink.h"
#include "dxf_error.h"
#include "dxf_io.h"
#include "written_check.h"

#include "dbmain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// A drawing as the writer makes it.
std::string drawingText() {
    AcDbDatabase db(true);
    std::string text, error;
    EXPECT_TRUE(dxf::writeDrawingText(db, text, error)) << error;
    return text;
}

// Runs text through the check in pieces of `step` bytes; the error, or "" when it passes.
// With asRead, each piece's lines from the first ENTITIES on are marked as copied as read.
std::string check(const std::string &text, std::size_t step, bool asRead = false) {
    dxf::StringSink out;
    dxf::WrittenCheck c(out, "x.dxf");
    const std::size_t entities = text.find("ENTITIES\n") + 9;
    try {
        for (std::size_t i = 0; i < text.size(); i += step) {
            const std::string_view piece = std::string_view(text).substr(i, step);
            if (!asRead || i + piece.size() <= entities) {
                c.write(piece);
                continue;
            }
            const std::size_t from = i < entities ? entities - i : 0;
            const dxf::ByteSpan span{from, piece.size() - from};
            c.writeWithRead(piece, std::span<const dxf::ByteSpan>(&span, 1));
        }
        c.finish();
    } catch (const dxf::DxfError &e) {
        return e.what();
    }
    EXPECT_EQ(out.text, text); // what is checked is passed on unchanged
    return {};
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(WrittenCheck, WholeDrawingPassesInAnyPieces) {
    const std::string text = drawingText();
    for (std::size_t step : {std::size_t{1}, std::size_t{7}, text.size()})
        EXPECT_EQ(check(text, step), "") << step;
    std::string crlf;
    for (char ch : text)
        crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    EXPECT_EQ(check(crlf, 5), "");
    // A dimension style's group 5 is a block's name, empty or not: its handle is 105.
    const std::string dimstyle =
        replaced(text, "  0\nENDSEC\n", "  0\nDIMSTYLE\n105\nFFF0\n  2\nISO\n  5\n\n  0\nENDSEC\n");
    EXPECT_EQ(check(dimstyle, 4096), "");
}

TEST(WrittenCheck, EachFaultIsCaught) {
    const std::string text = drawingText();
    const std::string eof = "  0\nEOF\n";
    const std::size_t h = text.find("  5\n", text.find("ENDSEC")) + 4; // not the header's
    const std::string handle = text.substr(h, text.find('\n', h) - h); // the first one given
    struct Case {
        const char *what;
        std::string text;
        const char *wanted;
    } cases[] = {
        {"non-finite number", replaced(text, " 10\n0.0\n", " 10\nnan\n"), "not a finite number"},
        {"code not a number", replaced(text, "  9\n$ACADVER\n", " 9x\n$ACADVER\n"),
         "group code ' 9x'"},
        {"handle not hexadecimal", replaced(text, "  5\n", "  5\nZZ\n999\n"), "not a handle"},
        {"integer not whole", replaced(text, " 70\n", " 70\n1.5\n999\n"), "not a whole number"},
        {"cut short", text.substr(0, text.find("ENDSEC") + 3), "no line end"},
        {"no EOF", text.substr(0, text.size() - eof.size()), "no EOF"},
        {"after EOF", text + "  0\nLINE\n", "after EOF"},
        {"section left open", replaced(text, "  0\nENDSEC\n", ""), "inside a section"},
        {"mixed line ends", replaced(text, "SECTION\n", "SECTION\r\n"), "line ends"},
        {"a handle twice",
         replaced(text, "  0\nENDSEC\n", "  0\nPOINT\n  5\n" + handle + "\n  0\nENDSEC\n"),
         "is given to two objects"},
    };
    // The place is the value's line.
    const std::size_t nan = text.find(" 10\n0.0\n");
    const auto valueLine = std::count(text.begin(), text.begin() + nan, '\n') + 2;
    EXPECT_NE(check(cases[0].text, 4096).find("at line " + std::to_string(valueLine) + ":"),
              std::string::npos);
    for (const Case &c : cases) {
        const std::string error = check(c.text, 4096);
        EXPECT_NE(error.find(c.wanted), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(error.rfind("x.dxf", 0), 0u) << c.what << ": " << error;
    }
}

// Test that bytes copied as read are still checked for structure, line ends and handles, and
// that only their other values go unparsed.
TEST(WrittenCheck, BytesAsReadKeepTheStructureAndHandleChecks) {
    const std::string text = drawingText();
    ASSERT_NE(text.find("ENTITIES\n"), std::string::npos);
    const std::size_t h = text.find("  5\n", text.find("ENDSEC")) + 4; // not the header's
    const std::string handle = text.substr(h, text.find('\n', h) - h);
    // The record goes after some lines copied as read, so that its fault lies well inside
    // what is looked at in one go.
    std::string filler;
    for (int i = 0; i < 12; ++i)
        filler += "  0\nPOINT\n 10\n1.5\n 20\n-2.25\n";
    auto inEntities = [&](const std::string &record) {
        return replaced(text, "ENTITIES\n", "ENTITIES\n" + filler + record);
    };
    struct Case {
        const char *what;
        std::string text;
        const char *wanted; // "" when it passes
    } cases[] = {
        {"untouched", text, ""},
        {"a value not a number", inEntities("  0\nPOINT\n 10\nnan\n"), ""},
        {"a handle twice", inEntities("  0\nPOINT\n  5\n" + handle + "\n"),
         "is given to two objects"},
        {"a handle not hexadecimal", inEntities("  0\nPOINT\n  5\nZZ\n"), "not a handle"},
        {"a section inside a section", inEntities("  0\nSECTION\n  2\nX\n"), "inside a section"},
        {"mixed line ends", inEntities("  0\r\nPOINT\r\n"), "line ends"},
        {"a code not a number", inEntities(" 1x\nPOINT\n"), "group code ' 1x'"},
    };
    for (const Case &c : cases)
        for (std::size_t step : {std::size_t{7}, c.text.size()}) {
            const std::string error = check(c.text, step, /*asRead=*/true);
            if (*c.wanted == '\0') {
                EXPECT_EQ(error, "") << c.what;
                continue;
            }
            EXPECT_NE(error.find(c.wanted), std::string::npos) << c.what << ": " << error;
            // Found at the same line as in bytes written new.
            EXPECT_EQ(error, check(c.text, step)) << c.what;
        }
}

// A sink that keeps what it is given and fails (as a full disk does) from its nth write on.
class FailingSink : public dxf::ByteSink {
public:
    explicit FailingSink(int failAt) : failAt_(failAt) {}
    void write(std::string_view bytes) override {
        if (++writes_ >= failAt_)
            throw dxf::DxfError("disk full");
        text.append(bytes);
    }
    std::string text;

private:
    int failAt_;
    int writes_ = 0;
};

// Test that the save's second thread passes every piece on in order with its spans as read,
// and that a failure there reaches the writer and stops what follows.
TEST(BackgroundSink, PassesOnInOrderAndReportsTheFirstFailure) {
    const std::string text = drawingText();
    {
        dxf::StringSink out;
        dxf::WrittenCheck check(out, "x.dxf");
        dxf::BackgroundSink pipe(check);
        const std::size_t entities = text.find("ENTITIES\n") + 9;
        const dxf::ByteSpan span{0, text.size() - entities};
        pipe.write(std::string_view(text).substr(0, entities / 2));
        pipe.write(std::string_view(text).substr(entities / 2, entities - entities / 2));
        pipe.writeWithRead(std::string_view(text).substr(entities),
                           std::span<const dxf::ByteSpan>(&span, 1));
        pipe.finish();
        check.finish();
        EXPECT_EQ(out.text, text);
    }
    for (int failAt : {1, 3}) {
        FailingSink out(failAt);
        dxf::BackgroundSink pipe(out);
        std::string error;
        try {
            for (int i = 0; i < 100; ++i)
                pipe.write("  0\nLINE\n");
            pipe.finish();
        } catch (const dxf::DxfError &e) {
            error = e.what();
        }
        EXPECT_EQ(error, "disk full") << failAt;
        EXPECT_EQ(out.text.size(), std::string("  0\nLINE\n").size() * (failAt - 1)) << failAt;
    }
}

} // namespace
