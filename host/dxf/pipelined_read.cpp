// pipelined_read.cpp - batches of records from the reader's thread, replayed into the sink.
#include "pipelined_read.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace dxf {

namespace {

// A batch is handed over once it holds this many tags (40 bytes each). Smaller batches
// cost more in hand-overs than they gain in cache: 4096 made a big read 15% slower.
constexpr std::size_t kBatchTags = 16384;
// Full batches waiting for the sink; the reader waits when there are this many, until half
// of them are taken.
constexpr std::size_t kMaxWaiting = 8;

// A record whose tags sit in the batch's tag buffer.
struct StoredRecord {
    std::string_view type; // a view into the source, as Record::type
    std::uint32_t firstTag = 0;
    std::uint32_t tagCount = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
    std::uint32_t line = 0;
};

enum class Call : std::uint8_t {
    SectionBegin,
    SectionEnd,
    HeaderVariable,
    TableBegin,
    TableEntry,
    TableEnd,
    BlockBegin,
    BlockEnd,
    Entity,
    Object,
    EndOfFile,
    Passed,
};

// One sink call. `record` indexes the batch's records (for an entity: its main record,
// followed by its children and then its seqend); `name` indexes the batch's names.
struct StoredCall {
    Call call;
    bool inBlock = false;
    bool hasSeqend = false;
    std::uint32_t name = 0;
    std::uint32_t record = 0;
    std::uint32_t children = 0;
    std::size_t begin = 0; // a header variable's byte span, a group's span, a passed offset
    std::size_t end = 0;
};

struct Batch {
    std::vector<Tag> tags;
    std::vector<StoredRecord> records;
    std::vector<StoredCall> calls;
    std::vector<std::string> names;
    std::exception_ptr error; // the reader's, after the calls before it
    bool last = false;

    void clear() {
        tags.clear();
        records.clear();
        calls.clear();
        names.clear();
        error = nullptr;
        last = false;
    }
};

// Thrown on the reader's thread when the sink has stopped taking batches.
struct Stopped {};

// Full batches from the reader to the sink, and empty ones back.
class Channel {
public:
    // The reader's side. Throws Stopped once the sink has stopped.
    void put(Batch &&batch) {
        std::unique_lock lock(mutex_);
        // Once full, the reader waits until half the batches are taken: fewer wake-ups.
        if (full_.size() >= kMaxWaiting)
            roomOrStop_.wait(lock, [&] { return stopped_ || full_.size() <= kMaxWaiting / 2; });
        if (stopped_)
            throw Stopped{};
        full_.push_back(std::move(batch));
        batchOrStop_.notify_one();
    }
    Batch emptyBatch() {
        std::lock_guard lock(mutex_);
        if (spare_.empty())
            return Batch{};
        Batch b = std::move(spare_.back());
        spare_.pop_back();
        return b;
    }
    // The sink's side: the next full batch; once the reader has given up (abandon), its
    // error instead.
    Batch take() {
        std::unique_lock lock(mutex_);
        batchOrStop_.wait(lock, [&] { return !full_.empty() || abandoned_ != nullptr; });
        if (full_.empty())
            std::rethrow_exception(abandoned_);
        Batch b = std::move(full_.front());
        full_.pop_front();
        if (full_.size() == kMaxWaiting / 2)
            roomOrStop_.notify_one();
        return b;
    }
    // The reader's side, when not even the last batch could be handed over (out of memory):
    // the batches already handed over, then this error. Allocates nothing.
    void abandon(std::exception_ptr error) noexcept {
        std::lock_guard lock(mutex_);
        abandoned_ = std::move(error);
        batchOrStop_.notify_one();
    }
    void giveBack(Batch &&batch) {
        batch.clear();
        std::lock_guard lock(mutex_);
        spare_.push_back(std::move(batch));
    }
    void stop() {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        roomOrStop_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable roomOrStop_, batchOrStop_;
    std::deque<Batch> full_;
    std::vector<Batch> spare_;
    std::exception_ptr abandoned_;
    bool stopped_ = false;
};

// The sink the reader fills on its thread: every call stored in the current batch.
class Recorder : public StructureSink {
public:
    explicit Recorder(Channel &channel) : channel_(channel), batch_(channel.emptyBatch()) {}

