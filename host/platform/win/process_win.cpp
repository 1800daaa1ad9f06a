// process_win.cpp - child processes on Windows: CreateProcessA with the standard handles
// given, WaitForMultipleObjects, and the console's Ctrl-C.
#include "process.h"
#include "system_error_win.h"
#include "windows_api.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace host::platform {
namespace {

std::atomic<bool> gStop{false};

BOOL WINAPI onStop(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE; // closing the console: the default ends the process
    gStop = true;
    return TRUE;
}

// How a process that a Ctrl-C ended exits (STATUS_CONTROL_C_EXIT), and the signal that
// stands for it where signals are told.
constexpr DWORD kControlCExit = 0xC000013A;
constexpr int kInterruptSignal = 2;

// How long a wait lasts before it looks whether a Ctrl-C came.
constexpr DWORD kWaitSliceMs = 100;

// One argument on a command line, as the C runtime's parser reads it back: quoted when it is
// empty or holds a space, tab or quote; a quote escaped, and the backslashes before a quote
// or before the closing quote doubled.
void appendArgument(std::string &line, const std::string &arg) {
    if (!line.empty())
        line += ' ';
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
        line += arg;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

// A handle closed when it goes.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE h) : handle_(h) {}
    ~OwnedHandle() {
        if (ok())
            (void)CloseHandle(handle_); // nothing more to do if it fails
    }
    OwnedHandle(const OwnedHandle &) = delete;
    OwnedHandle &operator=(const OwnedHandle &) = delete;
    bool ok() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// A file a child inherits as one of its standard handles.
HANDLE inheritable(const char *path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

std::string selfExecutable(const char *argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::absolute(_pgmptr, ec); // the program's path
    if (ec)
        self = std::filesystem::absolute(argv0, ec);
    return self.string();
}

std::string userName() {
    char name[257] = {};
    DWORD size = sizeof name;
    if (GetUserNameA(name, &size) == 0 || name[0] == '\0')
        return "user";
    return name;
}

std::string machineName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (GetComputerNameA(name, &size) == 0 || name[0] == '\0')
        return "localhost";
    return name;
}

long processId() {
    return static_cast<long>(GetCurrentProcessId());
}

bool processRunning(long pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (h == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED; // there, but not ours to look at
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) != 0 && code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
}

std::string processTag() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (GetComputerNameA(name, &size) == 0 || name[0] == '\0')
        std::strcpy(name, "host");
    for (char *c = name; *c != '\0'; ++c)
        if (*c == '/' || *c == '\\' || *c == '.')
            *c = '_';
    return std::string(name) + "-" + std::to_string(GetCurrentProcessId());
}

Children::~Children() {
    (void)stopAll();
}

std::vector<std::size_t> Children::stopAll() {
    std::vector<std::size_t> tags;
    for (const auto &entry : mRunning)
        (void)TerminateProcess(entry.second.handle, kControlCExit); // it may have just ended
    for (const auto &entry : mRunning) {
        (void)WaitForSingleObject(entry.second.handle, INFINITE);
        (void)CloseHandle(entry.second.handle);
        tags.push_back(entry.second.tag);
    }
    mRunning.clear();
    return tags;
}

bool Children::start(const std::vector<std::string> &argv, const std::string &errorFile,
                     std::size_t tag, std::string &error) {
    OwnedHandle in(inheritable("NUL", GENERIC_READ, OPEN_EXISTING));
    OwnedHandle out(inheritable("NUL", GENERIC_WRITE, OPEN_EXISTING));
    OwnedHandle err(inheritable(errorFile.c_str(), GENERIC_WRITE, CREATE_ALWAYS));
    if (!in.ok() || !out.ok() || !err.ok()) {
        error = "cannot prepare a process: " + windowsErrorText(GetLastError());
        return false;
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in.get();
    si.hStdOutput = out.get();
    si.hStdError = err.get();
    std::string line;
    for (const std::string &a : argv)
        appendArgument(line, a);
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(argv[0].c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &si, &pi) == 0) {
        error = "cannot start " + argv[0] + ": " + windowsErrorText(GetLastError());
        return false;
    }
    (void)CloseHandle(pi.hThread); // only the process is waited for
    mRunning.emplace(static_cast<long>(pi.dwProcessId), Child{tag, pi.hProcess});
    return true;
}

bool Children::kill(std::size_t tag) {
    for (auto it = mRunning.begin(); it != mRunning.end(); ++it) {
        if (it->second.tag != tag)
            continue;
        (void)TerminateProcess(it->second.handle, kControlCExit); // it may have just ended
        (void)WaitForSingleObject(it->second.handle, INFINITE);
        (void)CloseHandle(it->second.handle);
        mRunning.erase(it);
        return true;
    }
    return false;
}

std::optional<ChildExit> Children::waitAny(int timeoutMs) {
    if (mRunning.empty())
        return std::nullopt;
    // A wait takes at most MAXIMUM_WAIT_OBJECTS handles; the others are waited for as
    // those end.
    std::vector<HANDLE> handles;
    std::vector<long> ids;
    for (const auto &entry : mRunning) {
        if (handles.size() == MAXIMUM_WAIT_OBJECTS)
            break;
        handles.push_back(static_cast<HANDLE>(entry.second.handle));
        ids.push_back(entry.first);
    }
    const auto count = static_cast<DWORD>(handles.size());
    DWORD which = WAIT_TIMEOUT;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
    while (which == WAIT_TIMEOUT) {
        if (gStop)
            return std::nullopt; // stopSignalled() says so
        DWORD slice = kWaitSliceMs;
        if (timeoutMs >= 0) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                return std::nullopt; // the time is up
            slice = static_cast<DWORD>(std::min<ULONGLONG>(slice, deadline - now));
        }
        which = WaitForMultipleObjects(count, handles.data(), FALSE, slice);
    }
    if (which >= WAIT_OBJECT_0 + count)
        return std::nullopt; // the wait failed
    auto it = mRunning.find(ids[which - WAIT_OBJECT_0]);
    DWORD code = 0;
    const bool known = GetExitCodeProcess(it->second.handle, &code) != 0;
    ChildExit exit;
    exit.tag = it->second.tag;
    (void)CloseHandle(it->second.handle);
    mRunning.erase(it);
    if (known && code == kControlCExit)
        exit.signal = kInterruptSignal;
    else
        exit.exitCode = known ? static_cast<int>(code) : -1;
    return exit;
}

void watchStopSignals() {
    (void)SetConsoleCtrlHandler(onStop, TRUE); // without a console there is no Ctrl-C
}

bool stopSignalled() {
    return gStop;
}

} // namespace host::platform
