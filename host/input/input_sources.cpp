// input_sources.cpp - where the command line's answers come from: the test queue, and
// the line-based sources (script, stream, terminal) that share the host's script rules.
#include "command_line.h"
#include "line_editor.h"
#include "terminal.h"

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <istream>
#include <sstream>

namespace host {

// --- QueueSource --------------------------------------------------------------------

QueueSource::QueueSource(std::initializer_list<std::string> answers) {
    for (const auto &a : answers)
        push(a);
}

QueueSource &QueueSource::push(std::string cp1251Answer) {
    items_.push_back(Answer::textOf(std::move(cp1251Answer)));
    return *this;
}

QueueSource &QueueSource::pushEscape() {
    items_.push_back(Answer::escape());
    return *this;
}

QueueSource &QueueSource::pushEnd() {
    items_.push_back(Answer::end());
    return *this;
}

Answer QueueSource::next(AnswerEnd, std::string_view) {
    if (items_.empty())
        return Answer::end();
    Answer a = std::move(items_.front());
    items_.pop_front();
    return a;
}

// --- LineSource -----------------------------------------------------------------------

namespace {

// Text from files and terminals is UTF-8 when it decodes as such; anything else is
// taken to be in the host's code page already.
std::string toHostText(std::string text) {
    if (isValidUtf8(text))
        return utf8ToCp1251(text);
    return text;
}

} // namespace

Answer LineSource::next(AnswerEnd end, std::string_view promptLine) {
    while (!haveLine_) {
        if (!readLine(line_, promptLine)) {
            Answer a = takeInterrupt() ? Answer::escape() : Answer::end();
            a.shownBySource = echoesTyping(); // the prompt is on the screen already
            return a;
        }
        if (!line_.empty() && line_.back() == '\r')
            line_.pop_back();
        pos_ = 0;
        haveLine_ = true;
        freshLine_ = true;
        if (!line_.empty() && line_[0] == ';')
            haveLine_ = false; // a comment: skipped whole
    }
    std::string text;
    std::size_t stop = end == AnswerEnd::SpaceOrLine ? line_.find(' ', pos_) : std::string::npos;
    if (stop == std::string::npos) {
        text = line_.substr(pos_);
        haveLine_ = false; // the line end ended this answer
    } else {
        text = line_.substr(pos_, stop - pos_);
        pos_ = stop + 1; // the space ended it; the rest of the line is still to come
    }
    bool shown = echoesTyping() && freshLine_;
    freshLine_ = false;
    if (text.size() > kMaxAnswerBytes)
        text.resize(kMaxAnswerBytes);
    if (text == "^C")
        return Answer::escape();
    Answer a = Answer::textOf(toHostText(std::move(text)));
    a.shownBySource = shown;
    return a;
}

void LineSource::discardLine() {
    haveLine_ = false;
    freshLine_ = false;
}

// --- ScriptSource ---------------------------------------------------------------------

ScriptSource::ScriptSource(std::string text, std::string name)
    : text_(std::move(text)), name_(std::move(name)) {}

std::unique_ptr<ScriptSource> ScriptSource::fromFile(const std::string &path, std::string &error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open script \"" + path + "\"";
        return nullptr;
    }
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) {
        error = "cannot read script \"" + path + "\"";
        return nullptr;
    }
    return std::make_unique<ScriptSource>(std::move(buf).str(), path);
}

bool ScriptSource::readLine(std::string &line, std::string_view) {
    if (pos_ >= text_.size())
        return false;
    std::size_t eol = text_.find('\n', pos_);
    if (eol == std::string::npos)
        eol = text_.size();
    line.assign(text_, pos_, eol - pos_);
    pos_ = eol + 1;
    return true;
}

// --- StreamSource ---------------------------------------------------------------------

namespace {
// A line longer than this keeps its head; the rest up to the line end is dropped, so a
// stream without line ends cannot exhaust memory.
constexpr std::size_t kMaxLineBytes = 1 << 20;
} // namespace

StreamSource::StreamSource(std::istream &in) : in_(in) {}

bool StreamSource::readLine(std::string &line, std::string_view) {
    line.clear();
    std::streambuf *sb = in_.rdbuf();
    bool any = false;
    for (;;) {
        int c = sb->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in_.setstate(std::ios::eofbit);
            return any;
        }
        any = true;
        if (c == '\n')
            return true;
        if (line.size() < kMaxLineBytes)
            line += static_cast<char>(c);
    }
}

// --- TerminalSource -------------------------------------------------------------------

Answer TerminalSource::next(AnswerEnd end, std::string_view promptLine) {
    spaceEnds_ = end == AnswerEnd::SpaceOrLine;
    return LineSource::next(end, promptLine);
}

// Ctrl-C while a command runs is a pending break (the InterruptWatch); while a prompt
// waits the editor reads it as a key.
TerminalSource::TerminalSource()
    : editor_(std::make_unique<LineEditor>()),
      interruptWatch_(std::make_unique<platform::InterruptWatch>()) {}

TerminalSource::~TerminalSource() = default;

bool TerminalSource::stdinIsTerminal() {
    return platform::isTerminal(platform::Stream::Input);
}

std::string TerminalSource::screenText(std::string_view utf8) const {
    return editor_->charset().fromUtf8(utf8);
}

bool TerminalSource::readLine(std::string &line, std::string_view promptLine) {
    std::string utf8;
    for (bool resume = false;; resume = true) {
        switch (editor_->read(promptLine, spaceEnds_, utf8, resume)) {
        case LineEditor::Result::Line:
            line = std::move(utf8);
            return true;
        case LineEditor::Result::Cancel:
            platform::setInterrupt(true); // taken at once by takeInterrupt: the prompt gets Escape
            return false;
        case LineEditor::Result::EndOfInput:
            return false;
        case LineEditor::Result::Closed:
            closed_ = true;
            return false;
        case LineEditor::Result::Woken: // nobody here waits for a wake: the line goes on
            continue;
        }
        return false;
    }
}

TerminalSource::Read TerminalSource::readLineOrWake(std::string_view prompt, bool spaceEnds,
                                                    std::string &utf8, bool resume) {
    switch (editor_->read(prompt, spaceEnds, utf8, resume)) {
    case LineEditor::Result::Line:
        return Read::Line;
    case LineEditor::Result::Cancel:
        return Read::Cancel;
    case LineEditor::Result::EndOfInput:
        return Read::EndOfInput;
    case LineEditor::Result::Closed:
        closed_ = true;
        return Read::Closed;
    case LineEditor::Result::Woken:
        return Read::Woken;
    }
    return Read::Closed;
}

void TerminalSource::abandonLine() {
    editor_->abandon();
}

std::function<void()> TerminalSource::waker() const {
    return editor_->waker();
}

bool TerminalSource::takeInterrupt() {
    return platform::takeInterrupt();
}

} // namespace host
