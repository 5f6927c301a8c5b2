// A page-like window pair on the simulated board for driving ApplyModeChange: a sheet
// window (the page's parent), the page as its child, and a separate top-level window
// captioned "画面のプロパティ". The test program's own import table is rewritten so that
// the driver calls reach the simulation and the message boxes, dialogs and timers are
// recorded on their way to the real functions.
#ifndef MODE_CHANGE_FIXTURE_H
#define MODE_CHANGE_FIXTURE_H

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_answerer.h"
#include "driver_sim.h"
#include "mode_table.h"

extern const char kUtilityCaption[];   // "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ"
extern const char kDriverKeyPath[];    // below HKEY_LOCAL_MACHINE

struct BoxSeen {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    int answer;      // what MessageBoxA returned; -1 when the box was held back
};

struct DialogSeen {
    HINSTANCE instance;
    int templateId;
    HWND owner;
    DLGPROC proc;
    INT_PTR result;          // -2 when the dialog was held back
    DWORD elapsedMs;
    RECT rect;               // after WM_INITDIALOG
    HICON icon;              // of static 1015 after WM_INITDIALOG
    bool everyReturnFalse;   // the procedure returned FALSE for every message
};

struct TimerSeen {
    bool kill;
    HWND window;
    UINT_PTR id;
    UINT period;
    UINT_PTR result;
};

struct WindowMessage {
    HWND target;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool duringApply;   // arrived before ApplyModeChange returned (sent, not posted)
    bool pressQueued;   // at its arrival, PSM_PRESSBUTTON waited in "画面のプロパティ"'s queue
};

class ModeChangeTest : public ::testing::Test {
public:
    // The platform this program runs as, from GetVersionExA, as adapter identification
    // would set it.
    static bool RunningWin9x();
    static bool RunningWin98();

protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the board's modes (before BuildTable).
    void UseModes(const std::vector<SimMode> &modes);
    // Builds the page's table from the simulation and the driver key, then forgets the
    // driver calls made so far.
    void BuildTable();
    // Indices of a mode in the table; fails the test when it is absent.
    ModeSelection Select(DWORD bits, DWORD width, DWORD height, DWORD code);

    // Calls ApplyModeChange on the page; up to `modal` boxes and dialogs may be shown (more
    // are held back and recorded), then the test thread's queue is drained.
    void Apply(const ModeSelection &selection, int modal = 0);
    void Apply(UINT colorIndex, UINT areaIndex, UINT refreshIndex, int modal = 0);

    std::vector<SimCall> Changes() const;        // ChangeDisplaySettingsA calls seen
    std::vector<SimCall> EnumCalls() const;      // EnumDisplaySettingsA calls seen
    std::vector<BoxSeen> Boxes() const;
    std::vector<DialogSeen> Dialogs() const;
    std::vector<TimerSeen> Timers() const;
    std::vector<WindowMessage> SheetMessages() const;        // to the page's parent
    std::vector<WindowMessage> PropertiesMessages() const;   // to "画面のプロパティ"
    std::vector<std::string> QuickResLog() const;            // the stand-in library's calls

    // The restart request: PSM_RESTARTWINDOWS sent to the page's parent and, on Windows 98
    // only, PSM_PRESSBUTTON (Apply) posted to "画面のプロパティ"; none when `expected` is false.
    void ExpectRestartRequest(bool expected = true);

    // Binds pfnQuickResChange to the stand-in ZANCHG32.DLL and sets quickResAvailable.
    void UseDisplayModeLibrary();

    // Driver key values (9x): the refresh codes of a mode and the recorded choice.
    static void WriteRefreshList(DWORD bits, DWORD width, DWORD height, const std::vector<BYTE> &codes);
    static void WriteChoice(DWORD bits, DWORD width, DWORD height, BYTE code);
    static bool ReadChoice(DWORD bits, DWORD width, DWORD height, BYTE *code);
    static bool ReadFormat(DWORD *value);

    static SimMode Mode(DWORD bits, DWORD width, DWORD height, DWORD frequency);

    HWND sheet = nullptr;
    HWND page = nullptr;
    HWND displayProperties = nullptr;
};

bool SameMode(const SimMode &a, const SimMode &b);
// The record the platform enumerates for a mode: the 95 family lists every mode once,
// without a frequency.
SimMode Listed(DWORD bits, DWORD width, DWORD height, DWORD hertz);
// The ChangeDisplaySettingsA calls, as (flags, record) pairs.
void ExpectCalls(const std::vector<SimCall> &calls, const std::vector<std::pair<DWORD, SimMode>> &expected);
// Placed as the dialogs centre themselves on the screen.
void ExpectCentred(const DialogSeen &dialog);
std::string Describe(const SimMode &m);
std::string Describe(const std::vector<SimCall> &calls);

#endif
