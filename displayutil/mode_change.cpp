// Carrying out the page's mode choice. Five roads: nothing to do; the same mode again;
// a change between the 32K- and 64K-colour formats, which waits for a restart; a live
// colour-depth switch through the display-mode library; and the ordinary road, where the
// change is tested, announced, set and taken back unless the user confirms in time.
#include "mode_change.h"

#include <commctrl.h>
#include <prsht.h>

#include "adapter_state.h"
#include "mode_persistence.h"
#include "mode_table.h"
#include "position_engine.h"
#include "resource.h"

UINT_PTR testTimerId;

namespace {

// The sheet that was last asked to restart Windows. Until it closes, the mode in force is
// not the one that the restart will bring: the choice waiting for it is in the driver key.
HWND restartRequestedSheet;

const char kCaption[] = "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ";
const char kSheetCaption[] = "画面のプロパティ";
const char kFormatRestartText[] = "32K色、64K色の変更は\nｼｽﾃﾑの再起動が必要です";
const char kAnnounceText[] =
    "設定を変更します。\n画面が正しく表示されない場合は、\n約10秒待つと元の設定に戻ります。";
const char kRestoredText[] = "設定を元に戻しました。";

enum {
    TEST_KEEP = 1,          // "はい(&Y)"
    TEST_REVERT = 2,        // "いいえ(&N)", Escape or the timeout
    RESTART_CANCEL = 2,     // "ｷｬﾝｾﾙ"
    VALUE_NAME_BUFFER = 32,
    SAVED_VALUE_BUFFER = 16,
    // A mode text of three fields up to this value fits the library's 32-byte buffer.
    QUICKRES_FIELD_LIMIT = 99999
};

// A driver-key value as it was before a choice was written over it.
struct SavedValue {
    BOOL known;     // the value could be read (or was found missing)
    BOOL present;
    DWORD type;
    DWORD size;
    BYTE data[SAVED_VALUE_BUFFER];
};

// The ten-second test and its revert work on one DEVMODE list per call; the list, the
// mode in force when the call began and the driver values it may have to put back travel
// together.
struct ModeChange {
    DEVMODEA list[MODE_LIST_CAPACITY];
    int count;
    // The mode in force when the call began, as a ModeSelection when the table has it.
    BOOL currentInTable;
    UINT currentColor, currentArea, currentRefresh;
    // The mode in force as the driver describes it (bits 15 for the 32K-colour format).
    BOOL inForceKnown;
    DWORD inForceBits, inForceWidth, inForceHeight, inForceRefresh;
    // A platform record that sets the mode in force again, for a revert that cannot go
    // through the table.
    BOOL haveInForceRecord;
    DEVMODEA inForceRecord;
    // What the new choice's driver values were before RecordModeChoice wrote them.
    char choiceValueName[VALUE_NAME_BUFFER];
    SavedValue choiceValue;
    SavedValue formatValue;
};

BOOL SelectionInTable(UINT colorIndex, UINT areaIndex, UINT refreshIndex)
{
    if (!modeTable || colorIndex >= colorDepthCount) return FALSE;
    const ColorDepthEntry &depth = modeTable[colorIndex];
    if (!depth.areas || areaIndex >= depth.areaCount) return FALSE;
    const DesktopAreaEntry &area = depth.areas[areaIndex];
    return area.refreshRates && refreshIndex < area.refreshCount;
}

void CentreOnScreen(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    const int left = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
    SetWindowPos(window, NULL, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void ShowQuestionIcon(HWND dialog)
{
    SendDlgItemMessageA(dialog, IDC_QUESTION_ICON, STM_SETICON, (WPARAM)LoadIconA(NULL, IDI_QUESTION), 0);
}

// Whether an enumerated record stands for the driver's mode, by the rule RecordModeChoice
// matches with: on the Windows 95 family the 32K-colour format is a 16-bit platform mode
// and the refresh code travels through the driver key, so only records without a
// frequency match.
BOOL RecordIsModeInForce(const ModeChange &change, const DEVMODEA &record)
{
    DWORD bits = change.inForceBits;
    DWORD frequency = change.inForceRefresh;
    if (isWin9x) {
        if (bits == 15) bits = 16;
        frequency = 0;
    }
    return record.dmBitsPerPel == bits && record.dmPelsWidth == change.inForceWidth &&
           record.dmPelsHeight == change.inForceHeight && record.dmDisplayFrequency == frequency;
}

// The platform's records of the modes a selection can name. The table takes only modes of
// at least 640 x 480, the first MODE_LIST_CAPACITY of them in enumeration order; the list
// takes the same, so every mode of the table has its record however many smaller modes
// the platform offers, and the list never outgrows its room. The mode in force is looked
// for among all records as they arrive, the smaller ones included.
void FillModeList(ModeChange &change)
{
    change.count = 0;
    DEVMODEA record;
    for (DWORD i = 0; change.count < MODE_LIST_CAPACITY; i++) {
        record.dmSize = sizeof record;
        record.dmDriverExtra = 0;
        if (!EnumDisplaySettingsA(NULL, i, &record)) break;
        if (change.inForceKnown && !change.haveInForceRecord && RecordIsModeInForce(change, record)) {
            change.inForceRecord = record;
            change.haveInForceRecord = TRUE;
        }
        if (record.dmPelsWidth >= 640 && record.dmPelsHeight >= 480) change.list[change.count++] = record;
    }
    if (!change.haveInForceRecord) {
        // The platform's own account of the mode it set.
        DEVMODEA &current = change.inForceRecord;
        current.dmSize = sizeof current;
        current.dmDriverExtra = 0;
        change.haveInForceRecord = EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &current) ? TRUE : FALSE;
    }
}

// The mode in force, as a place in the table and in the driver's terms.
void FindModeInForce(ModeChange &change)
{
    QueryCurrentSelection(change.currentColor, change.currentArea, change.currentRefresh);
    change.currentInTable = SelectionInTable(change.currentColor, change.currentArea, change.currentRefresh);
    if (change.currentInTable) {
        const ColorDepthEntry &depth = modeTable[change.currentColor];
        const DesktopAreaEntry &area = depth.areas[change.currentArea];
        change.inForceKnown = TRUE;
        change.inForceBits = depth.bitsPerPixel;
        change.inForceWidth = area.width;
        change.inForceHeight = area.height;
        change.inForceRefresh = area.refreshRates[change.currentRefresh];
        return;
    }
    // The table lacks the mode in force: ask the driver what it is.
    DisplayUtilEscape reply;
    if (QueryDisplayDriver(&reply)) {
        change.inForceKnown = TRUE;
        change.inForceBits = reply.modeBitsPerPixel;
        change.inForceWidth = reply.modeWidth;
        change.inForceHeight = reply.modeHeight;
        change.inForceRefresh = reply.modeRefreshRate;
    }
}

void SaveValue(const char *name, SavedValue &saved)
{
    saved.known = FALSE;
    saved.present = FALSE;
    if (!driverKey) return;
    saved.size = sizeof saved.data;
    const LONG rc = RegQueryValueExA(driverKey, name, NULL, &saved.type, saved.data, &saved.size);
    if (rc == ERROR_SUCCESS) {
        saved.known = TRUE;
        saved.present = TRUE;
    } else if (rc == ERROR_FILE_NOT_FOUND) {
        saved.known = TRUE;
    }
}

void RestoreValue(const char *name, const SavedValue &saved)
{
    if (!driverKey || !saved.known) return;
    if (saved.present) RegSetValueExA(driverKey, name, 0, saved.type, saved.data, saved.size);
    else RegDeleteValueA(driverKey, name);
}

// Before RecordModeChoice writes the new choice's driver values (Windows 95 family only),
// keeps what they were, so that a road that ends without a change leaves them as found.
void SaveChoiceValues(ModeChange &change, UINT colorIndex, UINT areaIndex)
{
    change.choiceValue.known = FALSE;
    change.formatValue.known = FALSE;
    if (!isWin9x) return;
    const ColorDepthEntry &depth = modeTable[colorIndex];
    const DesktopAreaEntry &area = depth.areas[areaIndex];
    if (depth.bitsPerPixel > 99 || area.width > 9999 || area.height > 9999) return;
    wsprintfA(change.choiceValueName, "%02u_%04u_%04u_C", (unsigned)depth.bitsPerPixel, (unsigned)area.width,
              (unsigned)area.height);
    SaveValue(change.choiceValueName, change.choiceValue);
    SaveValue("555or565", change.formatValue);
}

void RestoreChoiceValues(const ModeChange &change)
{
    if (!isWin9x) return;
    RestoreValue(change.choiceValueName, change.choiceValue);
    RestoreValue("555or565", change.formatValue);
}

void SetMode(DEVMODEA *record, DWORD flags, BOOL notifyLibrary)
{
    ChangeDisplaySettingsA(record, flags);
    if (notifyLibrary) NotifyQuickResChange(record);
}

// Sets the mode that was in force when the call began. Through the table when it has that
// mode (which also writes its driver values back); otherwise the platform record found at
// the start, with the driver values put back as they were. FALSE when nothing is known
// that could be set.
BOOL SetModeInForce(ModeChange &change, DWORD flags, BOOL notifyLibrary)
{
    if (change.currentInTable) {
        const int j = RecordModeChoice(change.list, change.count, change.currentColor, change.currentArea,
                                       change.currentRefresh);
        if (j >= 0 && j < change.count) {
            SetMode(&change.list[j], flags, notifyLibrary);
            return TRUE;
        }
    } else {
        RestoreChoiceValues(change);
    }
    if (!change.haveInForceRecord) return FALSE;
    SetMode(&change.inForceRecord, flags, notifyLibrary);
    return TRUE;
}

// Sets the record and asks the user, for ten seconds, whether the screen looks right;
// anything but a confirmation takes the change back.
void TestAndConfirm(HWND page, ModeChange &change, int index, DWORD flags, BOOL notifyLibrary)
{
    SetMode(&change.list[index], flags, notifyLibrary);
    const INT_PTR answer = DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_TEST_MODE), page, TestDialogProc, 0);
    // Only a confirmation keeps the change: a dialog that could not be shown (0 or -1)
    // asked nobody, so it counts as no answer.
    if (answer == TEST_KEEP) return;
    if (SetModeInForce(change, flags, notifyLibrary))
        MessageBoxA(page, kRestoredText, kCaption, MB_ICONINFORMATION);
}

