// runtime.cpp - the dynamic linker, registrations and the host's fatal stop.
#include "runtime.h"
#include "command_stack.h"
#include "module_loader.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

ACRX_DEFINE_MEMBERS(AcRxDynamicLinker, AcRxObject, nullptr)

namespace host {

namespace {
std::string baseName(const std::string &path) {
    auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

DynamicLinker::~DynamicLinker() = default;

LoadedModule *DynamicLinker::find(const std::string &fileName) const {
    std::string wanted = baseName(fileName);
    for (const auto &m : mModules) {
        if (equalsNoCase(m->fileName, wanted))
            return m.get();
    }
    return nullptr;
}

LoadedModule *DynamicLinker::findByAppId(const void *appId) const {
    for (const auto &m : mModules) {
        if (m.get() == appId)
            return m.get();
    }
    return nullptr;
}

bool DynamicLinker::unlockApplication(void *appId) const {
    LoadedModule *m = findByAppId(appId);
    if (m == nullptr)
        return false;
    m->locked = false;
    return true;
}

bool DynamicLinker::lockApplication(void *appId) const {
    LoadedModule *m = findByAppId(appId);
    if (m == nullptr)
        return false;
    m->locked = true;
    return true;
}

bool DynamicLinker::isApplicationLocked(const char *name) const {
    LoadedModule *m = name != nullptr ? find(name) : nullptr;
    return m != nullptr && m->locked;
}

bool DynamicLinker::registerAppMDIAware(void *appId) const {
    LoadedModule *m = findByAppId(appId);
    if (m == nullptr)
        return false;
    m->mdiAware = true;
    return true;
}

bool DynamicLinker::loadModule(const char *fileName, bool printit, bool) {
    std::string error;
    bool ok = fileName != nullptr && load(fileName, error);
    if (!ok && printit)
        std::fprintf(stderr, "Unable to load %s: %s\n", fileName ? fileName : "", error.c_str());
    return ok;
}

bool DynamicLinker::unloadModule(const char *fileName, bool printit, bool) {
    std::string error;
    bool ok = fileName != nullptr && unload(fileName, error);
    if (!ok && printit)
        std::fprintf(stderr, "Unable to unload %s: %s\n", fileName ? fileName : "", error.c_str());
    return ok;
}

bool DynamicLinker::load(const std::string &path, std::string &error) {
    if (find(path) != nullptr) {
        error = baseName(path) + " is already loaded";
        return false;
    }
    void *handle = platform::openModule(path, error);
    if (handle == nullptr)
        return false;
    auto entry = reinterpret_cast<AcRx::AppRetCode (*)(AcRx::AppMsgCode, void *)>(
        platform::findSymbol(handle, "acrxEntryPoint"));
    if (entry == nullptr) {
        error = baseName(path) + " has no acrxEntryPoint";
        platform::closeModule(handle);
        return false;
    }
    auto module = std::make_unique<LoadedModule>();
    module->path = path;
    module->fileName = baseName(path);
    module->handle = handle;
    module->entryPoint = entry;
    LoadedModule *raw = module.get();
    mModules.push_back(std::move(module));

    commandStack().setAddingModule(raw->fileName);
    (void)raw->entryPoint(AcRx::kInitAppMsg, raw); // the host loads the module whatever it answers
    commandStack().setAddingModule("");
    return true;
}

bool DynamicLinker::unload(const std::string &fileName, std::string &error) {
    LoadedModule *m = find(fileName);
    if (m == nullptr) {
        error = baseName(fileName) + " is not loaded";
        return false;
    }
    if (m->locked) {
        error = m->fileName + " is locked and cannot be unloaded";
        return false;
    }
    (void)m->entryPoint(AcRx::kUnloadAppMsg, m);
    platform::closeModule(m->handle);
    std::erase_if(mModules, [&](const auto &p) { return p.get() == m; });
    return true;
}

void DynamicLinker::unloadAll() {
    while (!mModules.empty()) {
        LoadedModule *m = mModules.back().get();
        (void)m->entryPoint(AcRx::kUnloadAppMsg, m);
        platform::closeModule(m->handle);
        mModules.pop_back();
    }
}

DynamicLinker &dynamicLinker() {
    static DynamicLinker s_linker;
    return s_linker;
}

void installRuntime() {
    AcRxDictionary *reg = acrxSysRegistry();
    (void)AcEdCommandStack::desc(); // enters "AcEdCommandStack" into the class dictionary
    (void)AcRxDynamicLinker::desc();
    (void)reg->atPut(ACRX_DYNAMIC_LINKER, &dynamicLinker());
    (void)reg->atPut(ACRX_COMMAND_DOCK, &commandStack());
}

std::vector<AppRegistration> &appRegistrations() {
    static std::vector<AppRegistration> s_apps;
    return s_apps;
}

} // namespace host

bool acrxRegisterAppMDIAware(void *appId) {
    return host::dynamicLinker().registerAppMDIAware(appId);
}

bool acrxUnlockApplication(void *appId) {
    return host::dynamicLinker().unlockApplication(appId);
}

AcadApp::ErrorStatus acrxRegisterApp(AcadApp::LoadReasons alr, const char *logicalName,
                                     const char *regPath, int level, bool bDwgU) {
    if (logicalName == nullptr)
        return AcadApp::eInvalidValue;
    host::appRegistrations().push_back(host::AppRegistration{
        static_cast<int>(alr), logicalName, regPath != nullptr ? regPath : "", level, bDwgU});
    return AcadApp::eOk;
}

void acrx_abort(const char *format, ...) {
    std::va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    // 70: an internal software error. _Exit: no destructors run in a host that failed.
    std::_Exit(70);
}
