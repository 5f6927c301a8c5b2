// The page's picture of the monitor ("ZanStatic", control 1004) and the four arrow
// pictures around it ("ZanButton", controls 1006 to 1009).
#ifndef MONITOR_CONTROLS_H
#define MONITOR_CONTROLS_H

#include <windows.h>

#include "resource.h"

enum { MONITOR_PICTURE_TOP = 40 };   // the picture's distance from the top of the page

// Which monitor picture "ZanStatic" draws: 0 until the page is first activated, then 1.
extern DWORD monitorPictureIndex;

LRESULT CALLBACK MonitorPictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ArrowButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// 0 left, 1 up, 2 right, 3 down for the arrow controls' ids; -1 for any other id.
int ArrowDirection(int controlId);

#endif