// Records the choice with the area's first refresh code, sets it in the registry and asks
// for the restart that makes it take effect.
void SetForRestart(HWND page, ModeChange &change, UINT colorIndex, UINT areaIndex)
{
    const int j = RecordModeChoice(change.list, change.count, colorIndex, areaIndex, 0);
    if (j >= 0 && j < change.count) ChangeDisplaySettingsA(&change.list[j], CDS_UPDATEREGISTRY);
    RequestRestart(page);
}

BOOL IsFormatChange(DWORD newBits, DWORD oldBits)
{
    return (newBits == 15 && oldBits == 16) || (newBits == 16 && oldBits == 15);
}

}  // namespace

void NotifyQuickResChange(const DEVMODEA *mode)
{
    if (!pfnQuickResChange || !mode) return;
    // Real modes have small numbers; a record that would not fit the text is not passed on.
    if (mode->dmPelsWidth > QUICKRES_FIELD_LIMIT || mode->dmPelsHeight > QUICKRES_FIELD_LIMIT ||
        mode->dmBitsPerPel > QUICKRES_FIELD_LIMIT)
        return;
    char text[QUICKRES_TEXT_BUFFER];
    wsprintfA(text, "%dx%dx%d", (int)mode->dmPelsWidth, (int)mode->dmPelsHeight, (int)mode->dmBitsPerPel);
    pfnQuickResChange(text);
}

