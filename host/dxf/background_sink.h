// background_sink.h - a ByteSink that passes what it is given on to another sink on a thread
// of its own, so that a save's check and file writes overlap with making the next bytes.
#pragma once

#include "drawing_writer.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dxf {

class BackgroundSink : public ByteSink {
public:
    // Starts the thread that writes into next (which must outlive this).
    explicit BackgroundSink(ByteSink &next);
    // Stops the thread; what was given and not yet passed on is dropped unless finish() ran.
    ~BackgroundSink() override;
    BackgroundSink(const BackgroundSink &) = delete;
    BackgroundSink &operator=(const BackgroundSink &) = delete;

    // Copies bytes for the thread (waiting while a few megabytes are queued). Throws what the
    // other sink threw on an earlier write, once it has: nothing more is passed on after it.
    void write(std::string_view bytes) override;
    void writeWithRead(std::string_view bytes, std::span<const ByteSpan> asRead) override;
    // Takes the memory of both (what it gives back in their place is empty), no copy.
    void give(std::string &bytes, std::vector<ByteSpan> &asRead) override;
    // Waits until all that was given has been passed on; throws what the other sink threw.
    void finish();

private:
    struct Chunk {
        std::string bytes;
        std::vector<ByteSpan> asRead;
    };
    // A chunk to fill (a spare one when there is one), once there is room in the queue.
    Chunk room();
    void put(Chunk &&chunk);
    void run();
    void stop();

    ByteSink &next_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> queue_;
    std::vector<Chunk> spare_; // chunks passed on, kept for their memory
    bool closing_ = false;     // nothing more comes: pass on what is queued, then end
    bool dropping_ = false;    // end without passing on what is queued
    std::exception_ptr error_;
    std::thread thread_;
};

} // namespace dxf
