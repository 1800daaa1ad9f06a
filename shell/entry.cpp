// entry.cpp - the module's entry point and its command table.
#include "shell.h"
#include "commands.h"
#include "services.h"

#if defined(_WIN32)
#define TEV_EXPORT __declspec(dllexport)
#else
#define TEV_EXPORT __attribute__((visibility("default")))
#endif

const char *const kCommandGroup = "TEVcom";

// clang-format off
const CommandRow kCommandTable[] = {
    // local    global     flags           body
    {"Cl",     "tevCl",   ACRX_CMD_MODAL, colorLineCommand},
    {"Sel",    "tevSel",  ACRX_CMD_MODAL, recolorCommand},
    {"Lp",     "tevLp",   ACRX_CMD_MODAL, cornerLineCommand},
    {"Jl",     "tevJl",   ACRX_CMD_MODAL, joinLinesCommand},
    {"Nor",    "tevNor",  ACRX_CMD_MODAL, snapAngleCommand},
    {"Lpl",    "tevLpl",  ACRX_CMD_MODAL, lengthByColorCommand},
    {"Wpe",    "tevWpe",  ACRX_CMD_MODAL, polylineWidthCommand},
    {"En",     "tevEn",   ACRX_CMD_MODAL, entityListCommand},
    {"nEn",    "tevnEn",  ACRX_CMD_MODAL, nestedEntityListCommand},
};
// clang-format on
const std::size_t kCommandCount = sizeof(kCommandTable) / sizeof(kCommandTable[0]);

namespace {

// The host's class descriptor of the command stack, found by name once and kept.
AcRxClass *s_commandStackClass = nullptr;

AcRxClass *commandStackClass() {
    if (s_commandStackClass != nullptr)
        return s_commandStackClass;
    AcRxObject *dict = acrxSysRegistry()->at(ACRX_CLASS_DICTIONARY);
    if (dict == nullptr || !passesClassTest(dict, AcRxDictionary::desc()))
        return nullptr;
    AcRxObject *cls = static_cast<AcRxDictionary *>(dict)->at("AcEdCommandStack");
    // A lookup that yields nothing is not kept: the next test looks again.
    s_commandStackClass = static_cast<AcRxClass *>(cls);
    return s_commandStackClass;
}

// The host's command stack, or nullptr when the registry has none of the right class.
AcEdCommandStack *commandStack() {
    AcRxObject *entry = acrxSysRegistry()->at(ACRX_COMMAND_DOCK);
    AcRxClass *wanted = commandStackClass();
    if (entry == nullptr || wanted == nullptr || !passesClassTest(entry, wanted))
        return nullptr;
    return static_cast<AcEdCommandStack *>(entry);
}

AcRxDynamicLinker *dynamicLinker() {
    AcRxObject *entry = acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER);
    if (entry == nullptr || !passesClassTest(entry, AcRxDynamicLinker::desc()))
        return nullptr;
    return static_cast<AcRxDynamicLinker *>(entry);
}

void initApp(void *appId) {
    if (AcRxDynamicLinker *linker = dynamicLinker())
        (void)linker->unlockApplication(appId); // nobody needs to know: unloading is optional
    (void)acrxRegisterAppMDIAware(appId);       // the commands work on any open drawing
    registerCommands();
    updateRegistry();
}

} // namespace

void registerCommands() {
    for (const CommandRow &row : kCommandTable) {
        // Looked up afresh for every row, as the host's accessor does.
        if (AcEdCommandStack *stack = commandStack())
            (void)stack->addCommand(kCommandGroup, row.globalName, row.localName, row.flags,
                                    row.body, nullptr, -1, nullptr, nullptr);
    }
}

void unregisterCommands() {
    if (AcEdCommandStack *stack = commandStack())
        (void)stack->removeGroup(kCommandGroup); // a missing group is nothing to report
}

extern "C" TEV_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void *appId) {
    switch (msg) {
    case AcRx::kInitAppMsg:
        initApp(appId);
        break;
    case AcRx::kUnloadAppMsg:
        unregisterCommands();
        break;
    default:
        break;
    }
    return AcRx::kRetOK;
}
