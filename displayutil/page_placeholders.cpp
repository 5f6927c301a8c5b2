// Minimal procedures for the page and its controls for as long as their real sources are
// not part of the module: the page only accepts the default focus, the controls behave as
// plain windows. Each one steps aside by itself once the real one's header is there, so
// this file can go as soon as both are.
#include "page_procs.h"

#if !__has_include("settings_page.h")
INT_PTR CALLBACK SettingsPageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}
#endif

#if !__has_include("monitor_controls.h")
LRESULT CALLBACK MonitorPictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK ArrowButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
#endif
