// terminal_win.cpp - the terminal on Windows: the console's input records read one key at a
// time (line input and echo off), text written as UTF-16, the edited line drawn through the
// console's cursor calls, and Ctrl-C through the console's control handler.
#include "terminal.h"
#include "text_codec.h"

#include "windows_api.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>

namespace host::platform {
namespace {

std::atomic<bool> gInterrupt{false};
std::atomic<unsigned> gInterrupts{0}; // how many came: a wait returns on a new one

BOOL WINAPI onControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE; // closing the console: the default ends the process
    gInterrupt = true;
    ++gInterrupts;
    return TRUE;
}

HANDLE handleOf(Stream stream) {
    switch (stream) {
    case Stream::Input:
        return GetStdHandle(STD_INPUT_HANDLE);
    case Stream::Output:
        return GetStdHandle(STD_OUTPUT_HANDLE);
    case Stream::Error:
        return GetStdHandle(STD_ERROR_HANDLE);
    }
    return INVALID_HANDLE_VALUE;
}

// The console's own modes and output code page, put back when the Terminal goes and when
// the process exits.
struct Saved {
    HANDLE in = INVALID_HANDLE_VALUE;
    DWORD inMode = 0;
    UINT outputCp = 0;
};
Saved gSaved;
std::atomic<bool> gKeyMode{false};

void restoreConsole() {
    if (!gKeyMode.exchange(false))
        return;
    (void)SetConsoleMode(gSaved.in, gSaved.inMode); // nothing more to do if these fail
    if (gSaved.outputCp != 0)
        (void)SetConsoleOutputCP(gSaved.outputCp);
}

extern "C" void restoreAtExit() {
    restoreConsole();
}

// The escape sequence a terminal sends for a key that types no character.
const char *sequenceOf(WORD virtualKey) {
    switch (virtualKey) {
    case VK_UP:
        return "\x1b[A";
    case VK_DOWN:
        return "\x1b[B";
    case VK_RIGHT:
        return "\x1b[C";
    case VK_LEFT:
        return "\x1b[D";
    case VK_HOME:
        return "\x1b[H";
    case VK_END:
        return "\x1b[F";
    case VK_DELETE:
        return "\x1b[3~";
    default:
        return nullptr;
    }
}

std::wstring wideOf(std::string_view utf8) {
    int n = static_cast<int>(utf8.size());
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        (void)MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n, out.data(), size);
    return out;
}

} // namespace

bool isTerminal(Stream stream) {
    DWORD mode = 0;
    return GetConsoleMode(handleOf(stream), &mode) != 0;
}

InterruptWatch::InterruptWatch() {
    (void)SetConsoleCtrlHandler(onControl, TRUE); // without a console there is no Ctrl-C
}

InterruptWatch::~InterruptWatch() {
    (void)SetConsoleCtrlHandler(onControl, FALSE);
}

bool interruptPending() {
    return gInterrupt;
}

bool takeInterrupt() {
    return gInterrupt.exchange(false);
}

void setInterrupt(bool pending) {
    gInterrupt = pending;
}

struct Terminal::State {
    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
    DWORD keyMode = 0;
    bool owns = false;
    std::deque<unsigned char> bytes; // of keys read but not yet taken
    wchar_t highSurrogate = 0;
    // Set by a waker, taken by readByte within one slice of its wait.
    std::shared_ptr<std::atomic<bool>> woken = std::make_shared<std::atomic<bool>>(false);
};

Terminal::Terminal() : state_(std::make_unique<State>()) {
    State &s = *state_;
    s.in = GetStdHandle(STD_INPUT_HANDLE);
    s.out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD inMode = 0;
    if (GetConsoleMode(s.in, &inMode) == 0)
        return; // not a console: nothing to set
    gSaved.in = s.in;
    gSaved.inMode = inMode;
    gSaved.outputCp = GetConsoleOutputCP();
    static const bool atExit = std::atexit(restoreAtExit) == 0;
    (void)atExit;
    // Keys one at a time, unechoed; Ctrl-C stays a break (processed input) between prompts.
    s.keyMode = (inMode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                              ENABLE_VIRTUAL_TERMINAL_INPUT)) |
                ENABLE_PROCESSED_INPUT;
    s.owns = SetConsoleMode(s.in, s.keyMode) != 0;
    gKeyMode = true;
    (void)SetConsoleOutputCP(CP_UTF8); // the transcript is UTF-8
}

Terminal::~Terminal() {
    restoreConsole();
}

Terminal::Prompt::Prompt(Terminal &terminal) : terminal_(terminal) {
    State &s = *terminal_.state_;
    if (s.owns) // Ctrl-C and Ctrl-Z come as keys
        active_ = SetConsoleMode(s.in, s.keyMode & ~static_cast<DWORD>(ENABLE_PROCESSED_INPUT));
}

Terminal::Prompt::~Prompt() {
    if (active_)
        (void)SetConsoleMode(terminal_.state_->in, terminal_.state_->keyMode);
}

