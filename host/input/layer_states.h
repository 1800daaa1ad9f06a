// layer_states.h - the options of -LAYER that change layers by name lists (wildcards as
// "-LAYER ?" takes them, comma-separated): ON, OFF, Freeze, Thaw, Make, LType. Each asks its
// own questions and reports layers it cannot change; false when Escape ended it.
#pragma once

class AcDbDatabase;

namespace host {

bool layerOnOff(AcDbDatabase &db, bool on);
bool layerFreezeThaw(AcDbDatabase &db, bool freeze);
// Makes a layer (when it is new) and makes it current, turned on.
bool layerMake(AcDbDatabase &db);
// Gives layers a loaded linetype.
bool layerLinetype(AcDbDatabase &db);

} // namespace host
