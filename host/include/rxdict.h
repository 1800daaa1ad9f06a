// rxdict.h - the runtime's string-keyed dictionary and the system registry.
#pragma once
#include "rxobject.h"
#include <map>
#include <string>

// A dictionary of runtime objects by name. Entries are not owned.
class AcRxDictionary : public AcRxObject {
public:
    ACRX_DECLARE_MEMBERS(AcRxDictionary);
    ~AcRxDictionary() override;
    // The entry named key, or nullptr.
    AcRxObject *at(const char *key) const;
    // Enters obj under key; returns the object it replaced, if any.
    AcRxObject *atPut(const char *key, AcRxObject *obj);
    // Removes key; returns the object that was there, if any.
    AcRxObject *remove(const char *key);
    bool has(const char *key) const { return at(key) != nullptr; }
    unsigned int numEntries() const { return static_cast<unsigned int>(mEntries.size()); }

private:
    std::map<std::string, AcRxObject *, std::less<>> mEntries;
};

// The host's system registry: "DynamicLinker", "ClassDictionary",
// "ACAD_REGISTERED_COMMANDS", ...
AcRxDictionary *acrxSysRegistry();
// The class dictionary ("ClassDictionary" in the system registry).
AcRxDictionary *acrxClassDictionary();

#define ACRX_DYNAMIC_LINKER "DynamicLinker"
#define ACRX_CLASS_DICTIONARY "ClassDictionary"
#define ACRX_COMMAND_DOCK "ACAD_REGISTERED_COMMANDS"
