// runtime.h - the host's runtime: the system registry's entries, the dynamic linker and
// its loaded modules, and demand-load registrations.
#pragma once
#include "rxregsvc.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host {

// One loaded module file.
struct LoadedModule {
    std::string path;     // as given to the loader
    std::string fileName; // the last path component, as ARX Unload takes it
    void *handle = nullptr;
    AcRx::AppRetCode (*entryPoint)(AcRx::AppMsgCode, void *) = nullptr;
    bool locked = true; // a module cannot be unloaded until it unlocks itself
    bool mdiAware = false;
};

// One call of acrxRegisterApp, as the module made it.
struct AppRegistration {
    int loadReasons = 0;
    std::string logicalName;
    std::string registryPath;
    int level = 0;
    bool dwgU = false;
};

class DynamicLinker final : public AcRxDynamicLinker {
public:
    ~DynamicLinker() override;
    bool unlockApplication(void *appId) const override;
    bool lockApplication(void *appId) const override;
    bool isApplicationLocked(const char *name) const override;
    bool registerAppMDIAware(void *appId) const override;
    bool loadModule(const char *fileName, bool printit, bool asCmd = false) override;
    bool unloadModule(const char *fileName, bool printit, bool asCmd = false) override;

    // Loads a module; on failure error says why.
    bool load(const std::string &path, std::string &error);
    // Unloads by file name; on failure error says why (not loaded, locked).
    bool unload(const std::string &fileName, std::string &error);
    // Sends the unload message to every module, newest first, and closes them.
    void unloadAll();
    const std::vector<std::unique_ptr<LoadedModule>> &modules() const { return mModules; }
    LoadedModule *find(const std::string &fileName) const;
    LoadedModule *findByAppId(const void *appId) const;

private:
    std::vector<std::unique_ptr<LoadedModule>> mModules;
};

// Enters the dynamic linker, the command stack and the class dictionary's host classes
// into the system registry. Safe to call more than once.
void installRuntime();
DynamicLinker &dynamicLinker();

// What modules registered with the demand loader, in order.
std::vector<AppRegistration> &appRegistrations();

} // namespace host
