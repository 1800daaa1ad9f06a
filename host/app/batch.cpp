// batch.cpp - batch mode: finds the drawings, runs a copy of arxhost with the script on each,
// several at once, moves each result into the output folder only when its run succeeded, and
// reports what happened.
#include "batch.h"
#include "files.h"
#include "process.h"
#include "terminal.h"
#include "text_codec.h"
#include "text_util.h"
#include "batch_report.h"
#include "options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace host {

namespace {

namespace fs = std::filesystem;
using batch::Job;

constexpr int kExitSomeFailed = 1;    // one or more drawings failed
constexpr int kExitInterrupted = 130; // stopped by Ctrl-C, as a shell reports it
using batch::Outcome;
// How long one drawing may take by default: far more than a script takes on the largest
// drawings, little enough that a drawing that never ends does not hold the batch for long.
constexpr double kDefaultTimeoutSeconds = 600;

struct BatchOptions {
    std::string script;
    std::string outputDir;
    std::string report;
    unsigned jobs = 0;
    double timeout = kDefaultTimeoutSeconds;
    std::vector<std::string> modules;
    std::string registry;
    bool registryReadOnly = false;
    std::vector<std::string> inputs;
};

bool asksForBatch(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--batch") == 0 || std::strncmp(argv[i], "--batch=", 8) == 0)
            return true;
    return false;
}

int parseBatchOptions(int argc, char **argv, BatchOptions &options) {
    CLI::App app{"arxhost batch mode: runs one script on many drawings, each in an arxhost "
                 "process of its own, several at once, and saves each result into the output "
                 "folder under the drawing's own name.",
                 "arxhost --batch"};
    app.add_option("--batch", options.script, "Script to run on every drawing")
        ->required()
        ->check(CLI::ExistingFile);
    app.add_option("--output-dir", options.outputDir,
                   "Folder for the results (made when missing); a result appears only when its "
                   "drawing's run succeeded")
        ->required();
    app.add_option("--jobs", options.jobs, "Drawings run at once (default: the number of cores)")
        ->check(CLI::Range(1u, 4096u));
    app.add_option("--timeout", options.timeout,
                   "Seconds one drawing may take; a run that takes longer is ended and reported "
                   "as failed (default 600; 0: no limit)")
        ->check(CLI::Range(0.0, 1e9));
    app.add_option("--report", options.report, "Write a CSV row per drawing to this file");
    app.add_option("--load", options.modules, "Module file each run loads (repeatable)")
        ->check(CLI::ExistingFile);
    app.add_option("--registry", options.registry, "Registry file each run uses");
    app.add_flag("--registry-readonly", options.registryReadOnly,
                 "Refuse registry writes below HKEY_LOCAL_MACHINE");
    app.add_option("drawings", options.inputs,
                   "DXF drawings, or folders whose .dxf files are all run")
        ->required();
    for (int i = 1; i < argc; ++i) {
        // "--batch --help" would take --help for the script's name.
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(app.help().c_str(), stdout);
            return kExitDone;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::fprintf(stderr, "arxhost: %s\n", e.what());
        return kExitBadArguments;
    }
    if (options.jobs == 0)
        options.jobs = std::max(1u, std::thread::hardware_concurrency());
    return -1;
}

bool isDxfName(const fs::path &path) {
    return host::text::equalsIgnoreCase(path.extension().string(), ".dxf");
}

// The drawings named, with each folder's .dxf files (not its subfolders) in name order.
bool collectDrawings(const std::vector<std::string> &inputs, std::vector<std::string> &drawings) {
    for (const std::string &input : inputs) {
        std::error_code ec;
        fs::file_status st = fs::status(input, ec);
        if (fs::is_directory(st)) {
            std::vector<std::string> found;
            for (const fs::directory_entry &entry : fs::directory_iterator(input, ec))
                if (isDxfName(entry.path()) && entry.is_regular_file(ec))
                    found.push_back(entry.path().string());
            if (ec) {
                std::fprintf(stderr, "arxhost: cannot list the folder %s: %s\n", input.c_str(),
                             ec.message().c_str());
                return false;
            }
            std::sort(found.begin(), found.end());
            drawings.insert(drawings.end(), found.begin(), found.end());
        } else if (fs::is_regular_file(st)) {
            drawings.push_back(input);
        } else {
            std::fprintf(stderr, "arxhost: drawing %s: no such file or folder\n", input.c_str());
            return false;
        }
    }
    if (drawings.empty()) {
        std::fprintf(stderr, "arxhost: no .dxf drawings found\n");
        return false;
    }
    return true;
}

// The output folder exists (made when missing) and takes new files.
bool prepareOutputFolder(const std::string &dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir)) {
        std::fprintf(stderr, "arxhost: cannot make the output folder %s%s%s\n", dir.c_str(),
                     ec ? ": " : "", ec ? ec.message().c_str() : "");
        return false;
    }
    fs::path probe = fs::path(dir) / (".arxhost-batch-" + platform::processTag());
    {
        std::ofstream f(probe);
        if (!f) {
            std::fprintf(stderr, "arxhost: cannot write in the output folder %s\n", dir.c_str());
            return false;
        }
    }
    fs::remove(probe, ec);
    return true;
}

