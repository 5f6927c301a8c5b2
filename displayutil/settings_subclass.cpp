#include "settings_subclass.h"

#include "page_state.h"

#include <commctrl.h>
#include <prsht.h>

WNDPROC settingsPageOldProc;
HWND settingsPageWindow;

namespace {

// The titles that the system's settings page goes by, in the order they are tried.
const char *const kSettingsPageTitles[] = {
    "ﾃﾞｨｽﾌﾟﾚｲの詳細",
    "ﾃﾞｨｽﾌﾟﾚｲの設定",
    "ディスプレイの詳細",
    "ディスプレイの設定",
    "設定",
};

// Byte for byte, terminator included: no locale's idea of equal widths or cases.
bool SameText(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        if (*a != *b)
            return false;
        if (*a == '\0')
            return true;
    }
}

bool IsSettingsPageTitle(const char *text)
{
    for (const char *title : kSettingsPageTitles)
        if (SameText(text, title))
            return true;
    return false;
}

// Back to the state at load: this utility's page owns the mode until told otherwise.
void ForgetSubclass()
{
    settingsPageOldProc = NULL;
    settingsPageWindow = NULL;
    pageOwnsMode = 1;
    skipPageApply = 0;
}

} // namespace

void SubclassSettingsPage(HWND page)
{
    if (settingsPageOldProc)
        return;
    HWND sheet = GetParent(page);
    if (!sheet)
        return;
    for (HWND child = GetWindow(sheet, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char text[256];
        text[0] = '\0';
        GetWindowTextA(child, text, sizeof text);
        text[sizeof text - 1] = '\0';
        if (!IsSettingsPageTitle(text))
            continue;
        WNDPROC old = (WNDPROC)GetWindowLongPtrA(child, GWLP_WNDPROC);
        if (!old)
            return;
        settingsPageOldProc = old;
        settingsPageWindow = child;
        SetWindowLongPtrA(child, GWLP_WNDPROC, (LONG_PTR)SettingsPageSubclassProc);
        return;
    }
    // Not there yet: a page's window is made when the page is first shown; a later call
    // tries again.
}

LRESULT CALLBACK SettingsPageSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC old = settingsPageOldProc;
    if (message == WM_NOTIFY && lParam) {
        const NMHDR *header = (const NMHDR *)lParam;
        if (header->code == (UINT)PSN_APPLY && pageOwnsMode)
            return PSNRET_NOERROR;   // this utility's page sets the mode
        if (header->code == (UINT)PSN_SETACTIVE) {
            pageOwnsMode = 0;
            skipPageApply = 1;
        }
    } else if (message == WM_NCDESTROY && window == settingsPageWindow) {
        // The window goes: give it back its procedure and forget it, so that the next
        // Display sheet in this process is subclassed afresh and starts as the first did.
        if ((WNDPROC)GetWindowLongPtrA(window, GWLP_WNDPROC) == SettingsPageSubclassProc)
            SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)old);
        ForgetSubclass();
    }
    return CallWindowProcA(old, window, message, wParam, lParam);
}

void SettingsPageOwnerGone()
{
    if (settingsPageOldProc) {
        // The system page outlives this one: nobody else would set the mode at its Apply.
        pageOwnsMode = 0;
        skipPageApply = 1;
    } else {
        pageOwnsMode = 1;
        skipPageApply = 0;
    }
}
