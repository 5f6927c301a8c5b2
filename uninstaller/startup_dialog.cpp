#include "startup_dialog.h"

#include "resource.h"
#include "uninstall_sequence.h"

namespace {

const char kProductKey[] = "SOFTWARE\\ZANRO INC\\DISPLAY";

// "いいえ": the boot folder is forgotten, the copy in the Windows directory stays.
void ForgetBootDir()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, "BootDir");
    RegCloseKey(key);
}

} // namespace

void CenterWindow(HWND window)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return;
    int x = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
    SetWindowPos(window, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

BOOL StartUninstall(HWND dialog, WPARAM, LPARAM)
{
    CenterWindow(dialog);
    // Posted, so that the run starts from the dialog's own loop once the click is handled.
    PostMessageA(dialog, UM_UNINSTALL, 0, 0);
    return 1;
}

INT_PTR CALLBACK UninstallDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        CenterWindow(dialog);
        return TRUE;
    case WM_COMMAND:
        // The whole wParam: only a click notification of the two buttons counts, and
        // IDCANCEL (Esc, the close box) is ignored on purpose.
        if (wParam == IDYES)
            return StartUninstall(dialog, wParam, lParam);
        if (wParam == IDNO) {
            ForgetBootDir();
            EndDialog(dialog, 1);
        }
        return TRUE;
    case UM_UNINSTALL:
        RunUninstall(dialog);
        return TRUE;
    case UM_REBOOT:
        ExitWindowsEx(EWX_REBOOT, 0);
        return TRUE;
    default:
        return FALSE;
    }
}
