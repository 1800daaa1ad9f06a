// line_editor.cpp - a small line editor over the platform's terminal: raw keys in, one line
// redrawn in place, scrolled sideways when it is wider than the terminal.
#include "line_editor.h"
#include "command_line.h"

namespace host {
namespace {

// How long the bytes of one key's escape sequence may lie apart. A terminal sends them
// at once; a person cannot type Escape and another key this close together.
constexpr int kEscapeMs = 100;
constexpr std::size_t kHistoryLines = 500;
constexpr std::size_t kMaxLineChars = kMaxAnswerBytes;

std::u32string decodeUtf8Text(std::string_view utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t len;
        char32_t cp = decodeUtf8At(utf8, i, len);
        if (len == 0) {
            out += cp1251Char(static_cast<unsigned char>(utf8[i]));
            ++i;
        } else {
            out += cp;
            i += len;
        }
    }
    return out;
}

std::string encodeUtf8(const std::u32string &text) {
    std::string out;
    for (char32_t cp : text)
        text::appendUtf8(out, cp);
    return out;
}

bool isWordChar(char32_t c) {
    return c != ' ' && c != '\t';
}

} // namespace

// Between prompts the terminal stays in the editor's key mode with signals on, so that
// what is typed ahead while a command runs waits unechoed and unchanged for the next
// prompt (the terminal's line discipline would echo an Escape as "^[" and turn a Ctrl-D
// into an end-of-file mark), while Ctrl-C still interrupts the command. While a prompt
// waits, Ctrl-C and Ctrl-Z are keys.
LineEditor::LineEditor() : charset_(platform::Terminal::codeset()) {}

LineEditor::~LineEditor() = default;

int LineEditor::readByte(int timeoutMs) {
    if (!pushedBack_.empty()) {
        unsigned char b = pushedBack_.front();
        pushedBack_.pop_front();
        return b;
    }
    for (;;) {
        int b = terminal_.readByte(timeoutMs);
        if (b != platform::Terminal::kWoken || timeoutMs < 0)
            return b;
        woken_ = true; // inside a key's sequence: the wake is taken after the key
    }
}

LineEditor::Key LineEditor::escapeSequence() {
    int b = readByte(kEscapeMs);
    if (b == platform::Terminal::kGone)
        return Key::Closed;
    if (b != '[' && b != 'O') {
        if (b >= 0)
            pushedBack_.push_front(static_cast<unsigned char>(b)); // the next line's
        return Key::Cancel;
    }
    bool ss3 = b == 'O';
    std::string params;
    for (;;) {
        int c = readByte(kEscapeMs);
        if (c == platform::Terminal::kGone)
            return Key::Closed;
        if (c < 0)
            return Key::None; // a broken sequence (or an interrupt inside it): ignored
        if (ss3 || (c >= 0x40 && c <= 0x7E)) {
            switch (c) {
            case 'A':
                return Key::Up;
            case 'B':
                return Key::Down;
            case 'C':
                return Key::Right;
            case 'D':
                return Key::Left;
            case 'H':
                return Key::Home;
            case 'F':
                return Key::End;
            case '~':
                if (params == "1" || params == "7")
                    return Key::Home;
                if (params == "4" || params == "8")
                    return Key::End;
                if (params == "3")
                    return Key::Delete;
                return Key::None;
            default:
                return Key::None; // a key this editor has no use for
            }
        }
        if (params.size() < 16)
            params += static_cast<char>(c);
    }
}

LineEditor::Key LineEditor::nextKey(char32_t &ch) {
    for (;;) {
        if (!decoded_.empty()) {
            ch = decoded_.front();
            decoded_.erase(0, 1);
            return Key::Char;
        }
        if (woken_) {
            woken_ = false;
            return Key::Woken;
        }
        int b = readByte(-1);
        if (b == platform::Terminal::endOfInputKey())
            return Key::EndOrDelete; // Ctrl-Z on Windows
        switch (b) {
        case platform::Terminal::kInterrupted: // a SIGINT from outside: taken as Ctrl-C
            return Key::Cancel;
        case platform::Terminal::kWoken:
            return Key::Woken;
        case platform::Terminal::kGone:
        case platform::Terminal::kTimedOut:
            return Key::Closed;
        case '\r':
        case '\n':
            return Key::Enter;
        case ' ':
            return Key::Space;
        case 0x03: // Ctrl-C
            return Key::Cancel;
        case 0x1B:
            return escapeSequence();
        case 0x04:
            return Key::EndOrDelete;
        case 0x7F:
        case 0x08:
            return Key::Backspace;
        case 0x01:
            return Key::Home;
        case 0x05:
            return Key::End;
        case 0x02:
            return Key::Left;
        case 0x06:
            return Key::Right;
        case 0x10:
            return Key::Up;
        case 0x0E:
            return Key::Down;
        case 0x0B:
            return Key::KillToEnd;
        case 0x15:
            return Key::KillToStart;
        case 0x17:
            return Key::KillWord;
        case 0x0C:
            return Key::Redraw;
        default:
            break;
        }
        if (b < 0x20)
            continue; // other control keys do nothing
        charset_.feed(static_cast<unsigned char>(b), decoded_);
    }
}