void RequestRestart(HWND page)
{
    if (isWin98) {
        HWND sheet = FindWindowA(NULL, kSheetCaption);
        if (sheet) PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0);
    }
    restartRequestedSheet = GetParent(page);
    SendMessageA(GetParent(page), PSM_RESTARTWINDOWS, 0, 0);
}

void ApplyModeChange(HWND page, UINT colorIndex, UINT areaIndex, UINT refreshIndex)
{
    // About 40 KB: the list is the size the design gives it.
    ModeChange change;
    change.inForceKnown = FALSE;
    change.haveInForceRecord = FALSE;
    change.choiceValue.known = FALSE;
    change.formatValue.known = FALSE;

    FindModeInForce(change);
    FillModeList(change);

    // An empty table, or a selection that does not lie in it, stands for no mode.
    if (!SelectionInTable(colorIndex, areaIndex, refreshIndex)) return;
    const BOOL sameSelection = change.currentInTable && colorIndex == change.currentColor &&
                               areaIndex == change.currentArea && refreshIndex == change.currentRefresh;
    // Once this sheet has been asked to restart, the page shows the mode in force, which is
    // not the one waiting for the restart; setting it "again" (the sheet's Apply that the
    // restart request presses on Windows 98, or an OK) would write its driver values over
    // the choice that waits. Nothing is done for it.
    if (sameSelection && restartRequestedSheet && restartRequestedSheet == GetParent(page) &&
        IsWindow(restartRequestedSheet))
        return;
    SaveChoiceValues(change, colorIndex, areaIndex);
    const int idx = RecordModeChoice(change.list, change.count, colorIndex, areaIndex, refreshIndex);
    if (idx < 0 || idx >= change.count) {
        RestoreChoiceValues(change);
        return;
    }

    if (sameSelection) {
        // The same mode: the driver values just written (a new Direct3D colour choice,
        // for one) stand; the 95 family sets the mode once more.
        if (isWin9x) ChangeDisplaySettingsA(&change.list[idx], CDS_UPDATEREGISTRY);
        return;
    }

    if (isWin9x) {
        const DWORD newBits = modeTable[colorIndex].bitsPerPixel;
        if (change.inForceKnown && IsFormatChange(newBits, change.inForceBits)) {
            MessageBoxA(page, kFormatRestartText, kCaption, MB_ICONINFORMATION);
            // The new format is recorded with the area and refresh code in force; when the
            // table lacks them, the choice as written above stands.
            if (change.currentInTable)
                RecordModeChoice(change.list, change.count, colorIndex, change.currentArea, change.currentRefresh);
            RequestRestart(page);
            return;
        }
        // Without the mode in force in the table, the driver's bits tell whether the
        // depth changes.
        const BOOL depthChanges = change.currentInTable ? colorIndex != change.currentColor
                                                        : !change.inForceKnown || newBits != change.inForceBits;
        if (quickResAvailable && depthChanges &&
            ChangeDisplaySettingsA(&change.list[idx], CDS_TEST_QUICKRES) == DISP_CHANGE_SUCCESSFUL) {
            const INT_PTR answer = DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_RESTART_QUESTION), page,
                                                   RestartDialogProc, 0);
            if (answer == IDC_SWITCH_NOW) {
                TestAndConfirm(page, change, idx, CDS_UPDATEREGISTRY, TRUE);
            } else if (answer == IDC_RESTART_NOW) {
                SetForRestart(page, change, colorIndex, areaIndex);
            } else {
                RestoreChoiceValues(change);
            }
            return;
        }
    }

    const LONG test = ChangeDisplaySettingsA(&change.list[idx], CDS_TEST);
    if (test == DISP_CHANGE_SUCCESSFUL) {
        if (MessageBoxA(page, kAnnounceText, kCaption, MB_ICONINFORMATION | MB_OKCANCEL) == IDOK)
            TestAndConfirm(page, change, idx, CDS_RESET_UPDATEREGISTRY, FALSE);
        else
            RestoreChoiceValues(change);
    } else if (test == DISP_CHANGE_RESTART) {
        SetForRestart(page, change, colorIndex, areaIndex);
    } else {
        RestoreChoiceValues(change);
    }
}

INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreOnScreen(dialog);
        ShowQuestionIcon(dialog);
        testTimerId = SetTimer(dialog, TEST_TIMER_ID, TEST_TIMER_PERIOD, NULL);
        break;
    case WM_COMMAND:
        if (wParam == IDOK) EndDialog(dialog, TEST_KEEP);
        else if (wParam == IDCANCEL) EndDialog(dialog, TEST_REVERT);
        break;
    case WM_TIMER:
        KillTimer(dialog, testTimerId);
        EndDialog(dialog, TEST_REVERT);
        break;
    }
    return FALSE;
}

INT_PTR CALLBACK RestartDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        CentreOnScreen(dialog);
        ShowQuestionIcon(dialog);
        break;
    case WM_COMMAND:
        if (wParam == RESTART_CANCEL || wParam == IDC_SWITCH_NOW || wParam == IDC_RESTART_NOW)
            EndDialog(dialog, (INT_PTR)wParam);
        break;
    }
    return FALSE;
}
