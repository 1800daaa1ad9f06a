// command_script.h - the command-line fuzz target's model: a small script format that
// chooses commands and gives their answers, the sample drawing the commands run on, and
// the checks after every command (nothing open, no selection set, no misuse, the drawing
// still writes and reads back).
//
// Script format, one item a line (a trailing "\r" is dropped):
//   @Name        starts a command: one of the nine local names, any case; any other
//                name still picks one of the nine (by its bytes), so every input runs
//   @Name !N     the same, with the Nth database allocation of the command failing
//   ^C           an Escape
//   anything     one answer, as the user typed it (Windows-1251 bytes, kept as they are)
// Lines before the first "@" line are answers to a command chosen by the first byte.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class AcDbDatabase;

namespace tevfuzz {

// One of the nine command bodies, as the command table names it.
struct CommandEntry {
    const char *name;
    void (*body)();
};
extern const CommandEntry kCommands[];
extern const std::size_t kCommandCount;

// One command of a script: which, its answers (nullopt stands for Escape) and the
// allocation that fails (0: none).
struct CommandRun {
    std::size_t command = 0;
    std::vector<std::optional<std::string>> answers;
    long failAt = 0;
};

// Commands a single input may run, and answers one command may get: enough to reach
// every prompt, few enough that one input stays fast.
constexpr std::size_t kMaxCommands = 8;
constexpr std::size_t kMaxAnswers = 64;

// Splits bytes into commands by the format above. Never fails: any bytes give a script
// (an empty input gives none).
std::vector<CommandRun> parseCommandScript(std::string_view bytes);

// A new drawing with layers 0, RED and LOCKED (locked), lines of several colours and
// layers (one on LOCKED), a lightweight, a 2D and a 3D polyline, a circle, a block POST
// with a reference to it, and a block NEST whose reference holds a reference to POST.
// The caller owns it. Built with the allocator exempt, so no failure is wanted here.
AcDbDatabase *buildSampleDrawing();

// What is wrong after `command` returned on db: objects left open, selection sets left
// allocated, misuse the database recorded, a drawing that no longer writes or reads back.
// Empty when all is well. Also clears what it reports, so one fault is told once.
std::string problemsAfterCommand(AcDbDatabase &db, std::string_view command);

// Runs the script's commands on a fresh sample drawing as the working database, each with
// a fresh command line, and checks after each. Empty when nothing went wrong, otherwise
// what went wrong and after which command. Leaves no working database behind.
std::string checkCommandScript(std::string_view bytes);

} // namespace tevfuzz
