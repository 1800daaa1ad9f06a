// batch_report.h - what a batch run did to each drawing, shown as it goes (a progress bar on
// a terminal, a line per drawing elsewhere), as a summary table, and as CSV.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace host::batch {

enum class Outcome { NotRun, Done, Failed, Interrupted };

struct Job {
    std::string input;  // the drawing as named (or found in a folder)
    std::string output; // where its result goes
    Outcome outcome = Outcome::NotRun;
    int exitCode = -1; // the child's, -1 when it did not exit by itself
    double seconds = 0;
    std::string reason; // why it failed
};

const char *outcomeName(Outcome outcome);

// Progress on standard error: on a terminal one line redrawn (a bar, drawings done and
// failed, time left) with each failure printed above it; elsewhere a line per drawing.
class Progress {
public:
    Progress(std::size_t total, std::FILE *out, bool terminal);
    void finished(const Job &job);
    void end();

private:
    void drawBar();
    using Clock = std::chrono::steady_clock;
    std::size_t mTotal;
    std::size_t mDone = 0;
    std::size_t mFailed = 0;
    std::FILE *mOut;
    bool mTerminal;
    Clock::time_point mStart = Clock::now();
    Clock::time_point mLastDraw{};
};

// The summary at the end: counts and times, then a table of every drawing when there are
// few, else of the failed ones.
void printSummary(std::FILE *out, const std::vector<Job> &jobs, double wallSeconds,
                  unsigned jobsAtOnce);

// Every drawing as a CSV row (RFC 4180 quoting), written to a temporary file beside path and
// renamed over it. False with the reason when it could not be written.
bool writeCsv(const std::string &path, const std::vector<Job> &jobs, std::string &error);

} // namespace host::batch
