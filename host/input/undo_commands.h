// undo_commands.h - U, UNDO and REDO, and the step each other command makes. The database
// keeps the steps (host/db/journal.h); these commands only ask it and say what happened.
#pragma once
#include <string>
#include <string_view>

class AcDbDatabase;

namespace host {

// U: undoes the last command and names it.
void uCommand();
// UNDO: a number of commands, Mark (a place to go back to), or Back (back to the mark, or
// everything after a question when there is none).
void undoCommand();
// REDO: redoes what the last U or UNDO undid, while no command has changed the drawing
// since.
void redoCommand();

// What a command does to the working drawing while this lives is one undo step, named
// command. At its end it says when the undo memory ran short.
class CommandStep {
public:
    explicit CommandStep(std::string_view command);
    ~CommandStep();
    CommandStep(const CommandStep &) = delete;
    CommandStep &operator=(const CommandStep &) = delete;

private:
    AcDbDatabase *db_ = nullptr;
    std::string name_;
};

} // namespace host
