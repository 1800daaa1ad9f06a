// terminal_posix.cpp - the terminal over termios: key mode, poll and read, TIOCGWINSZ, the
// locale's character set, and SIGINT as an interrupt.
#include "terminal.h"

#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <fcntl.h>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <string_view>

namespace host::platform {
namespace {

volatile std::sig_atomic_t gInterrupt = 0;
struct sigaction gPreviousSigint;

extern "C" void onInterrupt(int) {
    gInterrupt = 1;
}

// The terminal's own settings, put back when the Terminal goes, when the process exits
// and when a signal (SIGTERM, SIGHUP) ends it.
termios gCooked{};
volatile std::sig_atomic_t gCookedFd = -1;

void restoreCooked() {
    if (gCookedFd >= 0)
        (void)tcsetattr(gCookedFd, TCSANOW, &gCooked);
}

extern "C" void restoreAndDie(int sig) {
    restoreCooked();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

extern "C" void restoreAtExit() {
    restoreCooked();
}

int fdOf(Stream stream) {
    switch (stream) {
    case Stream::Input:
        return STDIN_FILENO;
    case Stream::Output:
        return STDOUT_FILENO;
    case Stream::Error:
        return STDERR_FILENO;
    }
    return -1;
}

} // namespace

bool isTerminal(Stream stream) {
    return ::isatty(fdOf(stream)) == 1;
}

// Without SA_RESTART, so that a Ctrl-C while the program is busy is seen at once.
InterruptWatch::InterruptWatch() {
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    (void)sigaction(SIGINT, &sa, &gPreviousSigint); // cannot fail for SIGINT
}

InterruptWatch::~InterruptWatch() {
    (void)sigaction(SIGINT, &gPreviousSigint, nullptr);
}

bool interruptPending() {
    return gInterrupt != 0;
}

bool takeInterrupt() {
    bool was = gInterrupt != 0;
    gInterrupt = 0;
    return was;
}

void setInterrupt(bool pending) {
    gInterrupt = pending ? 1 : 0;
}

// A pipe whose read end readByte polls beside the keys: a byte written to it by a waker wakes
// the wait. Shared with the wakers handed out, so that one called late writes to a pipe that
// is still there.
struct WakePipe {
    int fds[2] = {-1, -1};
    WakePipe() {
        if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
            fds[0] = fds[1] = -1; // no wakers then: a wait lasts until a key comes
    }
    ~WakePipe() {
        for (int fd : fds)
            if (fd >= 0)
                (void)::close(fd);
    }
    WakePipe(const WakePipe &) = delete;
    WakePipe &operator=(const WakePipe &) = delete;
    // Empties the pipe; true when anything was in it.
    bool drain() const {
        char buf[64];
        bool any = false;
        while (::read(fds[0], buf, sizeof buf) > 0)
            any = true;
        return any;
    }
};

struct Terminal::State {
    std::shared_ptr<WakePipe> wake = std::make_shared<WakePipe>();
    int in = STDIN_FILENO;
    int out = STDOUT_FILENO;
    bool ownsTerminal = false;
    void (*previousTerm)(int) = SIG_DFL;
    void (*previousHup)(int) = SIG_DFL;
};

// Key mode: no line editing, no echo, no translation of the line end, no flow control.
// Signals stay on (Ctrl-C interrupts a running command); a Prompt turns them off.
Terminal::Terminal() : state_(std::make_unique<State>()) {
    termios cooked{};
    if (tcgetattr(state_->in, &cooked) != 0)
        return; // not a terminal: nothing to set
    termios keys = cooked;
    keys.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
    keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    keys.c_cc[VMIN] = 1;
    keys.c_cc[VTIME] = 0;
    gCooked = cooked;
    gCookedFd = state_->in;
    static const bool atExit = std::atexit(restoreAtExit) == 0;
    (void)atExit;
    state_->previousTerm = std::signal(SIGTERM, restoreAndDie);
    state_->previousHup = std::signal(SIGHUP, restoreAndDie);
    state_->ownsTerminal = tcsetattr(state_->in, TCSADRAIN, &keys) == 0;
}

Terminal::~Terminal() {
    if (!state_->ownsTerminal && gCookedFd < 0)
        return;
    restoreCooked();
    gCookedFd = -1;
    std::signal(SIGTERM, state_->previousTerm);
    std::signal(SIGHUP, state_->previousHup);
}

namespace {
// The Prompt's saved mode; one prompt waits at a time.
termios gBeforePrompt{};
} // namespace

Terminal::Prompt::Prompt(Terminal &terminal) : terminal_(terminal) {
    int fd = terminal_.state_->in;
    if (tcgetattr(fd, &gBeforePrompt) != 0)
        return;
    termios raw = gBeforePrompt;
    raw.c_lflag &= ~static_cast<tcflag_t>(ISIG);
    active_ = tcsetattr(fd, TCSADRAIN, &raw) == 0;
}

Terminal::Prompt::~Prompt() {
    if (active_) // nothing more to do if it fails
        (void)tcsetattr(terminal_.state_->in, TCSADRAIN, &gBeforePrompt);
}

int Terminal::readByte(int timeoutMs) {
    const int wakeFd = state_->wake->fds[0];
    for (;;) {
        pollfd fds[2] = {{state_->in, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const pollfd &p = fds[0];
        int ready = ::poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) {
                if (gInterrupt)
                    return kInterrupted;
                continue;
            }
            return kGone;
        }
        if (ready == 0)
            return kTimedOut;
        if (p.revents == 0) { // only the wake pipe
            if (state_->wake->drain())
                return kWoken;
            continue;
        }
        unsigned char b;
        ssize_t n = ::read(state_->in, &b, 1);
        if (n == 1)
            return b;
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        return kGone; // end of file or an error: the terminal is gone
    }
}

std::function<void()> Terminal::waker() const {
    return [wake = state_->wake] {
        char b = 1;
        if (wake->fds[1] >= 0) // a full pipe has a wake in it already
            (void)!::write(wake->fds[1], &b, 1);
    };
}

void Terminal::write(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(state_->out, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the screen is gone; reading will tell
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// In one write: back to the line's start, the text, the rest of the line erased, back to the
// start again and right to the cursor's column.
void Terminal::showLine(std::string_view bytes, int cursorColumn) {
    std::string out = "\r";
    out += bytes;
    out += "\x1b[K\r";
    if (cursorColumn > 0)
        out += "\x1b[" + std::to_string(cursorColumn) + "C";
    write(out);
}

int Terminal::columns() const {
    winsize ws{};
    if (ioctl(state_->out, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

namespace {

// The character set a locale's name gives after its '.' ("uk_UA.UTF-8@euro": "UTF-8"); empty
// when it names none.
std::string codesetInName(std::string_view locale) {
    std::size_t dot = locale.find('.');
    if (dot == std::string_view::npos)
        return {};
    std::string_view set = locale.substr(dot + 1);
    return std::string(set.substr(0, set.find('@')));
}

// The locale the environment asks for the character type, as the C library reads it.
std::string_view ctypeLocaleName() {
    for (const char *var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char *v = std::getenv(var);
        if (v != nullptr && *v != '\0')
            return v;
    }
    return {};
}

bool isUtf8Name(std::string_view set) {
    auto same = [&](std::string_view name) {
        if (set.size() != name.size())
            return false;
        for (std::size_t i = 0; i < set.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(set[i])) != name[i])
                return false;
        return true;
    };
    return same("utf-8") || same("utf8");
}

} // namespace

std::string Terminal::codeset() {
    // Only LC_CTYPE: numbers are read without regard to the locale anyway.
    if (std::setlocale(LC_CTYPE, "") == nullptr) {
        // A locale this system lacks still names the set the terminal shows: "xx_YY.UTF-8"
        // is a UTF-8 terminal (widths then come from the always-present C.UTF-8).
        std::string named = codesetInName(ctypeLocaleName());
        if (isUtf8Name(named)) {
            std::setlocale(LC_CTYPE, "C.UTF-8");
            return "UTF-8";
        }
        if (!named.empty())
            return named; // a set iconv does not know is shown as ASCII
    }
    const char *name = nl_langinfo(CODESET);
    return name && *name ? name : "ANSI_X3.4-1968";
}

unsigned char Terminal::endOfInputKey() {
    return 0x04;
}

int Terminal::charColumns(char32_t cp) {
    return ::wcwidth(static_cast<wchar_t>(cp));
}

} // namespace host::platform
