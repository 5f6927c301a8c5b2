// Process-wide values that adapter identification prepares for the rest of the module.
#ifndef ADAPTER_STATE_H
#define ADAPTER_STATE_H

#include <windows.h>

#include "zanchg32.h"

extern HINSTANCE moduleInstance;
extern DWORD isWin9x;
extern DWORD isWin98;
extern HKEY driverKey;
extern DWORD has555or565;
extern DWORD useDirect3DColor;
extern DWORD d3dFullSupport;
extern DWORD quickResAvailable;
extern CheckQuickResProc pfnCheckQuickRes;
extern QuickResChangeProc pfnQuickResChange;

#endif
