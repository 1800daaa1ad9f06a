// line_editor.h - the line editor of the interactive terminal: raw keys read from the
// platform's terminal, shown in the terminal's own character set, with history.
//
// Keys: Enter ends the line (Space too where the prompt takes Space as the end of an
// answer); Escape and Ctrl-C cancel at once; Ctrl-D (on Windows Ctrl-Z too) on an empty
// line is the end of input; Left/Right, Home/End, Ctrl-A/E/B/F move; Backspace, Delete,
// Ctrl-D, Ctrl-K/U/W delete; Up/Down and Ctrl-P/N walk the history. A lone Escape is told from the
// start of a key's escape sequence ("ESC [" or "ESC O") by what follows it within a short time;
// anything else after it is kept as the first key of the next line.
#pragma once

#include "terminal.h"
#include "terminal_charset.h"

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class LineEditor {
public:
    enum class Result {
        Line,       // the line is in line (UTF-8)
        Cancel,     // Escape or Ctrl-C
        EndOfInput, // Ctrl-D on an empty line
        Closed,     // the terminal is gone (hang-up, read error)
        Woken,      // the waker was called: the line waits, shown, for read(..., resume)
    };

    // The terminal on standard input and output, in key mode while the editor lives.
    LineEditor();
    ~LineEditor();
    LineEditor(const LineEditor &) = delete;
    LineEditor &operator=(const LineEditor &) = delete;

    // Shows prompt (UTF-8, one line) and reads one line. spaceEnds: Space ends it as
    // Enter does (and is not part of it). resume: goes on with the line a Woken left, as it
    // is on the screen (same prompt).
    Result read(std::string_view prompt, bool spaceEnds, std::string &line, bool resume = false);
    // Erases the prompt's line from the screen and forgets what was typed on it: the answer
    // came from elsewhere.
    void abandon();
    // What another thread calls to make a read return Woken (see platform::Terminal).
    std::function<void()> waker() const { return terminal_.waker(); }

    const TerminalCharset &charset() const { return charset_; }

private:
    enum class Key {
        None,
        Char,
        Enter,
        Space,
        Cancel,
        EndOrDelete,
        Backspace,
        Delete,
        Left,
        Right,
        Home,
        End,
        Up,
        Down,
        KillToEnd,
        KillToStart,
        KillWord,
        Redraw,
        Closed,
        Woken
    };
    Key nextKey(char32_t &ch);
    // The next byte, or one of platform::Terminal's kTimedOut, kGone, kInterrupted.
    int readByte(int timeoutMs);
    Key escapeSequence();
    void render(std::string_view prompt, std::size_t cursor);

    TerminalCharset charset_; // first: it takes the locale's set before the terminal changes
    platform::Terminal terminal_;
    std::deque<unsigned char> pushedBack_;
    std::u32string decoded_; // characters decoded but not yet taken as keys
    std::u32string buffer_;
    std::size_t cursor_ = 0;
    std::size_t browsing_ = 0; // history_.size(): the line being typed
    std::u32string typed_;     // the line being typed, while browsing the history
    bool woken_ = false;       // a wake came inside a key's escape sequence
    std::vector<std::u32string> history_;
};

} // namespace host
