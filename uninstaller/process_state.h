// Process-wide values of the uninstaller's working instance.
#ifndef PROCESS_STATE_H
#define PROCESS_STATE_H

#include <windows.h>

extern char windowsDir[MAX_PATH];
extern char systemDir[MAX_PATH];
extern char infDir[MAX_PATH];
// Whether the final message offers a restart. Starts at 1; cleared when the board's chip
// is absent, set again whenever a deletion has to wait for the next boot.
extern int restartRequired;
extern HINSTANCE appInstance;

#endif
