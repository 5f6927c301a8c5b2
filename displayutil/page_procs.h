// Window and dialog procedures of the settings page and its custom controls.
#ifndef PAGE_PROCS_H
#define PAGE_PROCS_H

#include <windows.h>

// Dialog procedure of the page (template 101).
INT_PTR CALLBACK SettingsPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Window procedures of the classes "ZanStatic" (monitor picture) and "ZanButton" (arrows).
LRESULT CALLBACK MonitorPictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ArrowButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
