#include "settings_page.h"

#include "adapter_state.h"
#include "keyboard_hook.h"
#include "mode_change.h"
#include "mode_persistence.h"
#include "mode_table.h"
#include "monitor_controls.h"
#include "page_state.h"
#include "position_engine.h"
#include "resource.h"
#include "settings_subclass.h"

#include <commctrl.h>
#include <prsht.h>

namespace {

void Changed(HWND page)
{
    SendMessageA(GetParent(page), PSM_CHANGED, (WPARAM)page, 0);
}

// Unsigned clamp to the last index of a list of count entries (count at least 1).
UINT Clamp(UINT index, DWORD count)
{
    return index > count - 1 ? count - 1 : index;
}

void ColorLabel(char *text, DWORD bitsPerPixel)
{
    if (bitsPerPixel >= 32)
        lstrcpyA(text, "True Color");
    else
        wsprintfA(text, "%lu 色", (unsigned long)(1UL << bitsPerPixel));
}

void RefreshLabel(char *text, DWORD code)
{
    if (code == 1)
        lstrcpyA(text, "ﾊｰﾄﾞｳｪｱの既定の設定を使用");
    else if (code < 55)
        wsprintfA(text, "%lu ﾍﾙﾂ (ｲﾝﾀｰﾚｰｽ)", (unsigned long)(2 * code));
    else
        wsprintfA(text, "%lu ﾍﾙﾂ", (unsigned long)code);
}

void SetD3DBox(HWND page, UINT check, BOOL enable)
{
    CheckDlgButton(page, IDC_DIRECT3D_COLOR, check);
    EnableWindow(GetDlgItem(page, IDC_DIRECT3D_COLOR), enable);
}

void HideD3DBox(HWND page)
{
    ShowWindow(GetDlgItem(page, IDC_DIRECT3D_GROUP), SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_DIRECT3D_COLOR), SW_HIDE);
}

// No mode of at least 640 x 480: nothing to choose, so nothing is offered.
void ShowNoModes(HWND page)
{
    SendDlgItemMessageA(page, IDC_COLOR_DEPTH, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(page, IDC_REFRESH_RATE, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessageA(page, IDC_DESKTOP_AREA, TBM_SETRANGE, TRUE, MAKELONG(0, 0));
    SendDlgItemMessageA(page, IDC_DESKTOP_AREA, TBM_SETPOS, TRUE, 0);
    SetDlgItemTextA(page, IDC_AREA_TEXT, "");
    EnableWindow(GetDlgItem(page, IDC_COLOR_DEPTH), FALSE);
    EnableWindow(GetDlgItem(page, IDC_REFRESH_RATE), FALSE);
    EnableWindow(GetDlgItem(page, IDC_DESKTOP_AREA), FALSE);
    HideD3DBox(page);
}

bool TableIsEmpty()
{
    return !modeTable || colorDepthCount == 0;
}

// The mode in force, as the driver reports it, into pageSelection and the controls.
void ShowCurrentMode(HWND page)
{
    QueryCurrentSelection(pageSelection.colorIndex, pageSelection.areaIndex, pageSelection.refreshIndex);
    // One past the end in colorIndex: the driver's mode is not in the table (or the driver
    // did not answer). The controls then show the nearest entry, which is not a choice.
    pageModeUnlisted = !TableIsEmpty() && pageSelection.colorIndex >= colorDepthCount;
    FillPageControls(page, pageSelection.colorIndex, pageSelection.areaIndex, pageSelection.refreshIndex);
}

void CentreOnScreen(HWND window)
{
    RECT rc;
    GetWindowRect(window, &rc);
    int left = (GetSystemMetrics(SM_CXSCREEN) - (rc.right - rc.left)) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - (rc.bottom - rc.top)) / 2;
    SetWindowPos(window, NULL, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void RemoveKeyboardHook()
{
    if (keyboardHook) {
        UnhookWindowsHookEx(keyboardHook);
        keyboardHook = NULL;
    }
}

void Activate(HWND page)
{
    ShowCurrentMode(page);
    pageOwnsMode = 1;
    skipPageApply = 0;
    SubclassSettingsPage(page);
    // One hook at a time, whatever order the sheet's notifications come in.
    if (!keyboardHook)
        keyboardHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardHookProc, moduleInstance, GetCurrentThreadId());
    monitorPictureIndex = 1;
    InvalidateRect(GetDlgItem(page, IDC_MONITOR_PICTURE), NULL, TRUE);
}

void Apply(HWND page)
{
    // Apply pressed while this page was never active: the system page, if it exists now,
    // keeps the mode it shows.
    if (!settingsPageOldProc) {
        SubclassSettingsPage(page);
        if (settingsPageOldProc) {
            pageOwnsMode = 0;
            skipPageApply = 1;
        }
    }
    if (skipPageApply)
        return;

    StorePosition();
    horizontalAxis.baselineIndex = horizontalAxis.currentIndex;
    verticalAxis.baselineIndex = verticalAxis.currentIndex;

    // Nothing to set without a table, and nothing chosen while the page still shows only
    // a stand-in for a mode in force that the table lacks.
    if (!TableIsEmpty() && !pageModeUnlisted)
        ApplyModeChange(page, pageSelection.colorIndex, pageSelection.areaIndex, pageSelection.refreshIndex);

    ShowCurrentMode(page);
}

void OnNotify(HWND page, const NMHDR *header)
{
    switch (header->code) {
    case PSN_SETACTIVE:
        Activate(page);
        break;
    case PSN_KILLACTIVE:
        RemoveKeyboardHook();
        StorePosition();
        break;
    case PSN_APPLY:
        Apply(page);
        break;
    case PSN_RESET:
        MovePosition(POSMOVE_RESET);
        StorePosition();
        break;
    }
}

void OnCommand(HWND page, WORD id, WORD notification)
{
    switch (id) {
    case IDC_COLOR_DEPTH:
        if (notification == CBN_SELCHANGE) {
            LRESULT sel = SendDlgItemMessageA(page, IDC_COLOR_DEPTH, CB_GETCURSEL, 0, 0);
            if (sel == CB_ERR)
                break;
            pageSelection.colorIndex = (UINT)sel;
            pageModeUnlisted = 0;
            FillPageControls(page, pageSelection.colorIndex, pageSelection.areaIndex, pageSelection.refreshIndex);
            Changed(page);
        }
        break;
    case IDC_REFRESH_RATE:
        if (notification == CBN_SELCHANGE) {
            LRESULT sel = SendDlgItemMessageA(page, IDC_REFRESH_RATE, CB_GETCURSEL, 0, 0);
            if (sel == CB_ERR)
                break;
            pageSelection.refreshIndex = (UINT)sel;
            pageModeUnlisted = 0;
            Changed(page);
        }
        break;
    case IDC_DIRECT3D_COLOR:
        useDirect3DColor = IsDlgButtonChecked(page, IDC_DIRECT3D_COLOR) == BST_CHECKED;
        Changed(page);
        break;
    case IDC_SHOW_VERSION:
        DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_VERSION), page, VersionDialogProc, 0);
        break;
    }
}

} // namespace

