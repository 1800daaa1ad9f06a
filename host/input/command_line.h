// command_line.h - the host's command line: where answers come from (a test queue, a
// script file, standard input, an interactive terminal), the transcript every prompt,
// answer and message goes to, the pending break, and the acedInitGet state of the next
// prompt. One CommandLine per host process; tests make a fresh one for every case.
//
// Text inside the host is Windows-1251 bytes (the module's code page). The transcript is
// UTF-8 (on a terminal's screen, in the terminal's own character set); answers read from
// files and terminals are UTF-8 when they decode as such and are converted to
// Windows-1251, otherwise taken as Windows-1251 bytes unchanged.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "text_codec.h"

namespace host {

// ---------------------------------------------------------------------------------
// Answers and where they come from
// ---------------------------------------------------------------------------------

// What ends an answer. The host's rule: a space or a line end, except for
// acedGetString(cronly != 0), where only the line end does.
enum class AnswerEnd { SpaceOrLine, LineOnly };

// One answer as the command line receives it.
struct Answer {
    enum class Kind {
        Text,   // text (possibly empty: Enter or Space alone), Windows-1251
        Escape, // the user pressed Escape (or "^C" in a script)
        End,    // the source has nothing more to give
    };
    Kind kind = Kind::Text;
    std::string text;
    // True when the source itself already showed the prompt's last line and the typed
    // text (a terminal with line editing), so a transcript on that terminal must not
    // repeat them.
    bool shownBySource = false;
    // A pick made with a pointing device: the pick box's half size in drawing units, which
    // stands in for PICKAPERTURE for this answer. 0: the aperture applies.
    double aperture = 0;
    // Typed or clicked in the view's page, not at this machine's terminal or in a script.
    bool fromView = false;

    static Answer textOf(std::string s) { return {Kind::Text, std::move(s), false}; }
    static Answer escape() { return {Kind::Escape, {}, false}; }
    static Answer end() { return {Kind::End, {}, false}; }
    bool isText() const { return kind == Kind::Text; }
};

// Longest answer the host keeps, in bytes; the rest of a longer line is dropped up to
// its terminator so that a runaway line can neither exhaust memory nor split into
// hundreds of stray answers.
constexpr std::size_t kMaxAnswerBytes = 4096;

// Where answers come from.
class InputSource {
public:
    virtual ~InputSource() = default;
    // Reads the next answer. promptLine is the last line of the prompt just shown
    // (UTF-8); only an interactive terminal uses it, for its line editor.
    virtual Answer next(AnswerEnd end, std::string_view promptLine) = 0;
    // Drops whatever part of the current line has not been read yet (after an Escape
    // the host forgets what was typed ahead on the same line). Default: nothing.
    virtual void discardLine() {}
    // Whether a person answers here, who can still be asked after an end of input
    // (Ctrl-D at a terminal): the host then asks before it drops unsaved work.
    virtual bool interactive() const { return false; }
    // UTF-8 text as the screen this source types on shows it (its character set).
    virtual std::string screenText(std::string_view utf8) const { return std::string(utf8); }
};

// Answers a test has queued, one item per answer, taken as whole answers whatever the
// prompt's AnswerEnd. When the queue runs dry the source gives End.
class QueueSource : public InputSource {
public:
    QueueSource() = default;
    // Answers in Windows-1251.
    QueueSource(std::initializer_list<std::string> answers);
    QueueSource &push(std::string cp1251Answer);
    QueueSource &pushEscape();
    QueueSource &pushEnd();
    std::size_t remaining() const { return items_.size(); }
    Answer next(AnswerEnd end, std::string_view promptLine) override;

private:
    std::deque<Answer> items_;
};

// Splits a byte stream into answers by the host's script rules:
//  - every space and every line end ends an answer (so two spaces in a row give an
//    empty answer between them, and an empty line is one empty answer);
//  - for AnswerEnd::LineOnly only the line end ends it, spaces are kept;
//  - a line whose first byte is ';' is a comment and is skipped whole;
//  - an answer that is exactly "^C" is Escape;
//  - "\r\n" counts as one line end;
//  - at the end of the stream, text not yet ended is one last answer, then End.
// Subclasses supply lines.
class LineSource : public InputSource {
public:
    Answer next(AnswerEnd end, std::string_view promptLine) override;
    void discardLine() override;

protected:
    // Reads the next line without its line end into line; false at the end of input.
    // promptLine is the prompt to show when the source is interactive.
    virtual bool readLine(std::string &line, std::string_view promptLine) = 0;
    // Whether a line read from here was shown on the screen as it was typed.
    virtual bool echoesTyping() const { return false; }
    // An Escape that arrived while waiting for a line (Ctrl-C at a terminal).
    virtual bool takeInterrupt() { return false; }

private:
    std::string line_;
    std::size_t pos_ = 0;
    bool haveLine_ = false;
    bool freshLine_ = false; // line_ was read by this call and nothing taken yet
};

// A script held in memory or read from a file.
class ScriptSource : public LineSource {
public:
    // name is used in messages about the script.
    explicit ScriptSource(std::string text, std::string name = "script");
    // Reads the whole file; nullptr and a message in error when it cannot be read.
    static std::unique_ptr<ScriptSource> fromFile(const std::string &path, std::string &error);
    const std::string &name() const { return name_; }

protected:
    bool readLine(std::string &line, std::string_view promptLine) override;

private:
    std::string text_;
    std::string name_;
    std::size_t pos_ = 0;
};

// Lines read from a stream (standard input when it is not a terminal), with the script
// rules; the stream is read line by line, never all at once.
class StreamSource : public LineSource {
public:
    explicit StreamSource(std::istream &in);

protected:
    bool readLine(std::string &line, std::string_view promptLine) override;

private:
    std::istream &in_;
};

class LineEditor; // line_editor.h
namespace platform {
class InterruptWatch; // terminal.h
}

// The interactive terminal: a line editor with history (host/input/line_editor.h) over the
// platform's terminal. Escape or Ctrl-C while a prompt waits is Escape, and
// Ctrl-C while a command runs is a pending break that acedUsrBrk reports; Ctrl-D on an
// empty line is the end of input, after which the person can still be asked. Lines are
// split into answers by the same rules as scripts; where Space ends an answer, Space at
// the keyboard ends the line as Enter does. Text is shown and typed in the terminal's
// own character set.
class TerminalSource : public LineSource {
public:
    TerminalSource();
    ~TerminalSource() override;
    TerminalSource(const TerminalSource &) = delete;
    TerminalSource &operator=(const TerminalSource &) = delete;
    // Whether standard input is a terminal, so that this source makes sense.
    static bool stdinIsTerminal();

