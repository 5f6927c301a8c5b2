// The confirmation dialog 101 of the working instance, and the centring of the program's
// dialogs on the primary screen.
#ifndef STARTUP_DIALOG_H
#define STARTUP_DIALOG_H

#include <windows.h>

// Caption of the dialog and of every message of the uninstaller.
#define UNINSTALL_CAPTION "ｱﾝｲﾝｽﾄｰﾙ"

#define UM_REBOOT (WM_USER + 102)     // restart the machine
#define UM_UNINSTALL (WM_USER + 103)  // run the uninstall sequence

// Procedure of dialog 101: "はい" starts the uninstall, "いいえ" forgets the boot folder and
// ends the dialog. Esc and the close box do nothing.
INT_PTR CALLBACK UninstallDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Handler of "はい": centres the dialog again and posts UM_UNINSTALL to it. Returns 1.
BOOL StartUninstall(HWND dialog, WPARAM wParam, LPARAM lParam);
// Moves the window to the centre of the primary screen, keeping its size and Z order.
void CenterWindow(HWND window);

#endif