int Terminal::readByte(int timeoutMs) {
    State &s = *state_;
    const unsigned interruptsBefore = gInterrupts;
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
    for (;;) {
        if (!s.bytes.empty()) {
            unsigned char b = s.bytes.front();
            s.bytes.pop_front();
            return b;
        }
        if (gInterrupts != interruptsBefore && gInterrupt)
            return kInterrupted;
        if (s.woken->exchange(false))
            return kWoken;
        // Waits in slices, so that a Ctrl-C from the control handler's thread is seen.
        DWORD slice = 50;
        if (timeoutMs >= 0) {
            ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                return kTimedOut;
            slice = static_cast<DWORD>(std::min<ULONGLONG>(slice, deadline - now));
        }
        DWORD waited = WaitForSingleObject(s.in, slice);
        if (waited == WAIT_TIMEOUT)
            continue;
        if (waited != WAIT_OBJECT_0)
            return kGone;
        INPUT_RECORD record{};
        DWORD got = 0;
        if (ReadConsoleInputW(s.in, &record, 1, &got) == 0)
            return kGone;
        if (got == 0 || record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown)
            continue; // focus, mouse and size events, key releases
        const KEY_EVENT_RECORD &key = record.Event.KeyEvent;
        std::string typed;
        wchar_t c = key.uChar.UnicodeChar;
        if (c == 0) {
            const char *sequence = sequenceOf(key.wVirtualKeyCode);
            if (sequence == nullptr)
                continue; // Shift, Ctrl, function keys: nothing the editor uses
            typed = sequence;
        } else if (c >= 0xD800 && c < 0xDC00) {
            s.highSurrogate = c; // the low half follows in the next record
            continue;
        } else if (c >= 0xDC00 && c < 0xE000) {
            if (s.highSurrogate == 0)
                continue;
            char32_t cp = 0x10000 + ((static_cast<char32_t>(s.highSurrogate) - 0xD800) << 10) +
                          (static_cast<char32_t>(c) - 0xDC00);
            s.highSurrogate = 0;
            text::appendUtf8(typed, cp);
        } else {
            text::appendUtf8(typed, static_cast<char32_t>(c));
        }
        for (WORD i = 0; i < std::max<WORD>(key.wRepeatCount, 1); ++i)
            s.bytes.insert(s.bytes.end(), typed.begin(), typed.end());
    }
}

std::function<void()> Terminal::waker() const {
    return [woken = state_->woken] { woken->store(true); };
}

void Terminal::write(std::string_view bytes) {
    std::fflush(stdout); // what the transcript wrote comes first
    std::wstring wide = wideOf(bytes);
    DWORD written = 0;
    if (WriteConsoleW(state_->out, wide.data(), static_cast<DWORD>(wide.size()), &written,
                      nullptr) != 0)
        return;
    // Not a console (output redirected): the bytes as they are.
    (void)WriteFile(state_->out, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                    nullptr); // the screen is gone if this fails; reading will tell
}

// Through the console's own calls rather than escape sequences, which not every console
// reads.
void Terminal::showLine(std::string_view bytes, int cursorColumn) {
    std::fflush(stdout); // what the transcript wrote comes first
    HANDLE out = state_->out;
    CONSOLE_SCREEN_BUFFER_INFO before{};
    if (GetConsoleScreenBufferInfo(out, &before) == 0) {
        write("\r");
        write(bytes); // not a console: the text alone
        return;
    }
    const SHORT row = before.dwCursorPosition.Y;
    (void)SetConsoleCursorPosition(out, COORD{0, row}); // a failure shows in what is read
    std::wstring wide = wideOf(bytes);
    DWORD done = 0;
    (void)WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO after{};
    if (GetConsoleScreenBufferInfo(out, &after) != 0 && after.dwCursorPosition.Y == row &&
        after.dwSize.X > after.dwCursorPosition.X) {
        const auto rest = static_cast<DWORD>(after.dwSize.X - after.dwCursorPosition.X);
        (void)FillConsoleOutputCharacterW(out, L' ', rest, after.dwCursorPosition, &done);
        (void)FillConsoleOutputAttribute(out, after.wAttributes, rest, after.dwCursorPosition,
                                         &done);
    }
    (void)SetConsoleCursorPosition(out, COORD{static_cast<SHORT>(cursorColumn), row});
}

int Terminal::columns() const {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(state_->out, &info) != 0) {
        int width = info.srWindow.Right - info.srWindow.Left + 1;
        if (width > 0)
            return width;
    }
    return 80;
}

std::string Terminal::codeset() {
    return "UTF-8"; // keys are read and text written as UTF-16, converted here
}

unsigned char Terminal::endOfInputKey() {
    return 0x1A; // Ctrl-Z, as at the console's own prompt
}

int Terminal::charColumns(char32_t cp) {
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
        return -1;
    if ((cp >= 0x0300 && cp < 0x0370) || (cp >= 0x200B && cp < 0x2010) ||
        (cp >= 0xFE20 && cp < 0xFE30))
        return 0; // combining marks and zero-width spaces
    // The wide ranges: Hangul Jamo, CJK and its punctuation, Hangul syllables, full-width
    // forms, and the pictographs.
    static constexpr char32_t kWide[][2] = {
        {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},  {0x3400, 0x4DBF},
        {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},  {0xF900, 0xFAFF},
        {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},  {0x1F300, 0x1F64F},
        {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};
    for (const auto &range : kWide)
        if (cp >= range[0] && cp <= range[1])
            return 2;
    return 1;
}

} // namespace host::platform
