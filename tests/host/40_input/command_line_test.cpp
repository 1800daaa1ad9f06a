// The command line: asking, the transcript, end of input, break, initget state.
#include "input_fixture.h"
#include "selection_sets.h"

#include <sstream>

using host::Answer;
using inputtest::CommandLineTest;

namespace {

// Test that a prompt and its answer appear as prompt, answer, line end, in UTF-8.
TEST_F(CommandLineTest, PromptAndAnswerAreEchoed) {
    type({"10,20"});
    Answer a = cl->ask("\n\xD3\xEA\xE0\xE6\xE8\xF2\xE5 \xEF\xE5\xF0\xE2\xF3\xFE "
                       "\xF2\xEE\xF7\xEA\xF3:  ");
    EXPECT_EQ(a.text, "10,20");
    EXPECT_EQ(transcript(), "\nУкажите первую точку:  10,20\n");
}

// Test that end of input answers Escape, shows *Cancel*, and holds for later prompts.
TEST_F(CommandLineTest, EndOfInputIsEscapeForEveryLaterPrompt) {
    type({"x"});
    cl->queue()->pushEnd();
    type({"never read"});
    EXPECT_EQ(cl->ask("\nA: ").text, "x");
    EXPECT_EQ(cl->ask("\nB: ").kind, Answer::Kind::Escape);
    EXPECT_TRUE(cl->endOfInput());
    EXPECT_EQ(cl->ask("\nC: ").kind, Answer::Kind::Escape);
    EXPECT_EQ(unread(), 1u);
    EXPECT_EQ(transcript(), "\nA: x\n\nB: *Cancel*\n\nC: *Cancel*\n");
}

// Test that a new source clears the end of input.
TEST_F(CommandLineTest, NewSourceStartsAfresh) {
    EXPECT_EQ(cl->ask("A: ").kind, Answer::Kind::Escape);
    EXPECT_TRUE(cl->endOfInput());
    cl->setSource(std::make_unique<host::ScriptSource>("ok\n"));
    EXPECT_FALSE(cl->endOfInput());
    EXPECT_EQ(cl->ask("B: ").text, "ok");
}

// Test that a pending break is taken by the next prompt as Escape, without reading.
TEST_F(CommandLineTest, PendingBreakCancelsTheNextPrompt) {
    type({"kept"});
    cl->setBreakPending(true);
    EXPECT_TRUE(cl->breakPending());
    EXPECT_EQ(cl->ask("P: ").kind, Answer::Kind::Escape);
    EXPECT_FALSE(cl->breakPending());
    EXPECT_EQ(cl->ask("P: ").text, "kept");
}

// Test that control characters in an echoed answer are shown in caret form only.
TEST_F(CommandLineTest, ControlCharactersAreShownHarmlessly) {
    type({std::string("a\x1b[2J\x7f", 6)});
    Answer a = cl->ask("P: ");
    EXPECT_EQ(a.text, std::string("a\x1b[2J\x7f", 6)); // the answer itself is untouched
    EXPECT_EQ(transcript(), "P: a^[[2J^?\n");
}

// Test that text printed from a drawing (Windows-1251, escapes too) cannot drive the terminal:
// C0 controls but the line end, DEL and C1 controls come out as escapes; letters stay.
TEST_F(CommandLineTest, ControlsInPrintedTextAreShownEscaped) {
    struct Case {
        std::string printed;
        std::string shown;
    };
    const Case cases[] = {
        {"\x1b]0;title\x07", "\\U+001B]0;title\\U+0007"},
        {"a\rCommand: \b\tb\n", "a\\U+000DCommand: \\U+0008\\U+0009b\n"},
        {"\x7f", "\\U+007F"},
        {"\\U+009B2J \\U+0085", "\\U+009B2J \\U+0085"},   // C1 kept in the database as escapes
        {"\x80\x9b\xcf", "\xd0\x82\xe2\x80\xba\xd0\x9f"}, // Windows-1251 letters: Ђ›П
    };
    for (const Case &c : cases) {
        cl->takeCaptured();
        cl->print(c.printed);
        EXPECT_EQ(transcript(), c.shown) << c.printed;
    }
    cl->takeCaptured();
    cl->printUtf8("\x9b"
                  "2J"); // a byte that is no UTF-8, as an 8-bit terminal reads it
    EXPECT_EQ(transcript(), "\\U+009B2J");
}

// Test that a refusal starts on a new line only when needed.
TEST_F(CommandLineTest, RefusalOnItsOwnLine) {
    cl->print("partial");
    cl->refuse("No.");
    type({"x"});
    (void)cl->ask("\nP: ");
    cl->refuse("Again.");
    EXPECT_EQ(transcript(), "partial\nNo.\nP: x\nAgain.");
}

// Test that the transcript can go to a stream instead of the captured string.
TEST_F(CommandLineTest, TranscriptToAStream) {
    std::ostringstream out;
    cl->setTranscript(&out);
    cl->print("\xCF\xF0\xE8\xE2\xE5\xF2"); // "Привет"
    EXPECT_EQ(out.str(), "Привет");
    EXPECT_EQ(transcript(), "");
    cl->setTranscript(nullptr);
    cl->print("x");
    EXPECT_EQ(transcript(), "x");
    EXPECT_EQ(cl->takeCaptured(), "x");
    EXPECT_EQ(transcript(), "");
}

// Test that initget bits serve one prompt only.
TEST_F(CommandLineTest, InitGetBitsServeOnePrompt) {
    cl->setInitGet(5, "");
    EXPECT_EQ(cl->takeInitGet(), 5);
    EXPECT_EQ(cl->takeInitGet(), 0);
}

// Test that reset gives a fresh command line: no sets, no break, default variables.
TEST_F(CommandLineTest, ResetGivesFreshState) {
    ads_name ss;
    ASSERT_TRUE(cl->selectionSets().allocate({}, ss));
    cl->setBreakPending(true);
    cl->print("old");
    EXPECT_EQ(cl->allocatedSelectionSets(), 1u);
    auto &fresh = host::CommandLine::reset();
    EXPECT_EQ(&fresh, &host::CommandLine::current());
    EXPECT_EQ(fresh.allocatedSelectionSets(), 0u);
    EXPECT_FALSE(fresh.breakPending());
    EXPECT_EQ(fresh.captured(), "");
    EXPECT_EQ(fresh.runningModule(), ""); // no module's command has run yet
}

// Test that the command prompt reads one word.
TEST_F(CommandLineTest, CommandPrompt) {
    cl->setSource(std::make_unique<host::ScriptSource>("line 1,1\n"));
    EXPECT_EQ(cl->askCommand().text, "line");
    EXPECT_EQ(transcript(), "\nCommand: line\n");
}

} // namespace