// One output per drawing, named as the drawing; two drawings of one name, or an output that
// is the drawing itself, are refused before anything runs.
bool planOutputs(std::vector<Job> &jobs, const std::string &dir) {
    std::set<std::string> names;
    for (Job &job : jobs) {
        fs::path name = fs::path(job.input).filename();
        if (!names.insert(name.string()).second) {
            std::fprintf(stderr,
                         "arxhost: two drawings are named %s; their results would overwrite "
                         "each other in %s\n",
                         name.string().c_str(), dir.c_str());
            return false;
        }
        job.output = (fs::path(dir) / name).string();
        std::error_code ec;
        if (fs::equivalent(job.output, job.input, ec)) {
            std::fprintf(stderr,
                         "arxhost: the output folder holds %s itself; choose another folder so "
                         "that the drawings are not overwritten\n",
                         job.input.c_str());
            return false;
        }
    }
    return true;
}

// The first line the child wrote to standard error that says something.
std::string firstLine(const std::string &path) {
    std::ifstream f(path);
    std::string line;
    while (std::getline(f, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.rfind("arxhost: ", 0) == 0)
            line.erase(0, 9); // the batch says whose words these are
        if (!line.empty())
            return text::escapeControls(line); // shown on the terminal: no control in it
    }
    return {};
}

// A run's files in the output folder: the result until it is moved into place, and the
// child's standard error. Both go away with the run, whatever becomes of it, and so does what
// a child stopped half-way through its save left beside the result.
struct RunFiles {
    std::string part;
    std::string err;
    void remove(bool halfWritten) const {
        std::error_code ec;
        fs::remove(part, ec);
        fs::remove(err, ec);
        if (!halfWritten)
            return;
        const fs::path partPath(part);
        const std::string prefix = partPath.filename().string() + ".tmp-";
        std::vector<fs::path> left;
        for (const fs::directory_entry &entry : fs::directory_iterator(partPath.parent_path(), ec))
            if (entry.path().filename().string().rfind(prefix, 0) == 0)
                left.push_back(entry.path());
        for (const fs::path &p : left)
            fs::remove(p, ec);
    }
};

RunFiles runFiles(const Job &job, const std::string &dir) {
    std::string base = "." + fs::path(job.input).filename().string() + "." + platform::processTag();
    return {(fs::path(dir) / (base + ".part")).string(),
            (fs::path(dir) / (base + ".err")).string()};
}

// What became of a run that ended: its result moved into place, or the reason it failed.
void settle(Job &job, const platform::ChildExit &exit, const RunFiles &files) {
    job.exitCode = exit.exitCode;
    std::string said = firstLine(files.err);
    std::error_code ec;
    if (exit.signal != 0 && platform::stopSignalled()) {
        job.outcome = Outcome::Interrupted;
        job.reason = "stopped by the user";
    } else if (exit.signal != 0) {
        job.outcome = Outcome::Failed;
        job.reason = "ended by signal " + std::to_string(exit.signal);
        if (!said.empty())
            job.reason += ": " + said;
    } else if (exit.exitCode != 0) {
        job.outcome = Outcome::Failed;
        job.reason = "exit " + std::to_string(exit.exitCode) + (said.empty() ? "" : ": " + said);
    } else if (!fs::is_regular_file(files.part, ec)) {
        job.outcome = Outcome::Failed;
        job.reason = "the run wrote no drawing";
    } else {
        std::string error;
        if (!platform::replaceFileWith(job.output, files.part, error)) {
            job.outcome = Outcome::Failed;
            job.reason = "cannot write the result: " + error;
        } else {
            job.outcome = Outcome::Done;
        }
    }
    files.remove(job.outcome != Outcome::Done);
}

std::vector<std::string> childArgs(const std::string &self, const BatchOptions &options,
                                   const Job &job, const RunFiles &files) {
    std::vector<std::string> args{self};
    for (const std::string &m : options.modules) {
        args.push_back("--load");
        args.push_back(m);
    }
    if (!options.registry.empty()) {
        args.push_back("--registry");
        args.push_back(options.registry);
    }
    if (options.registryReadOnly)
        args.push_back("--registry-readonly");
    // "--": a drawing whose name starts with a dash is still a drawing.
    args.insert(args.end(), {"--script", options.script, "--output", files.part, "--", job.input});
    return args;
}

