// command_stack.cpp - command groups, names and lookup.
#include "command_stack.h"
#include "runtime.h"
#include "text_util.h"

#include <algorithm>

ACRX_DEFINE_MEMBERS(AcEdCommandStack, AcRxObject, nullptr)

namespace host {

bool equalsNoCase(std::string_view a, std::string_view b) {
    return text::equalsIgnoreCase(a, b);
}

Acad::ErrorStatus CommandStack::addCommand(const char *cmdGroupName, const char *cmdGlobalName,
                                           const char *cmdLocalName, Adesk::Int32 commandFlags,
                                           AcRxFunctionPtr functionAddr, AcEdUIContext *, int fcode,
                                           HINSTANCE, AcEdCommand **cmdPtrRet) {
    if (cmdPtrRet != nullptr)
        *cmdPtrRet = nullptr; // the stand-in hands out no command objects
    if (cmdGroupName == nullptr || cmdGlobalName == nullptr || functionAddr == nullptr)
        return Acad::eInvalidInput;
    const char *local = cmdLocalName != nullptr ? cmdLocalName : cmdGlobalName;
    for (const CommandEntry &e : mEntries) {
        if (equalsNoCase(e.group, cmdGroupName) &&
            (equalsNoCase(e.globalName, cmdGlobalName) || equalsNoCase(e.localName, local)))
            return Acad::eDuplicateKey; // names are unique inside a group
    }
    mEntries.push_back(CommandEntry{cmdGroupName, cmdGlobalName, local, commandFlags, functionAddr,
                                    fcode, mAddingModule});
    return Acad::eOk;
}

Acad::ErrorStatus CommandStack::removeGroup(const char *groupName) {
    if (groupName == nullptr)
        return Acad::eInvalidInput;
    auto removed = std::erase_if(
        mEntries, [&](const CommandEntry &e) { return equalsNoCase(e.group, groupName); });
    return removed > 0 ? Acad::eOk : Acad::eKeyNotFound;
}

Acad::ErrorStatus CommandStack::removeCmd(const char *cmdGroupName, const char *cmdGlobalName) {
    if (cmdGroupName == nullptr || cmdGlobalName == nullptr)
        return Acad::eInvalidInput;
    auto removed = std::erase_if(mEntries, [&](const CommandEntry &e) {
        return equalsNoCase(e.group, cmdGroupName) && equalsNoCase(e.globalName, cmdGlobalName);
    });
    return removed > 0 ? Acad::eOk : Acad::eKeyNotFound;
}

const CommandEntry *CommandStack::lookup(std::string_view typed) const {
    bool global = !typed.empty() && typed.front() == '_';
    if (global)
        typed.remove_prefix(1);
    // The group added last is searched first, as the host searches its newest group first.
    for (auto it = mEntries.rbegin(); it != mEntries.rend(); ++it) {
        if (equalsNoCase(global ? it->globalName : it->localName, typed))
            return &*it;
    }
    return nullptr;
}

std::vector<CommandEntry> CommandStack::commandsInGroup(std::string_view group) const {
    std::vector<CommandEntry> out;
    for (const CommandEntry &e : mEntries) {
        if (equalsNoCase(e.group, group))
            out.push_back(e);
    }
    return out;
}

std::vector<std::string> CommandStack::groupNames() const {
    std::vector<std::string> out;
    for (const CommandEntry &e : mEntries) {
        if (std::none_of(out.begin(), out.end(),
                         [&](const std::string &g) { return equalsNoCase(g, e.group); }))
            out.push_back(e.group);
    }
    return out;
}

CommandStack &commandStack() {
    static CommandStack s_stack;
    return s_stack;
}

} // namespace host
