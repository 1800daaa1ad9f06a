// rxregsvc.h - application messages, the dynamic linker and application registration.
#pragma once
#include "rxdict.h"

namespace AcRx {
enum AppMsgCode {
    kNullMsg = 0,
    kInitAppMsg = 1,
    kUnloadAppMsg = 2,
    kLoadDwgMsg = 3,
    kUnloadDwgMsg = 4,
    kInvkSubrMsg = 5,
    kCfgMsg = 6,
    kEndMsg = 7,
    kQuitMsg = 8,
    kSaveMsg = 9,
    kDependencyMsg = 10,
    kNoDependencyMsg = 11,
    kOleUnloadAppMsg = 12,
    kPreQuitMsg = 13,
    kInitDialogMsg = 14,
    kEndDialogMsg = 15,
    kSuspendMsg = 16
};
enum AppRetCode { kRetOK = 0, kRetError = 3 };
} // namespace AcRx

namespace AcadApp {
enum LoadReasons {
    kOnProxyDetection = 1,
    kOnHostStartup = 2,
    kOnCommandInvocation = 4,
    kOnLoadRequest = 8,
    kLoadDisabled = 16,
    kTransparentlyLoadable = 32
};
enum ErrorStatus {
    eOk = 0,
    eInvalidKey = 1,
    eInvalidSubKey = 2,
    eKeyNotFound = 3,
    eOutOfMemory = 4,
    eInvalidValue = 5,
    eValueNotFound = 6,
    eKeyExists = 7,
    eRegAccessDenied = 8,
    eRejected = 9,
    eUnknownError = 10
};
} // namespace AcadApp

// Loads and unloads modules and keeps their lock state. A module is locked (cannot be
// unloaded) until it unlocks itself.
class AcRxDynamicLinker : public AcRxObject {
public:
    ACRX_DECLARE_MEMBERS(AcRxDynamicLinker);
    virtual bool unlockApplication(void *appId) const = 0;
    virtual bool lockApplication(void *appId) const = 0;
    virtual bool isApplicationLocked(const char *name) const = 0;
    virtual bool registerAppMDIAware(void *appId) const = 0;
    // Loads a module file and sends it kInitAppMsg. False when it cannot be loaded.
    virtual bool loadModule(const char *fileName, bool printit, bool asCmd = false) = 0;
    // Sends kUnloadAppMsg and unloads; false when the module is locked or not loaded.
    virtual bool unloadModule(const char *fileName, bool printit, bool asCmd = false) = 0;
};

#define acrxDynamicLinker AcRxDynamicLinker::cast(acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER))

bool acrxRegisterAppMDIAware(void *appId);
bool acrxUnlockApplication(void *appId);
// Registers a module with the demand loader.
AcadApp::ErrorStatus acrxRegisterApp(AcadApp::LoadReasons alr, const char *logicalName,
                                     const char *regPath, int level, bool bDwgU = false);
// Stops the host: prints the message to standard error and ends the process (non-zero).
[[noreturn]] void acrx_abort(const char *format, ...) __attribute__((format(printf, 1, 2)));
