// acedads.h - the host's C-style user-input, output and entity-data calls (R15
// shapes: narrow strings in the module's code page, Windows-1251).
#pragma once
#include "adsdef.h"
#include "adscodes.h"

// --- prompts -------------------------------------------------------------------
[[nodiscard]] int acedGetPoint(const ads_point pt, const char *prompt, ads_point result);
[[nodiscard]] int acedGetAngle(const ads_point pt, const char *prompt, ads_real *result);
[[nodiscard]] int acedGetReal(const char *prompt, ads_real *result);
// result must hold 133 bytes; at most 132 characters are kept.
[[nodiscard]] int acedGetString(int cronly, const char *prompt, char *result);
int acedInitGet(int val, const char *kwl);

// --- picks and selection sets -----------------------------------------------------
[[nodiscard]] int acedEntSel(const char *str, ads_name entres, ads_point ptres);
[[nodiscard]] int acedNEntSelP(const char *str, ads_name entres, ads_point ptres, int pickflag,
                               ads_matrix xformres, resbuf **refstkres);
[[nodiscard]] int acedSSGet(const char *str, const void *pt1, const void *pt2, const resbuf *filter,
                            ads_name ss);
int acedSSLength(const ads_name ss, long *len);
int acedSSName(const ads_name ss, long i, ads_name entres);
int acedSSFree(const ads_name ss);

// --- system variables --------------------------------------------------------------
// acedGetVar fills *result; an RTSTR value is malloc'd and belongs to the caller (free()).
[[nodiscard]] int acedGetVar(const char *sym, resbuf *result);
[[nodiscard]] int acedSetVar(const char *sym, const resbuf *val);

// --- output --------------------------------------------------------------------------
int acutPrintf(const char *format, ...) __attribute__((format(printf, 1, 2)));
int acedAlert(const char *str);
// 1 when the user asked to break off (Escape pending), else 0. Reading clears it.
int acedUsrBrk();
// Prints "Application <module file> ERROR: <str>" on the command line.
void acdbFail(const char *str);

// --- entity data -----------------------------------------------------------------------
// The entity's group list; nullptr for a bad name or an erased entity. Release with acutRelRb.
resbuf *acdbEntGet(const ads_name ent);
resbuf *acutNewRb(int v);
// Frees the whole list from rb on, including the strings its nodes own.
int acutRelRb(resbuf *rb);
// Frees a string returned by AcDbEntity::layer(), linetype() and their kin.
void acutDelString(char *&str);
