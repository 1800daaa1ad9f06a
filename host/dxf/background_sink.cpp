// background_sink.cpp - the save's second thread: bytes queued by the writer, passed on in
// order by the thread.
#include "background_sink.h"

#include <utility>

namespace dxf {

namespace {

// Chunks queued at most (each as large as the writer's flushes, a megabyte or so): the
// writer waits beyond that, so a slow disk never makes the queue hold the whole file.
constexpr std::size_t kMaxQueued = 4;

} // namespace

BackgroundSink::BackgroundSink(ByteSink &next) : next_(next), thread_([this] { run(); }) {}

BackgroundSink::~BackgroundSink() {
    {
        std::lock_guard lock(mutex_);
        dropping_ = true;
    }
    stop();
}

void BackgroundSink::stop() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void BackgroundSink::write(std::string_view bytes) {
    Chunk chunk = room();
    chunk.bytes.assign(bytes);
    put(std::move(chunk));
}

void BackgroundSink::writeWithRead(std::string_view bytes, std::span<const ByteSpan> asRead) {
    Chunk chunk = room();
    chunk.bytes.assign(bytes);
    chunk.asRead.assign(asRead.begin(), asRead.end());
    put(std::move(chunk));
}

void BackgroundSink::give(std::string &bytes, std::vector<ByteSpan> &asRead) {
    Chunk chunk = room();
    chunk.bytes.swap(bytes);
    chunk.asRead.swap(asRead);
    put(std::move(chunk));
}

BackgroundSink::Chunk BackgroundSink::room() {
    Chunk chunk;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return error_ != nullptr || queue_.size() < kMaxQueued; });
    if (error_ != nullptr)
        std::rethrow_exception(error_);
    if (!spare_.empty()) {
        chunk = std::move(spare_.back());
        spare_.pop_back();
    }
    return chunk;
}

void BackgroundSink::put(Chunk &&chunk) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(chunk));
    }
    changed_.notify_all();
}

void BackgroundSink::finish() {
    stop();
    if (error_ != nullptr)
        std::rethrow_exception(error_);
}

void BackgroundSink::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return closing_ || !queue_.empty(); });
        if (queue_.empty())
            return; // closing, and all was passed on
        if (error_ != nullptr || dropping_) {
            queue_.clear(); // nothing more goes on after a failure, or when given up
            continue;
        }
        Chunk chunk = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        std::exception_ptr failed;
        try {
            if (chunk.asRead.empty())
                next_.write(chunk.bytes);
            else
                next_.writeWithRead(chunk.bytes, chunk.asRead);
        } catch (...) {
            failed = std::current_exception();
        }
        lock.lock();
        if (failed != nullptr)
            error_ = failed;
        chunk.bytes.clear();
        chunk.asRead.clear();
        if (spare_.size() < kMaxQueued)
            spare_.push_back(std::move(chunk));
        changed_.notify_all();
    }
}

} // namespace dxf
