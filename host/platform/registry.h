// win_registry.h - the host's side of the registry stand-in: the one registry of the
// process behind RegCreateKeyExA and its siblings, the refusal of writes below
// HKEY_LOCAL_MACHINE for a user without administrator rights, and hooks that let a test
// make single calls fail. Not part of the module's API surface.
#pragma once
#include "registry_tree.h"

#include <string>

namespace host::platform {

// The registry of this process. Callers that change it behind the API's back (reading
// a file) must do so while no key is open.
RegistryTree &registryTree();

// Empties the registry, forgets every open key, clears the hooks, allows writing and
// marks it unchanged. For tests and for a fresh start.
void resetRegistry();

// With refusal on, creating or opening a key below HKEY_LOCAL_MACHINE for writing, and
// setting a value there, answer ERROR_ACCESS_DENIED; reading still works.
void setRefuseMachineWrites(bool refuse);

// Whether a key was created or a value set or removed since the last reset or
// markRegistryUnchanged().
bool registryChanged();
void markRegistryUnchanged();

// Keys opened through the API and not yet closed (the predefined roots do not count).
int openKeyCount();

// Test hooks. RegCreateKeyExA of a key whose last name is keyName (without regard to
// case) fails with the given Windows error code; RegSetValueExA of a value of that name
// likewise. An empty name turns the hook off.
void failKeyCreation(const std::string &keyName, long error);
void failValueSetting(const std::string &valueName, long error);

} // namespace host::platform
