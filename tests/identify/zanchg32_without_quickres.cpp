// A display-mode library of an older make: it knows CheckQuickRes but not QuickResChange.
#include <windows.h>

extern "C" {

__declspec(dllexport) int WINAPI CheckQuickRes(void)
{
    return 5;
}

__declspec(dllexport) int WINAPI RestartWindows(void)
{
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

} // extern "C"
