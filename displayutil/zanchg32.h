// The board's display-mode library ZANCHG32.DLL, which ships with the driver and is
// not part of these programs. Both programs call it: the uninstaller links it by name
// for RestartWindows; the display utility loads it at run time (stdcall, ANSI text).
#ifndef ZANCHG32_H
#define ZANCHG32_H

#include <windows.h>

extern "C" {
// Restarts Windows; the uninstaller ignores the result and simply ends if it returns.
int WINAPI RestartWindows(void);
// Non-zero when a colour-depth change can be made live, without a restart.
int WINAPI CheckQuickRes(void);
// Tells the library the mode now in force, as "WIDTHxHEIGHTxBITS" (e.g. 1024x768x16).
int WINAPI QuickResChange(const char *modeText);
}

typedef int(WINAPI *CheckQuickResProc)(void);
typedef int(WINAPI *QuickResChangeProc)(const char *modeText);

#endif
