// command_stack.h - the host's command stack: groups of commands with global and local
// names, looked up case-insensitively as the command prompt does.
#pragma once
#include "aced.h"

#include <string>
#include <string_view>
#include <vector>

namespace host {

struct CommandEntry {
    std::string group;
    std::string globalName;
    std::string localName;
    Adesk::Int32 flags = 0;
    AcRxFunctionPtr function = nullptr;
    int functionCode = -1;
    std::string module; // file name of the module that added it ("" for the host)
};

class CommandStack final : public AcEdCommandStack {
public:
    Acad::ErrorStatus addCommand(const char *cmdGroupName, const char *cmdGlobalName,
                                 const char *cmdLocalName, Adesk::Int32 commandFlags,
                                 AcRxFunctionPtr functionAddr, AcEdUIContext *UIContext = nullptr,
                                 int fcode = -1, HINSTANCE hResourceHandle = nullptr,
                                 AcEdCommand **cmdPtrRet = nullptr) override;
    Acad::ErrorStatus removeGroup(const char *groupName) override;
    Acad::ErrorStatus removeCmd(const char *cmdGroupName, const char *cmdGlobalName) override;

    // The command a typed name runs: a local name, or a global name after "_".
    // Groups added later are searched first. nullptr when nothing matches.
    const CommandEntry *lookup(std::string_view typed) const;
    // The commands of a group in the order they were added.
    std::vector<CommandEntry> commandsInGroup(std::string_view group) const;
    std::vector<std::string> groupNames() const;
    // Attributes commands added from now on to a module (the one being initialised).
    void setAddingModule(std::string module) { mAddingModule = std::move(module); }

private:
    std::vector<CommandEntry> mEntries; // in the order added
    std::string mAddingModule;
};

// The command stack the host entered into the system registry.
CommandStack &commandStack();

bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace host
