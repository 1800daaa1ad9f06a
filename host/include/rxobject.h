// rxobject.h - the runtime's object and class descriptor: every host class knows its
// AcRxClass, and the class test walks the parent chain.
#pragma once

class AcRxClass;

// Declares a class's descriptor members. ACRX_DEFINE_MEMBERS in one .cpp defines them.
#define ACRX_DECLARE_MEMBERS(CLASS_NAME)                                                           \
    static AcRxClass *desc();                                                                      \
    static CLASS_NAME *cast(const AcRxObject *inPtr) {                                             \
        return (inPtr != nullptr && inPtr->isKindOf(CLASS_NAME::desc()))                           \
                   ? const_cast<CLASS_NAME *>(static_cast<const CLASS_NAME *>(inPtr))              \
                   : nullptr;                                                                      \
    }                                                                                              \
    AcRxClass *isA() const override

// Defines desc() (one descriptor per class, made on first use and entered into the
// "ClassDictionary" of the system registry) and isA().
#define ACRX_DEFINE_MEMBERS(CLASS_NAME, PARENT_NAME, DXF_NAME)                                     \
    AcRxClass *CLASS_NAME::desc() {                                                                \
        static AcRxClass *s_desc = acrxDefineClass(#CLASS_NAME, PARENT_NAME::desc(), DXF_NAME);    \
        return s_desc;                                                                             \
    }                                                                                              \
    AcRxClass *CLASS_NAME::isA() const {                                                           \
        return CLASS_NAME::desc();                                                                 \
    }

class AcRxObject {
public:
    virtual ~AcRxObject();
    static AcRxClass *desc();
    static AcRxObject *cast(const AcRxObject *inPtr) { return const_cast<AcRxObject *>(inPtr); }
    // The object's runtime class. An object may report none (nullptr).
    virtual AcRxClass *isA() const;
    // True when isA() is cls or derives from it.
    bool isKindOf(const AcRxClass *cls) const;
};

class AcRxClass : public AcRxObject {
public:
    AcRxClass(const char *name, AcRxClass *parent, const char *dxfName);
    ~AcRxClass() override;
    static AcRxClass *desc();
    AcRxClass *isA() const override;
    const char *name() const { return mName; }
    const char *dxfName() const { return mDxfName; }
    AcRxClass *myParent() const { return mParent; }
    // True when this class is other or one of its ancestors is.
    bool isDerivedFrom(const AcRxClass *other) const;

private:
    const char *mName;
    AcRxClass *mParent;
    const char *mDxfName;
};

// Makes (once) the descriptor of a class and enters it into the class dictionary.
// name and dxfName must be string literals (they are kept, not copied).
AcRxClass *acrxDefineClass(const char *name, AcRxClass *parent, const char *dxfName);
