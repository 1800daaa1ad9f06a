// command_line.cpp - the one command line of the host process: asks, echoes, records.
#include "command_line.h"
#include "terminal.h"
#include "selection_sets.h"
#include "prompt_band.h"
#include "sysvars.h"
#include "i18n.h"
#include "keywords.h"

#include <ostream>

namespace host {
namespace {

std::unique_ptr<CommandLine> &currentSlot() {
    static std::unique_ptr<CommandLine> slot;
    return slot;
}

// An answer as the transcript shows it: control characters become ^X so that a stray
// escape sequence typed or scripted cannot drive the terminal that shows the transcript.
std::string visible(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            out += '^';
            out += static_cast<char>(b == 0x7F ? '?' : b + '@');
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

CommandLine::CommandLine()
    : source_(std::make_unique<QueueSource>()), vars_(std::make_unique<SessionVars>()),
      sets_(std::make_unique<SelectionSets>()), bands_(std::make_unique<PromptBands>()) {}

CommandLine::~CommandLine() = default;

CommandLine &CommandLine::current() {
    auto &slot = currentSlot();
    if (!slot)
        slot = std::make_unique<CommandLine>();
    return *slot;
}

CommandLine &CommandLine::reset() {
    auto &slot = currentSlot();
    slot = std::make_unique<CommandLine>();
    platform::setInterrupt(false);
    return *slot;
}

void CommandLine::setSource(std::unique_ptr<InputSource> source) {
    source_ = source ? std::move(source) : std::make_unique<QueueSource>();
    endOfInput_ = false;
}

std::unique_ptr<InputSource> CommandLine::releaseSource() {
    std::unique_ptr<InputSource> old = std::move(source_);
    source_ = std::make_unique<QueueSource>();
    return old;
}

QueueSource *CommandLine::queue() {
    return dynamic_cast<QueueSource *>(source_.get());
}

bool CommandLine::resumeInput() {
    if (!source_->interactive())
        return false;
    endOfInput_ = false;
    return true;
}

void CommandLine::setTranscript(std::ostream *out, bool terminal) {
    out_ = out;
    outIsTerminal_ = out != nullptr && terminal;
}

std::string CommandLine::takeCaptured() {
    std::string s = std::move(captured_);
    captured_.clear();
    return s;
}

void CommandLine::writeTranscript(std::string_view raw) {
    if (raw.empty())
        return;
    // Text from a drawing may hold control characters: shown as escapes, they can neither
    // retitle nor recolour the terminal, nor move its cursor to fake a prompt.
    const std::string escaped = text::escapeControls(raw);
    const std::string_view utf8 = escaped;
    atLineStart_ = utf8.back() == '\n';
    if (tap_)
        tap_(utf8);
    if (out_) {
        std::string shown = outIsTerminal_ ? source_->screenText(utf8) : std::string(utf8);
        out_->write(shown.data(), static_cast<std::streamsize>(shown.size()));
        out_->flush();
    } else {
        captured_.append(utf8);
    }
}

void CommandLine::print(std::string_view cp1251) {
    writeTranscript(cp1251ToUtf8(cp1251));
}

void CommandLine::printUtf8(std::string_view utf8) {
    writeTranscript(utf8);
}

Answer CommandLine::ask(std::string_view prompt, AnswerEnd end) {
    std::string shown = cp1251ToUtf8(prompt);
    std::size_t cut = shown.rfind('\n');
    std::string lastLine = cut == std::string::npos ? shown : shown.substr(cut + 1);
    // The part of the prompt above its last line goes out first: a terminal source shows
    // the last line itself, in its line editor.
    writeTranscript(std::string_view(shown).substr(0, cut == std::string::npos ? 0 : cut + 1));

    Answer a;
    if (takeBreak() || endOfInput_) {
        a = Answer::escape();
    } else {
        a = source_->next(end, lastLine);
        if (a.kind == Answer::Kind::End) {
            endOfInput_ = true;
            a.kind = Answer::Kind::Escape;
        }
    }
    want_ = Want::Text;
    lastAnswerFromView_ = a.fromView;
    bool alreadyOnScreen = a.shownBySource && outIsTerminal_;
    if (alreadyOnScreen && tap_) // the tap has not seen what the terminal showed itself
        tap_(a.isText()
                 ? lastLine + visible(cp1251ToUtf8(a.text)) + "\n"
                 : lastLine.substr(0, lastLine.find_last_not_of(' ') + 1)); // " *Cancel*" follows
    if (!alreadyOnScreen) {
        std::string line = lastLine;
        line += a.isText() ? visible(cp1251ToUtf8(a.text)) : cp1251ToUtf8(i18n::tr("*Cancel*"));
        line += '\n';
        writeTranscript(line);
    } else if (!a.isText()) {
        writeTranscript(" " + cp1251ToUtf8(i18n::tr("*Cancel*")) +
                        "\n"); // after what was typed, on the prompt's line
    } else {
        atLineStart_ = true;
    }
    // A keyword in the session's language, or "_" and the global one, reaches the command
    // as the global keyword; the transcript keeps what was typed.
    if (a.isText() && !a.text.empty() && prompt.find('[') != std::string_view::npos)
        a.text = globalAnswer(a.text, promptKeywords(prompt));
    return a;
}

Answer CommandLine::askCommand() {
    return ask(i18n::tr("\nCommand: "), AnswerEnd::SpaceOrLine);
}

void CommandLine::refuse(std::string_view cp1251Message) {
    std::string text = atLineStart_ ? std::string() : std::string("\n");
    text += cp1251ToUtf8(cp1251Message);
    writeTranscript(text);
}

void CommandLine::setInitGet(int bits, std::string keywords) {
    initGetBits_ = bits;
    initGetKeywords_ = std::move(keywords);
}

int CommandLine::takeInitGet() {
    int bits = initGetBits_;
    initGetBits_ = 0;
    initGetKeywords_.clear();
    return bits;
}

void CommandLine::setBreakPending(bool pending) {
    breakPending_ = pending;
    if (!pending) {
        platform::setInterrupt(false);
        if (breakSource_)
            (void)breakSource_(true); // cleared with the others
    }
}

bool CommandLine::breakPending() const {
    return breakPending_ || platform::interruptPending() || (breakSource_ && breakSource_(false));
}

bool CommandLine::takeBreak() {
    bool was = breakPending();
    setBreakPending(false);
    return was;
}

std::size_t CommandLine::allocatedSelectionSets() const {
    return sets_->allocated();
}

} // namespace host
