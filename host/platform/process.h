// process.h - processes: start a copy of the program with its output going where it is told,
// wait for whichever ends first, and find the running executable. A POSIX implementation
// (posix_spawn, waitpid) and a Windows one (CreateProcessA, WaitForMultipleObjects).
#pragma once
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace host::platform {

// How a child ended: its exit code, or the signal that ended it.
struct ChildExit {
    std::size_t tag = 0; // what the caller gave start()
    int exitCode = -1;   // -1 when a signal ended it
    int signal = 0;      // 0 when it exited
};

// The running program's own file, to start copies of it.
std::string selfExecutable(const char *argv0);

// A name for this process's temporary files that no other process shares, on this machine or
// another writing into the same folder (the host's name and the process id).
std::string processTag();

// Who is running: the user's login name, the machine's name, this process's id; and whether
// a process of this machine is still running.
std::string userName();
std::string machineName();
long processId();
bool processRunning(long pid);

// The children of one run. Whatever is still running when this goes away is stopped and
// waited for, so that no child outlives the run.
class Children {
public:
    Children() = default;
    Children(const Children &) = delete;
    Children &operator=(const Children &) = delete;
    ~Children();

    // Starts argv[0] with argv, standard input and output from and to the null device and
    // standard error into errorFile (created or emptied). False with the reason when it
    // could not be started.
    bool start(const std::vector<std::string> &argv, const std::string &errorFile, std::size_t tag,
               std::string &error);
    // Waits for one child to end, for at most timeoutMs (< 0: as long as it takes). Empty
    // when none is running, when the time is up, or when the wait was interrupted (Ctrl-C);
    // the caller then looks at stopSignalled().
    std::optional<ChildExit> waitAny(int timeoutMs = -1);
    std::size_t running() const { return mRunning.size(); }
    // Ends the child started with tag at once (it is given no chance to finish) and waits
    // for it. False when no such child runs.
    bool kill(std::size_t tag);
    // Stops every child still running and waits for it; returns their tags.
    std::vector<std::size_t> stopAll();

private:
    struct Child {
        std::size_t tag;
        void *handle; // the system's handle of the process, where it has one
    };
    std::map<long, Child> mRunning; // process id -> child
};

// Ctrl-C or SIGTERM while children run: from watchStopSignals() on, neither ends this process;
// stopSignalled() says one came, and a waitAny() it interrupts returns empty. (The children
// get a Ctrl-C from the terminal themselves.)
void watchStopSignals();
bool stopSignalled();

} // namespace host::platform
