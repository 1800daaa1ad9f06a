// terminal.h - the interactive terminal: raw keys in, bytes out, its width and character
// set, whether a standard stream is a terminal, and Ctrl-C. A POSIX implementation (termios,
// poll, SIGINT) and a Windows one (the console's input records, WriteConsoleW, the console's
// control handler).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace host::platform {

enum class Stream { Input, Output, Error };

// Whether the standard stream is a terminal (a console on Windows).
bool isTerminal(Stream stream);

// Ctrl-C while no prompt reads it as a key. While an InterruptWatch lives, Ctrl-C (SIGINT;
// on Windows the console's Ctrl-C and Ctrl-Break) does not end the process but marks an
// interrupt, and a wait for a key returns at once. Construct one at a time; the previous
// handling comes back when it goes.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;
};
// Whether an interrupt is marked; takeInterrupt() also clears the mark.
bool interruptPending();
bool takeInterrupt();
// Marks an interrupt (a Ctrl-C that was read as a key, passed on), or clears the mark.
void setInterrupt(bool pending);

// The terminal on standard input and output, in key mode from construction to destruction:
// keys come one byte at a time, unechoed and unchanged (an Escape is not shown as "^[", a
// Ctrl-D is not an end-of-file mark), while Ctrl-C still interrupts. What is typed while
// the program is busy therefore waits, unseen, for the next readByte. The terminal's own
// mode comes back when this goes, when the process exits, and when SIGTERM or SIGHUP ends
// it. Output is UTF-8 on Windows; on POSIX systems, bytes in the terminal's own set.
class Terminal {
public:
    Terminal();
    ~Terminal();
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;

    // What readByte returns besides a byte.
    static constexpr int kTimedOut = -1;    // nothing came within the time given
    static constexpr int kGone = -2;        // hang-up, end of input or a read error
    static constexpr int kInterrupted = -3; // a Ctrl-C from outside (an InterruptWatch's)
    static constexpr int kWoken = -4;       // a waker was called (see waker())

    // While a Prompt lives, Ctrl-C and Ctrl-Z are keys (bytes 3 and 26), not signals.
    class Prompt {
    public:
        explicit Prompt(Terminal &terminal);
        ~Prompt();
        Prompt(const Prompt &) = delete;
        Prompt &operator=(const Prompt &) = delete;

    private:
        Terminal &terminal_;
        bool active_ = false;
    };

    // The next byte typed; timeoutMs < 0 waits as long as it takes. On Windows the keys
    // come as UTF-8, and the keys that move (arrows, Home, End, Delete) as the escape
    // sequences a terminal sends for them.
    int readByte(int timeoutMs);
    // A call that makes the readByte waiting now, or else the next one, return kWoken: for
    // another thread with something for the one that waits on the keys. Safe from any thread,
    // and harmless after the terminal has gone.
    std::function<void()> waker() const;
    // Writes all of bytes; gives up silently when the screen is gone (reading tells).
    void write(std::string_view bytes);
    // Shows bytes (narrower than the screen) as the whole of the cursor's line, and puts the
    // cursor at column cursorColumn (0: the first) of it.
    void showLine(std::string_view bytes, int cursorColumn);
    // The screen's width in columns (80 when it cannot be told).
    int columns() const;

    // The character set the terminal shows and types, as iconv names it: the LC_CTYPE
    // locale's (which this sets from the environment), or the set a locale's name gives when
    // the system lacks that locale ("xx_YY.UTF-8": "UTF-8"); on Windows "UTF-8".
    static std::string codeset();
    // The key this system's users type for the end of input besides Ctrl-D (4): Ctrl-Z (26)
    // on Windows; 4 elsewhere.
    static unsigned char endOfInputKey();
    // How many columns the terminal gives a character: 0 for a combining mark, 2 for a
    // wide one, -1 for one it cannot show.
    static int charColumns(char32_t cp);

    struct State; // the system's side: saved modes, handles

private:
    std::unique_ptr<State> state_;
};

} // namespace host::platform
