// rxdict.cpp - the dictionary class and the host's system registry.
#include "rxdict.h"

ACRX_DEFINE_MEMBERS(AcRxDictionary, AcRxObject, nullptr)

AcRxDictionary::~AcRxDictionary() = default;

AcRxObject *AcRxDictionary::at(const char *key) const {
    if (key == nullptr)
        return nullptr;
    auto it = mEntries.find(std::string_view(key));
    return it == mEntries.end() ? nullptr : it->second;
}

AcRxObject *AcRxDictionary::atPut(const char *key, AcRxObject *obj) {
    if (key == nullptr)
        return nullptr;
    AcRxObject *&slot = mEntries[key];
    AcRxObject *old = slot;
    slot = obj;
    return old;
}

AcRxObject *AcRxDictionary::remove(const char *key) {
    if (key == nullptr)
        return nullptr;
    auto it = mEntries.find(std::string_view(key));
    if (it == mEntries.end())
        return nullptr;
    AcRxObject *old = it->second;
    mEntries.erase(it);
    return old;
}

// The class dictionary must exist before any descriptor (AcRxDictionary's own included),
// so it is a plain function-local object that reports its class lazily.
AcRxDictionary *acrxClassDictionary() {
    static AcRxDictionary s_classes;
    return &s_classes;
}

AcRxDictionary *acrxSysRegistry() {
    static AcRxDictionary *s_registry = [] {
        static AcRxDictionary registry;
        (void)registry.atPut(ACRX_CLASS_DICTIONARY, acrxClassDictionary());
        return &registry;
    }();
    return s_registry;
}
