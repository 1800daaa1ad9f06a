// shell.h - the module's entry: command registration and the demand-load registry entries.
#pragma once
#include "rxregsvc.h"
#include "aced.h"

#include <cstddef>

struct CommandRow {
    const char *localName;
    const char *globalName;
    Adesk::Int32 flags;
    AcRxFunctionPtr body;
};

// The command group all nine commands belong to.
extern const char *const kCommandGroup;
// The command table, in registration order.
extern const CommandRow kCommandTable[];
extern const std::size_t kCommandCount;

void registerCommands();
void unregisterCommands();
// Registers the module with the demand loader and writes its registry tree.
void updateRegistry();

extern "C" AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void *appId);
