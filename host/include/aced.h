// aced.h - the editor: the command stack and the colour dialog.
#pragma once
#include "adesk.h"
#include "acdb.h"
#include "rxregsvc.h"

struct HINSTANCE__;
typedef HINSTANCE__ *HINSTANCE;

typedef void (*AcRxFunctionPtr)();
class AcEdUIContext;
class AcEdCommand;

constexpr Adesk::Int32 ACRX_CMD_MODAL = 0;
constexpr Adesk::Int32 ACRX_CMD_TRANSPARENT = 1;
constexpr Adesk::Int32 ACRX_CMD_USEPICKSET = 2;
constexpr Adesk::Int32 ACRX_CMD_REDRAW = 4;

// The host's commands, in groups. Names are case-insensitive; a global name is also
// reachable with a leading "_".
class AcEdCommandStack : public AcRxObject {
public:
    ACRX_DECLARE_MEMBERS(AcEdCommandStack);
    virtual Acad::ErrorStatus addCommand(const char *cmdGroupName, const char *cmdGlobalName,
                                         const char *cmdLocalName, Adesk::Int32 commandFlags,
                                         AcRxFunctionPtr functionAddr,
                                         AcEdUIContext *UIContext = nullptr, int fcode = -1,
                                         HINSTANCE hResourceHandle = nullptr,
                                         AcEdCommand **cmdPtrRet = nullptr) = 0;
    virtual Acad::ErrorStatus removeGroup(const char *groupName) = 0;
    virtual Acad::ErrorStatus removeCmd(const char *cmdGroupName, const char *cmdGlobalName) = 0;
};

#define acedRegCmds AcEdCommandStack::cast(acrxSysRegistry()->at(ACRX_COMMAND_DOCK))

// The colour dialog. On confirm nColor gets the chosen index (1..255, or 0/256 when
// bAllowMetaColor) and the result is true; on cancel nColor is untouched.
Adesk::Boolean acedSetColorDialog(int &nColor, Adesk::Boolean bAllowMetaColor, int nCurLayerColor);
