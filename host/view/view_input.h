// view_input.h - where the page meets the command line. The page's threads post answers
// and ask for pictures; the thread that runs commands takes the answers, and runs the
// page's queries of the drawing, only while it waits at a prompt, so that the database is
// only ever touched by that one thread.
#pragma once

#include "command_line.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace host::view {

// One thing for the command line, from the page or the terminal.
struct Item {
    enum class Kind { Line, Escape, End };
    Kind kind = Kind::Line;
    std::string text;      // a line, UTF-8 (split into answers by the host's rules)
    double aperture = 0;   // a pick made by pointing: the pick box in drawing units
    bool echoed = false;   // typed at the terminal, which shows it already
    bool fromPage = false; // sent by the page
};

// What the page polls: the prompt and the transcript.
struct PromptState {
    std::uint64_t version = 0; // grows with every change
    bool waiting = false;      // a prompt waits for an answer
    std::uint64_t prompts = 0; // how many prompts have waited so far
    Want want = Want::Text;
    bool spaces = false; // a space is part of the answer (only Enter ends it)
    std::string prompt;  // its last line, UTF-8
    bool ended = false;  // the session is over
    std::string extras;  // JSON members the prompt adds, each after a comma (view_follow.h)
};

class Hub {
public:
    // --- any thread -------------------------------------------------------------------
    // Items go to the command line in this order, nothing from elsewhere between them. An
    // Escape alone while no prompt waits is a break for the command that runs instead.
    void post(std::vector<Item> items);
    // A break posted while a command ran: whether one is pending; clear: and forget it.
    bool breakPending(bool clear);
    // Runs fn on the command thread the next time it waits at a prompt. nullopt when that
    // does not happen within timeout (a long command runs) or the session is over.
    std::optional<std::string> call(std::function<std::string()> fn,
                                    std::chrono::milliseconds timeout);
    // Waits until the state's version differs from since (or timeout), and returns it
    // with the transcript from byte offset from on; from is moved to the end of it.
    PromptState waitState(std::uint64_t since, std::chrono::milliseconds timeout,
                          std::uint64_t &from, std::string &transcript);
    // Called after every item posted and call queued, from the thread that posts it: wakes a
    // command thread that waits elsewhere than in take() (at the terminal's keys).
    void setWaker(std::function<void()> waker);
    // --- the command thread -------------------------------------------------------------
    void appendTranscript(std::string_view utf8);
    // What the next take() shows the page beside its prompt (PromptState::extras).
    void setPromptExtras(std::string extras);
    // Waits for the next item, running queued calls meanwhile. With wait, the waiting is
    // wait's: it returns an item of its own, or nothing when the waker woke it.
    Item take(AnswerEnd end, std::string_view promptLine, Want want,
              const std::function<std::optional<Item>()> &wait = {});
    // No more prompts: calls waiting now and later are refused.
    void end();

private:
    struct Call {
        std::function<std::string()> fn;
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        bool refused = false; // the session ended first
        std::string result;
    };
    void touch(); // under mutex_: a change the page should see

    std::mutex mutex_;
    std::condition_variable work_;  // an item or a call for the command thread
    std::condition_variable state_; // a change for the pollers
    std::deque<Item> items_;
    bool break_ = false; // an Escape that came while a command ran
    std::deque<std::shared_ptr<Call>> calls_;
    std::function<void()> waker_;
    PromptState prompt_;
    std::string nextExtras_;            // for the next take()
    std::string transcript_;            // the last part of the transcript
    std::uint64_t transcriptStart_ = 0; // the offset of transcript_[0] in the whole
};

// The command line's source while the view is open: the answers of the page and of the
// terminal (its line editor, read by the command thread while it waits; or standard input
// read line by line on a thread of its own), after whatever a script still had.
class ViewSource : public InputSource {
public:
    // terminal: the terminal the person types on, whose line editor shows the prompt
    // waiting, and the page's answers as they come. Null: none.
    ViewSource(std::shared_ptr<Hub> hub, std::unique_ptr<InputSource> script,
               std::unique_ptr<TerminalSource> terminal);
    Answer next(AnswerEnd end, std::string_view promptLine) override;
    void discardLine() override;
    bool interactive() const override { return terminal_ && !terminalGone_; }
    std::string screenText(std::string_view utf8) const override;

private:
    std::shared_ptr<Hub> hub_;
    std::unique_ptr<InputSource> script_; // drained first
    std::string line_;                    // the line being split into answers
    std::size_t pos_ = 0;
    bool haveLine_ = false;
    bool fresh_ = false; // nothing of line_ taken yet
    double aperture_ = 0;
    std::unique_ptr<TerminalSource> terminal_;
    bool terminalGone_ = false; // hung up: the page alone answers
    bool fromPage_ = false;     // line_ came from the page
};

// Reads standard input (not a terminal) line by line on a thread of its own and posts each
// line to hub; its end leaves the session to the page. The thread is never joined: it may
// wait on its input until the process ends.
void readStdinInto(std::shared_ptr<Hub> hub);

} // namespace host::view
