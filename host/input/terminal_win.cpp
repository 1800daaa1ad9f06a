// terminal_win.cpp - the interactive terminal on Windows: the console's own line
// editing and history (ReadConsoleW), UTF-8 shown as UTF-8, and Ctrl-C as a break.
// The POSIX terminal is host/input/line_editor.cpp.
#include "command_line.h"
#include "input_internal.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <string>

namespace host {
namespace {

UINT gPreviousOutputCp = 0;

BOOL WINAPI onControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE; // closing the console: the default ends the process
    detail::gInterrupt = 1;
    return TRUE;
}

std::string toUtf8(const wchar_t *text, int n) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, n, out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring fromUtf8(std::string_view text) {
    int n = static_cast<int>(text.size());
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), n, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), n, out.data(), size);
    return out;
}

} // namespace

TerminalSource::TerminalSource() {
    SetConsoleCtrlHandler(onControl, TRUE);
    gPreviousOutputCp = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8); // the transcript is UTF-8
}

TerminalSource::~TerminalSource() {
    SetConsoleCtrlHandler(onControl, FALSE);
    if (gPreviousOutputCp != 0)
        SetConsoleOutputCP(gPreviousOutputCp);
}

bool TerminalSource::stdinIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool TerminalSource::readLine(std::string &line, std::string_view promptLine) {
    std::fflush(stdout); // what the transcript wrote comes before the prompt
    std::wstring prompt = fromUtf8(promptLine);
    DWORD written = 0;
    WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), prompt.data(), static_cast<DWORD>(prompt.size()),
                  &written, nullptr);
    line.clear();
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        wchar_t buf[512];
        DWORD got = 0;
        bool read = ReadConsoleW(in, buf, 512, &got, nullptr) != 0;
        if (detail::gInterrupt)
            return false; // a Ctrl-C gives the line up (takeInterrupt tells)
        if (!read || got == 0) {
            closed_ = true; // the console is gone: nobody left to ask
            return false;
        }
        line += toUtf8(buf, static_cast<int>(got));
        if (!line.empty() && line.back() == '\n')
            break;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return !(line.size() == 1 && line[0] == '\x1A'); // Ctrl-Z alone: the end of input
}

std::string TerminalSource::screenText(std::string_view utf8) const {
    return std::string(utf8); // the console shows UTF-8 (its output code page is set so)
}

bool TerminalSource::takeInterrupt() {
    bool was = detail::gInterrupt != 0;
    detail::gInterrupt = 0;
    return was;
}

} // namespace host