void LineEditor::render(std::string_view prompt, std::size_t cursor) {
    struct Cell {
        std::string bytes;
        int width;
    };
    // A control character (from a drawing's text in the prompt, or typed) is shown as its
    // escape, never sent to the terminal.
    auto cellOf = [&](char32_t cp) -> Cell {
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) {
            std::string escape;
            text::appendEscape(escape, cp);
            return {escape, static_cast<int>(escape.size())};
        }
        auto shown = charset_.show(cp);
        return {std::move(shown.bytes), shown.width};
    };
    std::vector<Cell> cells;
    for (char32_t cp : decodeUtf8Text(prompt))
        cells.push_back(cellOf(cp));
    std::size_t promptCells = cells.size();
    for (char32_t cp : buffer_)
        cells.push_back(cellOf(cp));
    std::size_t at = promptCells + cursor;
    int room = terminal_.columns() - 1;
    // The first cell shown: the prompt's start when the cursor fits, else far enough to
    // the right that it does.
    std::size_t first = 0;
    int width = 0;
    for (std::size_t i = 0; i < at; ++i)
        width += cells[i].width;
    while (width > room && first < at)
        width -= cells[first++].width;
    std::string out;
    int used = 0;
    int cursorCol = 0;
    for (std::size_t i = first; i < cells.size(); ++i) {
        if (used + cells[i].width > room)
            break;
        if (i == at)
            cursorCol = used;
        out += cells[i].bytes;
        used += cells[i].width;
    }
    if (at >= cells.size())
        cursorCol = used;
    terminal_.showLine(out, cursorCol);
}

LineEditor::Result LineEditor::read(std::string_view prompt, bool spaceEnds, std::string &line,
                                    bool resume) {
    platform::Terminal::Prompt keys(terminal_);
    std::size_t &cursor = cursor_;
    std::size_t &browsing = browsing_;
    std::u32string &typed = typed_;
    if (!resume) {
        buffer_.clear();
        cursor = 0;
        browsing = history_.size();
        render(prompt, cursor);
    }
    // A Ctrl-C that came between two reads of one line (while the keys were not read, so as
    // a signal) cancels it as the key would.
    if (platform::takeInterrupt()) {
        render(prompt, buffer_.size());
        return Result::Cancel;
    }
    auto finish = [&](Result r) {
        render(prompt, buffer_.size());
        terminal_.write("\r\n");
        return r;
    };
    for (;;) {
        char32_t ch = 0;
        Key key = nextKey(ch);
        switch (key) {
        case Key::None:
            continue;
        case Key::Closed:
            return Result::Closed;
        case Key::Woken:
            return Result::Woken;
        case Key::Cancel: {
            render(prompt, buffer_.size());
            return Result::Cancel; // the command line writes "*Cancel*" after it
        }
        case Key::Space:
            if (!spaceEnds) {
                ch = U' ';
                break;
            }
            [[fallthrough]];
        case Key::Enter:
            line = encodeUtf8(buffer_);
            if (!buffer_.empty() && (history_.empty() || history_.back() != buffer_)) {
                history_.push_back(buffer_);
                if (history_.size() > kHistoryLines)
                    history_.erase(history_.begin());
            }
            return finish(Result::Line);
        case Key::EndOrDelete:
            if (buffer_.empty()) {
                render(prompt, 0);
                return Result::EndOfInput;
            }
            if (cursor < buffer_.size())
                buffer_.erase(cursor, 1);
            break;
        case Key::Delete:
            if (cursor < buffer_.size())
                buffer_.erase(cursor, 1);
            break;
        case Key::Backspace:
            if (cursor > 0)
                buffer_.erase(--cursor, 1);
            break;
        case Key::Left:
            if (cursor > 0)
                --cursor;
            break;
        case Key::Right:
            if (cursor < buffer_.size())
                ++cursor;
            break;
        case Key::Home:
            cursor = 0;
            break;
        case Key::End:
            cursor = buffer_.size();
            break;
        case Key::KillToEnd:
            buffer_.erase(cursor);
            break;
        case Key::KillToStart:
            buffer_.erase(0, cursor);
            cursor = 0;
            break;
        case Key::KillWord: {
            std::size_t from = cursor;
            while (from > 0 && !isWordChar(buffer_[from - 1]))
                --from;
            while (from > 0 && isWordChar(buffer_[from - 1]))
                --from;
            buffer_.erase(from, cursor - from);
            cursor = from;
            break;
        }
        case Key::Up:
        case Key::Down: {
            if (key == Key::Up && browsing == 0)
                break;
            if (key == Key::Down && browsing >= history_.size())
                break;
            if (browsing == history_.size())
                typed = buffer_;
            if (key == Key::Up)
                --browsing;
            else
                ++browsing;
            buffer_ = browsing == history_.size() ? typed : history_[browsing];
            cursor = buffer_.size();
            break;
        }
        case Key::Redraw:
        case Key::Char:
            break;
        }
        if (key == Key::Char || (key == Key::Space && !spaceEnds)) {
            if (buffer_.size() < kMaxLineChars) {
                buffer_.insert(cursor, 1, ch);
                ++cursor;
            }
        }
        render(prompt, cursor);
    }
}

void LineEditor::abandon() {
    buffer_.clear();
    cursor_ = 0;
    terminal_.showLine("", 0);
}

} // namespace host