    void sectionBegin(std::string_view name, const Record &start) override {
        add(Call::SectionBegin, start, name);
    }
    void sectionEnd(std::string_view name, const Record &endsec) override {
        add(Call::SectionEnd, endsec, name);
    }
    void headerVariable(std::string_view name, std::span<const Tag> tags, std::size_t begin,
                        std::size_t end) override {
        StoredCall c{Call::HeaderVariable};
        c.name = storeName(name);
        c.record = static_cast<std::uint32_t>(batch_.tags.size()); // the tags, not a record
        c.children = static_cast<std::uint32_t>(tags.size());
        c.begin = begin;
        c.end = end;
        batch_.tags.insert(batch_.tags.end(), tags.begin(), tags.end());
        batch_.calls.push_back(c);
        handOverWhenFull();
    }
    void tableBegin(std::string_view table, const Record &record) override {
        add(Call::TableBegin, record, table);
    }
    void tableEntry(std::string_view table, const Record &record) override {
        add(Call::TableEntry, record, table);
    }
    void tableEnd(std::string_view table, const Record &endtab) override {
        add(Call::TableEnd, endtab, table);
    }
    void blockBegin(const Record &record) override { add(Call::BlockBegin, record, {}); }
    void blockEnd(const Record &endblk) override { add(Call::BlockEnd, endblk, {}); }
    void entity(const EntityGroup &group, bool inBlock) override {
        StoredCall c{Call::Entity};
        c.inBlock = inBlock;
        c.children = static_cast<std::uint32_t>(group.children.size());
        c.hasSeqend = group.seqend != nullptr;
        // The reader keeps a group's tags in one run: one copy for all its records.
        const Record &lastRecord = c.hasSeqend              ? *group.seqend
                                   : group.children.empty() ? group.main
                                                            : group.children.back();
        const Tag *first = group.main.tags.data();
        const Tag *last = lastRecord.tags.data() + lastRecord.tags.size();
        auto inRun = [&](const Record &r) {
            return r.tags.data() >= first && r.tags.data() + r.tags.size() <= last;
        };
        bool oneRun = first <= last;
        for (const Record &child : group.children)
            oneRun = oneRun && inRun(child);
        if (oneRun && (!c.hasSeqend || inRun(*group.seqend))) {
            const std::size_t base = batch_.tags.size();
            batch_.tags.insert(batch_.tags.end(), first, last);
            c.record = placeRecord(group.main, base + (group.main.tags.data() - first));
            for (const Record &child : group.children)
                (void)placeRecord(child, base + (child.tags.data() - first));
            if (c.hasSeqend)
                (void)placeRecord(*group.seqend, base + (group.seqend->tags.data() - first));
        } else {
            c.record = storeRecord(group.main);
            for (const Record &child : group.children)
                (void)storeRecord(child);
            if (c.hasSeqend)
                (void)storeRecord(*group.seqend);
        }
        c.begin = group.begin;
        c.end = group.end;
        batch_.calls.push_back(c);
        handOverWhenFull();
    }
    void object(std::string_view section, const Record &record) override {
        add(Call::Object, record, section);
    }
    void endOfFile(const Record &eof) override { add(Call::EndOfFile, eof, {}); }

    void passed(std::size_t offset) {
        StoredCall c{Call::Passed};
        c.begin = offset;
        batch_.calls.push_back(c);
    }
    // The end of the file, or the reader's error: the last batch.
    void finish(std::exception_ptr error) {
        batch_.error = std::move(error);
        batch_.last = true;
        channel_.put(std::move(batch_));
    }

private:
    void add(Call call, const Record &record, std::string_view name) {
        StoredCall c{call};
        c.name = storeName(name);
        c.record = storeRecord(record);
        batch_.calls.push_back(c);
        handOverWhenFull();
    }
    std::uint32_t storeName(std::string_view name) {
        if (!batch_.names.empty() && batch_.names.back() == name)
            return static_cast<std::uint32_t>(batch_.names.size() - 1);
        batch_.names.emplace_back(name);
        return static_cast<std::uint32_t>(batch_.names.size() - 1);
    }
    // A record whose tags are in the batch already, from tag `firstTag` on.
    std::uint32_t placeRecord(const Record &r, std::size_t firstTag) {
        StoredRecord s;
        s.type = r.type;
        s.firstTag = static_cast<std::uint32_t>(firstTag);
        s.tagCount = static_cast<std::uint32_t>(r.tags.size());
        s.begin = r.begin;
        s.end = r.end;
        s.line = r.line;
        batch_.records.push_back(s);
        return static_cast<std::uint32_t>(batch_.records.size() - 1);
    }
    std::uint32_t storeRecord(const Record &r) {
        const std::size_t firstTag = batch_.tags.size();
        batch_.tags.insert(batch_.tags.end(), r.tags.begin(), r.tags.end());
        return placeRecord(r, firstTag);
    }
    void handOverWhenFull() {
        if (batch_.tags.size() < kBatchTags)
            return;
        channel_.put(std::move(batch_));
        batch_ = channel_.emptyBatch();
    }