// Ends the runs that took longer than limit: each is a failure, and nothing of it is left.
void endOverdue(platform::Children &children, std::set<std::size_t> &running,
                std::vector<Job> &jobs,
                const std::vector<std::chrono::steady_clock::time_point> &started,
                std::chrono::steady_clock::duration limit, const std::vector<RunFiles> &files,
                batch::Progress &progress) {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = running.begin(); it != running.end();) {
        const std::size_t tag = *it;
        if (now - started[tag] < limit || !children.kill(tag)) {
            ++it;
            continue;
        }
        it = running.erase(it);
        Job &job = jobs[tag];
        job.outcome = Outcome::Failed;
        job.seconds = std::chrono::duration<double>(now - started[tag]).count();
        char limitText[32];
        std::snprintf(limitText, sizeof limitText, "%g",
                      std::chrono::duration<double>(limit).count());
        job.reason = std::string("timed out: still running after ") + limitText + " s";
        files[tag].remove(true);
        progress.finished(job);
    }
}

} // namespace

int runBatchIfAsked(int argc, char **argv) {
    if (!asksForBatch(argc, argv))
        return -1;
    BatchOptions options;
    if (int rc = parseBatchOptions(argc, argv, options); rc >= 0)
        return rc;
    std::vector<std::string> drawings;
    if (!collectDrawings(options.inputs, drawings) || !prepareOutputFolder(options.outputDir))
        return kExitBadArguments;
    std::vector<Job> jobs(drawings.size());
    for (std::size_t i = 0; i < drawings.size(); ++i)
        jobs[i].input = drawings[i];
    if (!planOutputs(jobs, options.outputDir))
        return kExitBadArguments;

    using Clock = std::chrono::steady_clock;
    const std::string self = platform::selfExecutable(argv[0]);
    const unsigned atOnce = static_cast<unsigned>(std::min<std::size_t>(options.jobs, jobs.size()));
    std::vector<RunFiles> files(jobs.size());
    std::vector<Clock::time_point> started(jobs.size());
    batch::Progress progress(jobs.size(), stderr, platform::isTerminal(platform::Stream::Error));
    platform::watchStopSignals();
    const Clock::time_point begin = Clock::now();
    const auto limit =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.timeout));
    std::set<std::size_t> running; // the jobs whose runs are under way
    {
        platform::Children children;
        std::size_t next = 0;
        for (;;) {
            while (!platform::stopSignalled() && next < jobs.size() &&
                   children.running() < atOnce) {
                Job &job = jobs[next];
                files[next] = runFiles(job, options.outputDir);
                started[next] = Clock::now();
                std::string error;
                if (!children.start(childArgs(self, options, job, files[next]), files[next].err,
                                    next, error)) {
                    job.outcome = Outcome::Failed;
                    job.reason = error;
                    files[next].remove(false);
                    progress.finished(job);
                } else {
                    running.insert(next);
                }
                ++next;
            }
            if (children.running() == 0 || platform::stopSignalled())
                break;
            int waitMs = -1; // until the first run still under way is due
            if (options.timeout > 0) {
                Clock::time_point due = Clock::time_point::max();
                for (std::size_t tag : running)
                    due = std::min(due, started[tag] + limit);
                auto ms = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now()).count();
                waitMs = static_cast<int>(std::clamp<long long>(ms, 0, 3600 * 1000));
            }
            std::optional<platform::ChildExit> exit = children.waitAny(waitMs);
            if (!exit) {
                if (options.timeout > 0)
                    endOverdue(children, running, jobs, started, limit, files, progress);
                continue;
            }
            running.erase(exit->tag);
            Job &job = jobs[exit->tag];
            job.seconds = std::chrono::duration<double>(Clock::now() - started[exit->tag]).count();
            settle(job, *exit, files[exit->tag]);
            progress.finished(job);
        }
        for (std::size_t tag : children.stopAll()) {
            jobs[tag].outcome = Outcome::Interrupted;
            jobs[tag].reason = "stopped by the user";
            jobs[tag].seconds = std::chrono::duration<double>(Clock::now() - started[tag]).count();
            files[tag].remove(true);
        }
    }
    progress.end();
    double wall = std::chrono::duration<double>(Clock::now() - begin).count();
    batch::printSummary(stdout, jobs, wall, atOnce);

    int rc = kExitDone;
    for (const Job &job : jobs)
        if (job.outcome != Outcome::Done)
            rc = kExitSomeFailed;
    if (platform::stopSignalled())
        rc = kExitInterrupted;
    if (!options.report.empty()) {
        std::string error;
        if (!batch::writeCsv(options.report, jobs, error)) {
            std::fprintf(stderr, "arxhost: %s\n", error.c_str());
            rc = rc == kExitDone ? kExitWriteFailed : rc;
        }
    }
    return rc;
}

} // namespace host