    Answer next(AnswerEnd end, std::string_view promptLine) override;
    bool interactive() const override { return !closed_; }
    std::string screenText(std::string_view utf8) const override;

    // For a source that reads this terminal beside others (the view), on the command thread.
    // This source keeps Ctrl-C a break while commands run for as long as it lives.
    enum class Read { Line, Cancel, EndOfInput, Closed, Woken };
    // One line (UTF-8) at the line editor, or Woken when the waker was called meanwhile;
    // resume goes on with the line a Woken left, as it is on the screen.
    Read readLineOrWake(std::string_view prompt, bool spaceEnds, std::string &utf8, bool resume);
    // Erases the prompt's line and forgets what was typed on it: the answer came from elsewhere.
    void abandonLine();
    // What another thread calls to wake readLineOrWake. Safe from any thread, at any time.
    std::function<void()> waker() const;

protected:
    bool readLine(std::string &line, std::string_view promptLine) override;
    bool echoesTyping() const override { return true; }
    bool takeInterrupt() override;

private:
    bool spaceEnds_ = false;
    bool closed_ = false; // the terminal is gone: nobody left to ask
    std::unique_ptr<LineEditor> editor_;
    std::unique_ptr<platform::InterruptWatch> interruptWatch_;
};

// ---------------------------------------------------------------------------------
// The command line
// ---------------------------------------------------------------------------------

class SelectionSets; // selection_sets.h
struct PromptBands;  // prompt_band.h

// What the waiting prompt takes besides text, for a source that can point (the view).
enum class Want { Text, Point, Entity, Select };
struct SessionVars; // sysvars.h: the variables not kept in the drawing

class CommandLine {
public:
    CommandLine();
    ~CommandLine();
    CommandLine(const CommandLine &) = delete;
    CommandLine &operator=(const CommandLine &) = delete;

    // The host's command line. There always is one.
    static CommandLine &current();
    // Replaces the current command line with a fresh one (empty queue source, transcript
    // captured as a string, no break pending, session variables at their defaults, no
    // selection sets) and returns it. For tests, and for the host at start-up.
    static CommandLine &reset();

    // --- where answers come from --------------------------------------------------
    void setSource(std::unique_ptr<InputSource> source);
    InputSource &source() { return *source_; }
    // Takes the current source away (an empty queue stands in until setSource).
    std::unique_ptr<InputSource> releaseSource();
    // Convenience for tests: the current source when it is a QueueSource (reset() puts
    // one in place), else nullptr.
    QueueSource *queue();
    // True once the source has given End; every later prompt gets Escape at once.
    bool endOfInput() const { return endOfInput_; }
    // Whether the last answer taken (a command's name, at its start) came from the view.
    bool lastAnswerFromView() const { return lastAnswerFromView_; }
    // After an End from an interactive source (Ctrl-D at a terminal): reads from it again.
    // False, and nothing changes, when the source cannot be asked any more.
    bool resumeInput();

