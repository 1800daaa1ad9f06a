// batch_report.cpp - progress, summary table and CSV of a batch run.
#include "batch_report.h"

#include "files.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace host::batch {

namespace {

constexpr std::size_t kFullTableUpTo = 30; // more drawings than this: the table lists failures
constexpr int kBarWidth = 30;

std::string clockText(double seconds) {
    long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// RFC 4180 quoting; a cell a spreadsheet would take for a formula (one that starts with =,
// +, -, @, a tab or a line end: a drawing may be named so) starts with an apostrophe, which
// makes it text.
std::string csvField(const std::string &text) {
    const bool formula = !text.empty() && std::string_view("=+-@\t\r\n").find(text.front()) !=
                                              std::string_view::npos;
    if (!formula && text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = formula ? "\"'" : "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

} // namespace

const char *outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::NotRun:
        return "not run";
    case Outcome::Done:
        return "done";
    case Outcome::Failed:
        return "failed";
    case Outcome::Interrupted:
        return "interrupted";
    }
    return "?";
}

Progress::Progress(std::size_t total, std::FILE *out, bool terminal)
    : mTotal(total), mOut(out), mTerminal(terminal) {
    if (mTerminal)
        drawBar();
}

void Progress::finished(const Job &job) {
    if (job.outcome == Outcome::Done)
        ++mDone;
    else if (job.outcome == Outcome::Failed)
        ++mFailed;
    std::size_t count = mDone + mFailed;
    bool failed = job.outcome != Outcome::Done;
    const char *word = job.outcome == Outcome::Interrupted ? "STOPPED" : "FAILED";
    if (mTerminal) {
        if (failed)
            std::fprintf(mOut, "\r\033[K%s %s: %s\n", word, job.input.c_str(), job.reason.c_str());
        // Redrawing a thousand times a second is of no use to anyone reading it.
        if (failed || count == mTotal || Clock::now() - mLastDraw > std::chrono::milliseconds(100))
            drawBar();
        return;
    }
    if (failed)
        std::fprintf(mOut, "[%zu/%zu] %s %s: %s\n", count, mTotal, word, job.input.c_str(),
                     job.reason.c_str());
    else
        std::fprintf(mOut, "[%zu/%zu] done %s (%.2f s)\n", count, mTotal, job.input.c_str(),
                     job.seconds);
    std::fflush(mOut);
}

void Progress::drawBar() {
    mLastDraw = Clock::now();
    std::size_t count = mDone + mFailed;
    int filled = mTotal == 0 ? kBarWidth : static_cast<int>(kBarWidth * count / mTotal);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    double elapsed = std::chrono::duration<double>(mLastDraw - mStart).count();
    std::string left = "--:--";
    if (count > 0)
        left =
            clockText(elapsed / static_cast<double>(count) * static_cast<double>(mTotal - count));
    std::fprintf(mOut, "\r\033[K[%s] %zu/%zu  done %zu  failed %zu  %s left", bar.c_str(), count,
                 mTotal, mDone, mFailed, left.c_str());
    std::fflush(mOut);
}

void Progress::end() {
    if (mTerminal) {
        drawBar();
        std::fputc('\n', mOut);
    }
    std::fflush(mOut);
}

void printSummary(std::FILE *out, const std::vector<Job> &jobs, double wallSeconds,
                  unsigned jobsAtOnce) {
    std::size_t counts[4] = {};
    double busy = 0;
    for (const Job &job : jobs) {
        ++counts[static_cast<int>(job.outcome)];
        busy += job.seconds;
    }
    bool full = jobs.size() <= kFullTableUpTo;
    std::vector<const Job *> rows;
    for (const Job &job : jobs)
        if (full || job.outcome != Outcome::Done)
            rows.push_back(&job);
    std::size_t width = 7; // "drawing"
    for (const Job *job : rows)
        width = std::max(width, job->input.size());
    if (!rows.empty()) {
        std::fprintf(out, "\n%-*s  %-11s  %4s  %8s  %s\n", static_cast<int>(width), "drawing",
                     "result", "exit", "seconds", "reason");
        for (const Job *job : rows) {
            std::string exitText = job->exitCode >= 0 ? std::to_string(job->exitCode) : "-";
            std::fprintf(out, "%-*s  %-11s  %4s  %8.2f  %s\n", static_cast<int>(width),
                         job->input.c_str(), outcomeName(job->outcome), exitText.c_str(),
                         job->seconds, job->reason.c_str());
        }
    }
    std::fprintf(out, "\n%zu drawings: %zu done, %zu failed", jobs.size(),
                 counts[static_cast<int>(Outcome::Done)],
                 counts[static_cast<int>(Outcome::Failed)]);
    if (std::size_t n = counts[static_cast<int>(Outcome::Interrupted)])
        std::fprintf(out, ", %zu interrupted", n);
    if (std::size_t n = counts[static_cast<int>(Outcome::NotRun)])
        std::fprintf(out, ", %zu not run", n);
    std::string wall = wallSeconds < 60 ? secondsText(wallSeconds) + " s" : clockText(wallSeconds);
    std::fprintf(out, "; %s wall time, %.1f s of drawing time, %u at once\n", wall.c_str(), busy,
                 jobsAtOnce);
    std::fflush(out);
}

bool writeCsv(const std::string &path, const std::vector<Job> &jobs, std::string &error) {
    std::ostringstream csv;
    csv << "drawing,output,result,exit_code,seconds,reason\r\n";
    for (const Job &job : jobs)
        csv << csvField(job.input) << ',' << csvField(job.output) << ',' << outcomeName(job.outcome)
            << ',' << (job.exitCode >= 0 ? std::to_string(job.exitCode) : std::string()) << ','
            << secondsText(job.seconds) << ',' << csvField(job.reason) << "\r\n";
    std::string reason;
    if (!platform::replaceFile(path, csv.str(), reason)) {
        error = "cannot write the report " + path + ": " + reason;
        return false;
    }
    return true;
}

} // namespace host::batch
