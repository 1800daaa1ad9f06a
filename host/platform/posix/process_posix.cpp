// process_posix.cpp - child processes on POSIX systems: posix_spawn and waitpid.
#include "process.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pthread.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

extern char **environ;

namespace host::platform {

namespace {

volatile sig_atomic_t s_interrupted = 0;

void onInterrupt(int) {
    s_interrupted = 1;
}

// posix_spawn's file actions, freed however start() leaves.
class FileActions {
public:
    FileActions() { ok = ::posix_spawn_file_actions_init(&actions) == 0; }
    ~FileActions() {
        if (ok)
            ::posix_spawn_file_actions_destroy(&actions);
    }
    FileActions(const FileActions &) = delete;
    FileActions &operator=(const FileActions &) = delete;

    posix_spawn_file_actions_t actions{};
    bool ok = false;
};

} // namespace

std::string selfExecutable(const char *argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
    if (ec)
        self = std::filesystem::absolute(argv0, ec);
    return self.string();
}

std::string processTag() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        std::strcpy(name, "host");
    for (char *c = name; *c != '\0'; ++c)
        if (*c == '/' || *c == '.')
            *c = '_';
    return std::string(name) + "-" + std::to_string(::getpid());
}

std::string userName() {
    if (const passwd *pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_name != nullptr)
        return pw->pw_name;
    return "uid " + std::to_string(::geteuid());
}

std::string machineName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

long processId() {
    return static_cast<long>(::getpid());
}

bool processRunning(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

Children::~Children() {
    (void)stopAll();
}

bool Children::kill(std::size_t tag) {
    for (auto it = mRunning.begin(); it != mRunning.end(); ++it) {
        if (it->second.tag != tag)
            continue;
        const auto pid = static_cast<pid_t>(it->first);
        (void)::kill(pid, SIGKILL); // it may have just ended: reaped below all the same
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        mRunning.erase(it);
        return true;
    }
    return false;
}

std::vector<std::size_t> Children::stopAll() {
    std::vector<std::size_t> tags;
    for (const auto &entry : mRunning)
        (void)::kill(static_cast<pid_t>(entry.first), SIGTERM);
    for (const auto &entry : mRunning) {
        int status = 0;
        while (::waitpid(static_cast<pid_t>(entry.first), &status, 0) < 0 && errno == EINTR) {
        }
        tags.push_back(entry.second.tag);
    }
    mRunning.clear();
    return tags;
}

bool Children::start(const std::vector<std::string> &argv, const std::string &errorFile,
                     std::size_t tag, std::string &error) {
    FileActions fa;
    if (!fa.ok ||
        ::posix_spawn_file_actions_addopen(&fa.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) !=
            0 ||
        ::posix_spawn_file_actions_addopen(&fa.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) !=
            0 ||
        ::posix_spawn_file_actions_addopen(&fa.actions, STDERR_FILENO, errorFile.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0600) != 0) {
        error = "cannot prepare a process";
        return false;
    }
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str())); // posix_spawn does not write them
    args.push_back(nullptr);
    // The child starts with no signal blocked (waitAny blocks SIGCHLD here).
    posix_spawnattr_t attr;
    if (::posix_spawnattr_init(&attr) != 0) {
        error = "cannot prepare a process";
        return false;
    }
    sigset_t none;
    sigemptyset(&none);
    (void)::posix_spawnattr_setsigmask(&attr, &none); // cannot fail with a valid set
    (void)::posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, args[0], &fa.actions, &attr, args.data(), environ);
    (void)::posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        error = std::string("cannot start ") + argv[0] + ": " + std::strerror(rc);
        return false;
    }
    mRunning.emplace(pid, Child{tag, nullptr});
    return true;
}

std::optional<ChildExit> Children::waitAny(int timeoutMs) {
    if (mRunning.empty())
        return std::nullopt;
    // A wait with a time limit sleeps in sigtimedwait until SIGCHLD, blocked so that a child
    // ending between the look and the sleep is not missed (it stays pending).
    static sigset_t s_childSignal;
    static const bool s_blocked = [] {
        sigemptyset(&s_childSignal);
        sigaddset(&s_childSignal, SIGCHLD);
        return ::pthread_sigmask(SIG_BLOCK, &s_childSignal, nullptr) == 0;
    }();
    const bool timed = timeoutMs >= 0 && s_blocked;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    pid_t pid = 0;
    for (;;) {
        pid = ::waitpid(-1, &status, timed ? WNOHANG : 0);
        if (pid < 0)
            return std::nullopt; // EINTR: stopSignalled() says whether it was Ctrl-C
        if (pid > 0 && mRunning.count(pid) == 0)
            continue; // not one of ours
        if (pid > 0)
            break;
        if (s_interrupted)
            return std::nullopt;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return std::nullopt; // the time is up
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec wait{static_cast<time_t>(ns / 1000000000),
                            static_cast<long>(ns % 1000000000)};
        (void)::sigtimedwait(&s_childSignal, nullptr, &wait); // a child, the time, or a signal
    }
    auto it = mRunning.find(pid);
    ChildExit exit;
    exit.tag = it->second.tag;
    mRunning.erase(it);
    if (WIFEXITED(status))
        exit.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        exit.signal = WTERMSIG(status);
    return exit;
}

void watchStopSignals() {
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: waitpid returns so that the loop can look
    (void)::sigaction(SIGINT, &sa, nullptr);
    (void)::sigaction(SIGTERM, &sa, nullptr);
}

bool stopSignalled() {
    return s_interrupted != 0;
}

} // namespace host::platform
