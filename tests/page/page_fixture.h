// The board, its driver key and the page as white-box tests see them: the display
// utility's sources are linked into the test program, its resources compiled into it, and
// the simulated driver sits in the program's own import table.
#ifndef PAGE_FIXTURE_H
#define PAGE_FIXTURE_H

#include "test_sheet.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

extern const char kDriverKeyPath[];      // below HKEY_CURRENT_USER
extern const char kPositionFile[];
extern const char kSystemPageTitle[];    // "ﾃﾞｨｽﾌﾟﾚｲの詳細"

// One desktop area of a depth with its refresh codes.
struct BoardArea {
    DWORD bits, width, height;
    std::vector<BYTE> codes;
};

bool IsWin9xPlatform();
bool IsWin98Platform();

class PageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the board's mode list: on the Windows 95 family as enumerated modes with the
    // codes in their "_L" values, elsewhere one enumerated mode per code.
    void UseModes(const std::vector<BoardArea> &areas);
    // The mode in force, by its refresh code.
    void SetCurrentMode(DWORD bits, DWORD width, DWORD height, DWORD code);
    // Position file lists for a mode key.
    void WritePositionLists(const std::string &modeKey, const char *horizontal, const char *vertical);

    HPROPSHEETPAGE CreateUtilityPage();
    // The sheet with the utility's page (at index utilityIndex) and the system page.
    void OpenSheet(int startPage, int utilityIndex = 1, const std::string &systemTitle = kSystemPageTitle,
                   DWORD settleMs = 200);
    HWND UtilityPage() const { return sheet_.Page(utilityIndex_); }
    HWND Control(int id) const { return GetDlgItem(UtilityPage(), id); }

    // What the controls show.
    std::vector<std::string> ComboItems(int id) const;
    int ComboSelection(int id) const;
    std::string ControlText(int id) const;
    int TrackbarMax() const;
    int TrackbarPos() const;

    // As the user's choice in the colour or refresh combo, or a trackbar move.
    void ChooseColor(int index);
    void ChooseRefresh(int index);
    void MoveTrackbar(int position);

    // ChangeDisplaySettingsA calls since the last ClearCalls, and set-position requests.
    int ModeSets(DWORD flags) const;
    int ModeChangeCalls() const;
    std::vector<DWORD> PositionsSent() const;

    TestSheet sheet_;
    SystemPageRecord system_;
    int utilityIndex_ = 1;
};

#endif
