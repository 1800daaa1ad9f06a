// dbapserv.h - the host application's services: which drawing is the working one.
#pragma once
#include "dbmain.h"

class AcDbHostApplicationServices {
public:
    // The drawing commands work on; nullptr when no drawing is open.
    AcDbDatabase *workingDatabase() const { return mWorking; }
    void setWorkingDatabase(AcDbDatabase *db) { mWorking = db; }

private:
    AcDbDatabase *mWorking = nullptr;
};

AcDbHostApplicationServices *acdbHostApplicationServices();
