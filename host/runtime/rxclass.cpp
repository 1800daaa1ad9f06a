// rxclass.cpp - runtime objects, class descriptors and the class dictionary.
#include "rxdict.h"

#include <memory>
#include <vector>

AcRxObject::~AcRxObject() = default;

AcRxClass *AcRxObject::desc() {
    static AcRxClass *s_desc = acrxDefineClass("AcRxObject", nullptr, nullptr);
    return s_desc;
}

AcRxClass *AcRxObject::isA() const {
    return AcRxObject::desc();
}

bool AcRxObject::isKindOf(const AcRxClass *cls) const {
    const AcRxClass *mine = isA();
    return mine != nullptr && mine->isDerivedFrom(cls);
}

AcRxClass::AcRxClass(const char *name, AcRxClass *parent, const char *dxfName)
    : mName(name), mParent(parent), mDxfName(dxfName != nullptr ? dxfName : "") {}

AcRxClass::~AcRxClass() = default;

AcRxClass *AcRxClass::desc() {
    static AcRxClass *s_desc = acrxDefineClass("AcRxClass", AcRxObject::desc(), nullptr);
    return s_desc;
}

AcRxClass *AcRxClass::isA() const {
    return AcRxClass::desc();
}

bool AcRxClass::isDerivedFrom(const AcRxClass *other) const {
    if (other == nullptr)
        return false;
    for (const AcRxClass *c = this; c != nullptr; c = c->mParent) {
        if (c == other)
            return true;
    }
    return false;
}

namespace {
// Descriptors live as long as the process: modules keep pointers to them.
std::vector<std::unique_ptr<AcRxClass>> &allClasses() {
    static std::vector<std::unique_ptr<AcRxClass>> s_classes;
    return s_classes;
}
} // namespace

AcRxClass *acrxDefineClass(const char *name, AcRxClass *parent, const char *dxfName) {
    if (AcRxObject *known = acrxClassDictionary()->at(name))
        return static_cast<AcRxClass *>(known);
    auto cls = std::make_unique<AcRxClass>(name, parent, dxfName);
    AcRxClass *raw = cls.get();
    allClasses().push_back(std::move(cls));
    (void)acrxClassDictionary()->atPut(name, raw); // a new name: nothing is replaced
    return raw;
}
