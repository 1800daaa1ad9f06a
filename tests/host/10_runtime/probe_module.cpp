// probe_module.cpp - a module that tells the test host which messages it got, and unlocks
// itself only when asked to.
#include "rxregsvc.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" __attribute__((visibility("default"))) std::vector<int> *probeMessages() {
    static std::vector<int> s_messages;
    return &s_messages;
}

extern "C" __attribute__((visibility("default"))) AcRx::AppRetCode
acrxEntryPoint(AcRx::AppMsgCode msg, void *appId) {
    probeMessages()->push_back(msg);
    const char *unlock = std::getenv("PROBE_UNLOCK");
    if (msg == AcRx::kInitAppMsg && unlock != nullptr && std::strcmp(unlock, "1") == 0)
        (void)acrxDynamicLinker->unlockApplication(appId);
    return AcRx::kRetOK;
}
