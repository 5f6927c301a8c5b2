#include "adapter_state.h"

HINSTANCE moduleInstance;
DWORD isWin9x;
DWORD isWin98;
HKEY driverKey;
DWORD has555or565;
DWORD useDirect3DColor;
DWORD d3dFullSupport;
DWORD quickResAvailable;
CheckQuickResProc pfnCheckQuickRes;
QuickResChangeProc pfnQuickResChange;