    Channel &channel_;
    Batch batch_;
};

// Makes the sink calls a batch stores, in order. False after the last batch.
class Replayer {
public:
    Replayer(StructureSink &sink, const std::function<void(std::size_t)> &passed)
        : sink_(sink), passed_(passed) {}

    void replay(const Batch &b) {
        for (const StoredCall &c : b.calls) {
            const std::string_view name =
                c.call == Call::Passed || b.names.empty() ? std::string_view{} : b.names[c.name];
            switch (c.call) {
            case Call::SectionBegin:
                sink_.sectionBegin(name, record(b, c.record));
                break;
            case Call::SectionEnd:
                sink_.sectionEnd(name, record(b, c.record));
                break;
            case Call::HeaderVariable:
                sink_.headerVariable(name,
                                     std::span<const Tag>(b.tags.data() + c.record, c.children),
                                     c.begin, c.end);
                break;
            case Call::TableBegin:
                sink_.tableBegin(name, record(b, c.record));
                break;
            case Call::TableEntry:
                sink_.tableEntry(name, record(b, c.record));
                break;
            case Call::TableEnd:
                sink_.tableEnd(name, record(b, c.record));
                break;
            case Call::BlockBegin:
                sink_.blockBegin(record(b, c.record));
                break;
            case Call::BlockEnd:
                sink_.blockEnd(record(b, c.record));
                break;
            case Call::Entity: {
                EntityGroup g;
                g.main = record(b, c.record);
                children_.clear();
                for (std::uint32_t i = 0; i < c.children; ++i)
                    children_.push_back(record(b, c.record + 1 + i));
                g.children = children_;
                if (c.hasSeqend) {
                    seqend_ = record(b, c.record + 1 + c.children);
                    g.seqend = &seqend_;
                }
                g.begin = c.begin;
                g.end = c.end;
                sink_.entity(g, c.inBlock);
                break;
            }
            case Call::Object:
                sink_.object(name, record(b, c.record));
                break;
            case Call::EndOfFile:
                sink_.endOfFile(record(b, c.record));
                break;
            case Call::Passed:
                if (passed_)
                    passed_(c.begin);
                break;
            }
        }
    }

private:
    static Record record(const Batch &b, std::uint32_t index) {
        const StoredRecord &s = b.records[index];
        Record r;
        r.type = s.type;
        r.tags = std::span<const Tag>(b.tags.data() + s.firstTag, s.tagCount);
        r.begin = s.begin;
        r.end = s.end;
        r.line = s.line;
        return r;
    }

    StructureSink &sink_;
    const std::function<void(std::size_t)> &passed_;
    std::vector<Record> children_;
    Record seqend_;
};

} // namespace

void readPipelined(StructureReader &reader, StructureSink &sink,
                   const std::function<void(std::size_t offset)> &passed) {
    Channel channel;
    Recorder recorder(channel);
    reader.setPassedHook([&recorder](std::size_t offset) { recorder.passed(offset); });
    std::thread splitter;
    try {
        splitter = std::thread([&] {
            try {
                reader.read(recorder);
                recorder.finish(nullptr);
            } catch (const Stopped &) {
                // the sink failed and said so itself
            } catch (...) {
                const std::exception_ptr error = std::current_exception();
                try {
                    recorder.finish(error);
                } catch (const Stopped &) {
                } catch (...) {
                    channel.abandon(error);
                }
            }
        });
    } catch (const std::system_error &) {
        // No thread to be had: the same read on this one.
        reader.setPassedHook(passed);
        reader.read(sink);
        return;
    }
    Replayer replayer(sink, passed);
    try {
        for (;;) {
            Batch b = channel.take();
            replayer.replay(b);
            if (b.error)
                std::rethrow_exception(b.error);
            const bool last = b.last;
            channel.giveBack(std::move(b));
            if (last)
                break;
        }
    } catch (...) {
        channel.stop();
        splitter.join();
        throw;
    }
    splitter.join();
}

} // namespace dxf
