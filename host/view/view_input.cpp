// view_input.cpp - the hub between the page's threads and the command thread.
#include "view_input.h"

#include "text_codec.h"
#include "view_follow.h"

#include <iostream>
#include <thread>

namespace host::view {

namespace {
// How much of the transcript is kept for pages that join late or fall behind.
constexpr std::size_t kTranscriptKept = 256 * 1024;
} // namespace

void Hub::touch() {
    ++prompt_.version;
    state_.notify_all();
}

void Hub::post(std::vector<Item> items) {
    std::lock_guard lock(mutex_);
    if (items.size() == 1 && items[0].kind == Item::Kind::Escape && !prompt_.waiting &&
        !prompt_.ended && items_.empty()) {
        break_ = true; // the running command sees it (acedUsrBrk), and so does its next prompt
        work_.notify_all();
        if (waker_)
            waker_();
        return;
    }
    for (Item &i : items)
        items_.push_back(std::move(i));
    work_.notify_all();
    if (waker_)
        waker_();
}

void Hub::setWaker(std::function<void()> waker) {
    std::lock_guard lock(mutex_);
    waker_ = std::move(waker);
}

std::optional<std::string> Hub::call(std::function<std::string()> fn,
                                     std::chrono::milliseconds timeout) {
    auto c = std::make_shared<Call>();
    c->fn = std::move(fn);
    {
        std::lock_guard lock(mutex_);
        if (prompt_.ended)
            return std::nullopt;
        calls_.push_back(c);
        work_.notify_all();
        if (waker_)
            waker_();
    }
    std::unique_lock lock(c->m);
    if (!c->cv.wait_for(lock, timeout, [&] { return c->done; })) {
        // Too late: take it back unless it runs right now.
        std::lock_guard hubLock(mutex_);
        std::erase(calls_, c);
        return std::nullopt;
    }
    if (c->refused)
        return std::nullopt;
    return std::move(c->result);
}

bool Hub::breakPending(bool clear) {
    std::lock_guard lock(mutex_);
    bool was = break_;
    if (clear)
        break_ = false;
    return was;
}

PromptState Hub::waitState(std::uint64_t since, std::chrono::milliseconds timeout,
                           std::uint64_t &from, std::string &transcript) {
    std::unique_lock lock(mutex_);
    state_.wait_for(lock, timeout, [&] { return prompt_.version != since || prompt_.ended; });
    std::uint64_t endOffset = transcriptStart_ + transcript_.size();
    if (from < transcriptStart_)
        from = transcriptStart_; // what the page missed is gone
    if (from > endOffset)
        from = endOffset;
    transcript = transcript_.substr(static_cast<std::size_t>(from - transcriptStart_));
    from = endOffset;
    return prompt_;
}

void Hub::appendTranscript(std::string_view utf8) {
    std::lock_guard lock(mutex_);
    transcript_.append(utf8);
    if (transcript_.size() > 2 * kTranscriptKept) {
        std::size_t drop = transcript_.size() - kTranscriptKept;
        transcript_.erase(0, drop);
        transcriptStart_ += drop;
    }
    touch();
}

Item Hub::take(AnswerEnd end, std::string_view promptLine, Want want,
               const std::function<std::optional<Item>()> &wait) {
    std::unique_lock lock(mutex_);
    prompt_.extras = std::move(nextExtras_);
    prompt_.waiting = true;
    ++prompt_.prompts;
    prompt_.want = want;
    prompt_.spaces = end == AnswerEnd::LineOnly;
    prompt_.prompt = std::string(promptLine);
    touch();
    for (;;) {
        if (!calls_.empty()) {
            std::shared_ptr<Call> c = std::move(calls_.front());
            calls_.pop_front();
            lock.unlock();
            std::string result = c->fn();
            {
                std::lock_guard callLock(c->m);
                c->result = std::move(result);
                c->done = true;
            }
            c->cv.notify_all();
            lock.lock();
            continue;
        }
        if (break_) { // came just as this prompt began
            break_ = false;
            prompt_.waiting = false;
            touch();
            return Item{Item::Kind::Escape, {}, 0};
        }
        if (!items_.empty()) {
            Item item = std::move(items_.front());
            items_.pop_front();
            prompt_.waiting = false;
            touch();
            return item;
        }
        if (!wait) {
            work_.wait(lock);
            continue;
        }
        lock.unlock();
        std::optional<Item> own = wait();
        lock.lock();
        if (own) {
            prompt_.waiting = false;
            touch();
            return std::move(*own);
        }
    }
}

void Hub::setPromptExtras(std::string extras) {
    std::lock_guard lock(mutex_);
    nextExtras_ = std::move(extras);
}

void Hub::end() {
    std::lock_guard lock(mutex_);
    prompt_.ended = true;
    prompt_.waiting = false;
    for (auto &c : calls_) {
        std::lock_guard callLock(c->m);
        c->refused = c->done = true;
        c->cv.notify_all();
    }
    calls_.clear();
    touch();
}

// --- ViewSource ------------------------------------------------------------------------

ViewSource::ViewSource(std::shared_ptr<Hub> hub, std::unique_ptr<InputSource> script,
                       std::unique_ptr<TerminalSource> terminal)
    : hub_(std::move(hub)), script_(std::move(script)), terminal_(std::move(terminal)) {}

std::string ViewSource::screenText(std::string_view utf8) const {
    return terminal_ ? terminal_->screenText(utf8) : std::string(utf8);
}

Answer ViewSource::next(AnswerEnd end, std::string_view promptLine) {
    if (script_) {
        Answer a = script_->next(end, promptLine);
        if (a.kind != Answer::Kind::End)
            return a;
        script_.reset(); // the script is done: the page and the terminal go on
    }
    while (!haveLine_) {
        hub_->setPromptExtras(promptExtras(promptLine));
        Item item;
        const bool onScreen = terminal_ && !terminalGone_; // what waits is shown there
        if (onScreen) {
            // The command thread waits at the terminal's keys; the page's answers and queries
            // wake it. The line being typed stays as it is across the wakes.
            bool resume = false;
            item = hub_->take(end, promptLine, CommandLine::current().wanted(),
                              [&]() -> std::optional<Item> {
                                  using Read = TerminalSource::Read;
                                  std::string utf8;
                                  Read r = terminal_->readLineOrWake(
                                      promptLine, end == AnswerEnd::SpaceOrLine, utf8, resume);
                                  resume = true;
                                  switch (r) {
                                  case Read::Line:
                                      return Item{Item::Kind::Line, std::move(utf8), 0, true};
                                  case Read::Cancel:
                                      return Item{Item::Kind::Escape, {}, 0, true};
                                  case Read::EndOfInput:
                                      return Item{Item::Kind::End, {}, 0, true};
                                  case Read::Closed:
                                      terminalGone_ = true;
                                      return Item{Item::Kind::End, {}, 0, true};
                                  case Read::Woken:
                                      return std::nullopt;
                                  }
                                  return std::nullopt;
                              });
            if (!item.echoed) { // the page answered: its answer takes the prompt's line
                terminal_->abandonLine();
                std::string shown(promptLine);
                if (item.kind == Item::Kind::Line)
                    shown += text::escapeControls(item.text) + "\n";
                std::cout << terminal_->screenText(shown) << std::flush;
            }
        } else {
            item = hub_->take(end, promptLine, CommandLine::current().wanted());
        }
        if (item.kind != Item::Kind::Line) {
            Answer special = item.kind == Item::Kind::Escape ? Answer::escape() : Answer::end();
            special.shownBySource = onScreen;
            return special;
        }
        line_ = std::move(item.text);
        fresh_ = onScreen;
        if (!line_.empty() && line_.back() == '\r')
            line_.pop_back();
        pos_ = 0;
        aperture_ = item.aperture;
        fromPage_ = item.fromPage;
        haveLine_ = !(line_.size() && line_[0] == ';'); // a comment is skipped whole
    }
    std::size_t stop = end == AnswerEnd::SpaceOrLine ? line_.find(' ', pos_) : std::string::npos;
    std::string text;
    if (stop == std::string::npos) {
        text = line_.substr(pos_);
        haveLine_ = false;
    } else {
        text = line_.substr(pos_, stop - pos_);
        pos_ = stop + 1;
    }
    if (text.size() > kMaxAnswerBytes)
        text.resize(kMaxAnswerBytes);
    bool shown = fresh_;
    fresh_ = false;
    Answer a = text == "^C" ? Answer::escape()
                            : Answer::textOf(isValidUtf8(text) ? utf8ToCp1251(text) : text);
    a.aperture = aperture_;
    a.fromView = fromPage_;
    a.shownBySource = shown;
    return a;
}

void ViewSource::discardLine() {
    haveLine_ = false;
    fresh_ = false;
}

void readStdinInto(std::shared_ptr<Hub> hub) {
    std::thread([hub = std::move(hub)] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line.size() > kMaxAnswerBytes * 4)
                line.resize(kMaxAnswerBytes * 4);
            hub->post({Item{Item::Kind::Line, line, 0, false}});
        }
    }).detach();
}

} // namespace host::view
