// view_input.cpp - the hub between the page's threads and the command thread.
#include "view_input.h"

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
        return;
    }
    for (Item &i : items)
        items_.push_back(std::move(i));
    work_.notify_all();
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

Item Hub::take(AnswerEnd end, std::string_view promptLine, Want want) {
    std::unique_lock lock(mutex_);
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
        work_.wait(lock);
    }
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

ViewSource::ViewSource(std::shared_ptr<Hub> hub, std::unique_ptr<InputSource> script, bool terminal)
    : hub_(std::move(hub)), script_(std::move(script)), terminal_(terminal) {}

Answer ViewSource::next(AnswerEnd end, std::string_view promptLine) {
    if (script_) {
        Answer a = script_->next(end, promptLine);
        if (a.kind != Answer::Kind::End)
            return a;
        script_.reset(); // the script is done: the page and the terminal go on
    }
    bool waited = false;
    while (!haveLine_) {
        if (terminal_ && !waited) { // the terminal shows what waits, as a line editor would
            std::cout << promptLine << std::flush;
            waited = true;
        }
        Item item = hub_->take(end, promptLine, CommandLine::current().wanted());
        Answer special = item.kind == Item::Kind::Escape ? Answer::escape() : Answer::end();
        special.shownBySource = terminal_;
        if (item.kind != Item::Kind::Line)
            return special;
        if (terminal_ && !item.echoed) // the page's answer, where the terminal shows it
            std::cout << item.text << '\n' << std::flush;
        line_ = std::move(item.text);
        fresh_ = terminal_;
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

void readStdinInto(std::shared_ptr<Hub> hub, bool terminal) {
    std::thread([hub = std::move(hub), terminal] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line.size() > kMaxAnswerBytes * 4)
                line.resize(kMaxAnswerBytes * 4);
            hub->post({Item{Item::Kind::Line, line, 0, terminal}});
        }
        if (terminal)
            hub->post({Item{Item::Kind::End, {}, 0, true}});
    }).detach();
}

} // namespace host::view