    // --- the transcript -------------------------------------------------------------
    // Sends the transcript to out (UTF-8). terminal: out is the screen the terminal
    // source types on, so text the source already showed is not repeated there.
    // nullptr: back to capturing it as a string.
    void setTranscript(std::ostream *out, bool terminal = false);
    // What was captured while no stream was set (UTF-8).
    const std::string &captured() const { return captured_; }
    std::string takeCaptured();
    // A second reader of the whole transcript (UTF-8), prompts and answers included, called
    // on the thread that writes it. Empty: none.
    void setTranscriptTap(std::function<void(std::string_view)> tap) { tap_ = std::move(tap); }
    // Writes Windows-1251 text to the transcript.
    void print(std::string_view cp1251);
    // Writes text that already is UTF-8 (host diagnostics).
    void printUtf8(std::string_view utf8);

    // --- asking ---------------------------------------------------------------------
    // Shows the prompt (Windows-1251), reads one answer and records it in the transcript
    // as prompt, answer, line end; Escape and End are recorded as "*Cancel*". End of
    // input is returned as Escape (Kind::Escape) and also sets endOfInput(). A pending
    // break is taken and returned as Escape without reading.
    // An answer naming one of the option keywords in the prompt's last "[...]" by its
    // localised name, or "_" and its global name, is returned as that global keyword
    // (keywords.h); the transcript shows it as typed.
    Answer ask(std::string_view prompt, AnswerEnd end = AnswerEnd::SpaceOrLine);
    // The command prompt: "\nCommand: ". Returns Escape at end of input too.
    Answer askCommand();
    // What the next ask takes besides text; ask() puts it back to Want::Text when it
    // returns. A source reads it while it waits, through wanted().
    void expect(Want want) { want_ = want; }
    Want wanted() const { return want_; }
    // A short host message for a refused answer, on a line of its own.
    void refuse(std::string_view cp1251Message);

    // --- acedInitGet state: applies to the next prompt only -------------------------
    void setInitGet(int bits, std::string keywords);
    // Takes and clears the bits for the prompt that starts now.
    int takeInitGet();

    // --- break ----------------------------------------------------------------------
    void setBreakPending(bool pending);
    bool breakPending() const;
    // Returns whether a break was pending and clears it (acedUsrBrk).
    bool takeBreak();
    // Another place a break may come from (the view's Escape while a command runs): called
    // with false it tells whether one is pending, with true it also clears it. Empty: none.
    void setBreakSource(std::function<bool(bool clear)> source) {
        breakSource_ = std::move(source);
    }

    // --- the module whose command runs (for acdbFail's message) ---------------------
    void setRunningModule(std::string fileName) { runningModule_ = std::move(fileName); }
    const std::string &runningModule() const { return runningModule_; }

    // --- state owned per process ----------------------------------------------------
    SessionVars &vars() { return *vars_; }
    SelectionSets &selectionSets() { return *sets_; }
    // The rubber band of the prompts asked now, and what the bands of the command's
    // prompts need to know.
    PromptBands &bands() { return *bands_; }
    // How many selection sets are allocated and not freed (tests check it is 0).
    std::size_t allocatedSelectionSets() const;

private:
    void writeTranscript(std::string_view utf8);

    std::unique_ptr<InputSource> source_;
    std::ostream *out_ = nullptr;
    bool outIsTerminal_ = false;
    bool atLineStart_ = true;
    std::string captured_;
    bool endOfInput_ = false;
    bool lastAnswerFromView_ = false;
    bool breakPending_ = false;
    std::function<bool(bool)> breakSource_;
    Want want_ = Want::Text;
    std::function<void(std::string_view)> tap_;
    int initGetBits_ = 0;
    std::string initGetKeywords_;
    std::string runningModule_; // the file name of the module whose code runs; "" for none
    std::unique_ptr<SessionVars> vars_;
    std::unique_ptr<SelectionSets> sets_;
    std::unique_ptr<PromptBands> bands_;
};

// Text conversions between the host's code page and UTF-8 (text_codec.h). A character
// Windows-1251 lacks travels as "\U+XXXX" (a pair beyond U+FFFF); bytes that are not valid
// UTF-8 are kept as they are.
using text::cp1251ToUtf8;
using text::isValidUtf8;
using text::utf8ToCp1251;

// ---------------------------------------------------------------------------------
// Hooks for the command loop
// ---------------------------------------------------------------------------------

// True when name (any case) is a system variable the host knows.
bool isSystemVariable(std::string_view name);
// Runs a system variable typed as a command: shows its value (angles in degrees) and
// asks for a new one; Enter keeps it, Escape cancels, a refused value is re-asked.
void runSystemVariableCommand(std::string_view name);

} // namespace host
