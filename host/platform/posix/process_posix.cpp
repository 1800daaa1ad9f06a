// process_posix.cpp - child processes on POSIX systems: posix_spawn and waitpid.
#include "process.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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
    pid_t pid = 0;
    int rc = ::posix_spawn(&pid, args[0], &fa.actions, nullptr, args.data(), environ);
    if (rc != 0) {
        error = std::string("cannot start ") + argv[0] + ": " + std::strerror(rc);
        return false;
    }
    mRunning.emplace(pid, Child{tag, nullptr});
    return true;
}

std::optional<ChildExit> Children::waitAny() {
    if (mRunning.empty())
        return std::nullopt;
    int status = 0;
    pid_t pid = ::waitpid(-1, &status, 0);
    if (pid < 0)
        return std::nullopt; // EINTR: stopSignalled() says whether it was Ctrl-C
    auto it = mRunning.find(pid);
    if (it == mRunning.end())
        return waitAny(); // not one of ours
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
