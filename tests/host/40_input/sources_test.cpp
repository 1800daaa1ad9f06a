// Input sources: the host's script rules, streams, the queue.
#include "command_line.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using host::Answer;
using host::AnswerEnd;

namespace {

// Every answer a source gives until End, written as text, "<ESC>" for Escape.
std::vector<std::string> drain(host::InputSource &src, AnswerEnd end = AnswerEnd::SpaceOrLine) {
    std::vector<std::string> out;
    for (int guard = 0; guard < 10000; ++guard) {
        Answer a = src.next(end, "");
        if (a.kind == Answer::Kind::End)
            return out;
        out.push_back(a.kind == Answer::Kind::Escape ? "<ESC>" : a.text);
    }
    ADD_FAILURE() << "source never ended";
    return out;
}

using Answers = std::vector<std::string>;

// Test that each space and each line end ends an answer, so that spaces in a row and
// empty lines give empty answers (Enter).
TEST(ScriptRules, SpacesAndLineEndsEndAnswers) {
    host::ScriptSource s("LINE 0,0 10,10\n\nCIRCLE 5,5  3\n");
    EXPECT_EQ(drain(s), (Answers{"LINE", "0,0", "10,10", "", "CIRCLE", "5,5", "", "3"}));
}

// Test that a trailing space is an Enter of its own before the line end's.
TEST(ScriptRules, TrailingSpaceIsAnotherEnter) {
    host::ScriptSource s("LINE 1,1 2,2 \n");
    EXPECT_EQ(drain(s), (Answers{"LINE", "1,1", "2,2", ""}));
}

// Test that comment lines vanish whole and a ';' later in a line is ordinary text.
TEST(ScriptRules, CommentLinesAreSkipped) {
    host::ScriptSource s("; draw things\nA ;x\n;\nB\n");
    EXPECT_EQ(drain(s), (Answers{"A", ";x", "B"}));
}

// Test that ^C is Escape as a whole answer only.
TEST(ScriptRules, CaretCIsEscape) {
    host::ScriptSource s("LINE ^C\n^C\nx^C\n");
    EXPECT_EQ(drain(s), (Answers{"LINE", "<ESC>", "<ESC>", "x^C"}));
}

// Test that CRLF line ends count once and text without a final line end still counts.
TEST(ScriptRules, CrLfAndMissingFinalLineEnd) {
    host::ScriptSource s("A B\r\n\r\nC");
    EXPECT_EQ(drain(s), (Answers{"A", "B", "", "C"}));
}

// Test that an answer asked for with LineOnly keeps its spaces and takes the rest of
// the line, also after earlier answers from the same line.
TEST(ScriptRules, LineOnlyKeepsSpaces) {
    host::ScriptSource s("TEXT hello big world\nnext one\n");
    EXPECT_EQ(s.next(AnswerEnd::SpaceOrLine, "").text, "TEXT");
    EXPECT_EQ(s.next(AnswerEnd::LineOnly, "").text, "hello big world");
    EXPECT_EQ(s.next(AnswerEnd::LineOnly, "").text, "next one");
    EXPECT_EQ(s.next(AnswerEnd::LineOnly, "").kind, Answer::Kind::End);
}

// Test that a line ending in a space gives the empty rest to a LineOnly answer.
TEST(ScriptRules, LineOnlyAfterTrailingSpaceIsEmpty) {
    host::ScriptSource s("A \n");
    EXPECT_EQ(s.next(AnswerEnd::SpaceOrLine, "").text, "A");
    Answer a = s.next(AnswerEnd::LineOnly, "");
    EXPECT_TRUE(a.isText());
    EXPECT_EQ(a.text, "");
}

// Test that an empty script ends at once and that End repeats.
TEST(ScriptRules, EmptyScriptEnds) {
    host::ScriptSource s("");
    EXPECT_EQ(s.next(AnswerEnd::SpaceOrLine, "").kind, Answer::Kind::End);
    EXPECT_EQ(s.next(AnswerEnd::SpaceOrLine, "").kind, Answer::Kind::End);
}

// Test that a very long answer is cut to the host's limit without splitting into more.
TEST(ScriptRules, VeryLongAnswerIsCut) {
    std::string huge(host::kMaxAnswerBytes * 5, '7');
    host::ScriptSource s(huge + " next\n");
    Answers got = drain(s);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].size(), host::kMaxAnswerBytes);
    EXPECT_EQ(got[1], "next");
}

// Test that UTF-8 text becomes Windows-1251 and other bytes stay as they were.
TEST(ScriptRules, TextIsConvertedToTheHostCodePage) {
    host::ScriptSource s("\xD0\x94\xD0\xB0 \xC4\xE0 \x01\xFF\n");
    EXPECT_EQ(drain(s), (Answers{"\xC4\xE0", "\xC4\xE0", "\x01\xFF"}));
}

// Test that a missing script file is an error with its name.
TEST(ScriptRules, MissingFileIsReported) {
    std::string error;
    auto s = host::ScriptSource::fromFile("/nonexistent/dir/x.scr", error);
    EXPECT_EQ(s, nullptr);
    EXPECT_NE(error.find("/nonexistent/dir/x.scr"), std::string::npos);
}

// Test that a stream follows the same rules as a script.
TEST(StreamSource, SameRulesAsScripts) {
    std::istringstream in("; c\nA  B\n^C\nlast");
    host::StreamSource s(in);
    EXPECT_EQ(drain(s), (Answers{"A", "", "B", "<ESC>", "last"}));
}

// Test that NUL bytes and control characters pass through a stream unharmed.
TEST(StreamSource, BinaryBytesSurvive) {
    std::string data("a\0b\x1b[2J c\n", 10);
    std::istringstream in(data);
    host::StreamSource s(in);
    Answers got = drain(s);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], std::string("a\0b\x1b[2J", 7));
    EXPECT_EQ(got[1], "c");
}

// Test that the queue gives whole answers in order, Escape and End as queued.
TEST(QueueSource, GivesItemsInOrder) {
    host::QueueSource q{"a b", ""};
    q.pushEscape().push("z").pushEnd().push("after end");
    EXPECT_EQ(q.next(AnswerEnd::SpaceOrLine, "").text, "a b");
    EXPECT_EQ(q.next(AnswerEnd::SpaceOrLine, "").text, "");
    EXPECT_EQ(q.next(AnswerEnd::SpaceOrLine, "").kind, Answer::Kind::Escape);
    EXPECT_EQ(q.next(AnswerEnd::SpaceOrLine, "").text, "z");
    EXPECT_EQ(q.next(AnswerEnd::SpaceOrLine, "").kind, Answer::Kind::End);
    EXPECT_EQ(q.remaining(), 1u);
    EXPECT_EQ(q.next(AnswerEnd::SpaceOrLine, "").text, "after end");
    EXPECT_EQ(q.next(AnswerEnd::SpaceOrLine, "").kind, Answer::Kind::End);
}

} // namespace
