// The module's own entry point: the DLL carries no C runtime, so nothing runs before this.
#include <windows.h>

#include "adapter_state.h"

extern "C" BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        moduleInstance = instance;
    return TRUE;
}