void FillPageControls(HWND page, UINT &colorIndex, UINT &areaIndex, UINT &refreshIndex)
{
    if (TableIsEmpty()) {
        ShowNoModes(page);
        colorIndex = areaIndex = refreshIndex = 0;
        return;
    }
    UINT color = Clamp(colorIndex, colorDepthCount);
    const ColorDepthEntry &depth = modeTable[color];
    // The table's build gives every depth an area and every area a code; an entry without
    // one is shown as nothing rather than read past.
    UINT area = depth.areaCount ? Clamp(areaIndex, depth.areaCount) : 0;
    const DesktopAreaEntry *selectedArea = depth.areaCount ? &depth.areas[area] : NULL;
    DWORD refreshCount = selectedArea ? selectedArea->refreshCount : 0;
    UINT refresh = refreshCount ? Clamp(refreshIndex, refreshCount) : 0;

    char text[64];
    HWND colorCombo = GetDlgItem(page, IDC_COLOR_DEPTH);
    SendMessageA(colorCombo, CB_RESETCONTENT, 0, 0);
    for (DWORD i = 0; i < colorDepthCount; ++i) {
        ColorLabel(text, modeTable[i].bitsPerPixel);
        SendMessageA(colorCombo, CB_ADDSTRING, 0, (LPARAM)text);
    }
    SendMessageA(colorCombo, CB_SETCURSEL, color, 0);

    HWND trackbar = GetDlgItem(page, IDC_DESKTOP_AREA);
    DWORD lastArea = depth.areaCount ? depth.areaCount - 1 : 0;
    SendMessageA(trackbar, TBM_SETRANGE, TRUE, MAKELONG(0, lastArea));
    SendMessageA(trackbar, TBM_SETPOS, TRUE, area);

    if (selectedArea)
        wsprintfA(text, "%lu x %lu ﾋﾟｸｾﾙ", (unsigned long)selectedArea->width,
                  (unsigned long)selectedArea->height);
    else
        text[0] = '\0';
    SetDlgItemTextA(page, IDC_AREA_TEXT, text);

    HWND refreshCombo = GetDlgItem(page, IDC_REFRESH_RATE);
    SendMessageA(refreshCombo, CB_RESETCONTENT, 0, 0);
    for (DWORD i = 0; i < refreshCount; ++i) {
        RefreshLabel(text, selectedArea->refreshRates[i]);
        SendMessageA(refreshCombo, CB_ADDSTRING, 0, (LPARAM)text);
    }
    SendMessageA(refreshCombo, CB_SETCURSEL, refresh, 0);

    if (isWin9x && has555or565 && d3dFullSupport == 0) {
        if (depth.bitsPerPixel == 15)
            SetD3DBox(page, BST_CHECKED, FALSE);
        else if (depth.bitsPerPixel == 16)
            SetD3DBox(page, BST_UNCHECKED, FALSE);
        else
            SetD3DBox(page, useDirect3DColor ? BST_CHECKED : BST_UNCHECKED, TRUE);
    } else {
        HideD3DBox(page);
    }

    colorIndex = color;
    areaIndex = area;
    refreshIndex = refresh;
}

INT_PTR CALLBACK SettingsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(page, DWLP_USER, lParam);
        pageWindow = page;
        BuildModeTable();
        ShowCurrentMode(page);
        return TRUE;
    case WM_DESTROY:
        FreeModeTable();
        RemoveKeyboardHook();
        if (pageWindow == page)
            pageWindow = NULL;
        SettingsPageOwnerGone();
        return TRUE;
    case WM_NOTIFY:
        if (lParam)
            OnNotify(page, (const NMHDR *)lParam);
        return TRUE;
    case WM_COMMAND:
        OnCommand(page, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_HSCROLL:
        if ((HWND)lParam == GetDlgItem(page, IDC_DESKTOP_AREA)) {
            pageSelection.areaIndex = (UINT)SendDlgItemMessageA(page, IDC_DESKTOP_AREA, TBM_GETPOS, 0, 0);
            pageModeUnlisted = 0;
            FillPageControls(page, pageSelection.colorIndex, pageSelection.areaIndex, pageSelection.refreshIndex);
            Changed(page);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreOnScreen(dialog);
        break;
    case WM_COMMAND:
        if (wParam == IDOK || wParam == IDCANCEL)
            EndDialog(dialog, 1);
        break;
    }
    return FALSE;
}
