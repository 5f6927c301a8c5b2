// Timed steps that the host carries out while its sheet is open, so that tests and
// demonstrations can drive the pages as a user would. The script is a list of steps
// separated by ';', each "MS ACTION [ARGUMENTS]": MS milliseconds after the previous step
// (the first after the sheet is shown), ACTION one of
//   page N            select page N (0 is the first tab)
//   apply | ok | cancel   press that button of the sheet
//   key KEYS          keystrokes through the system's input, e.g. alt+left, escape, left,
//                     alt+up*3 (three presses held down, i.e. two repeats, then the release)
//   combo ID INDEX    choose item INDEX of combo box ID on the current page, as a user does
//   slider ID POS     move trackbar ID of the current page to POS, as a user does
//   click ID          click button ID of the current page (check boxes too)
//   command ID        send WM_COMMAND ID to the current page
//   rclick ID         right-click control ID of the current page
//   press ID          click button ID in the dialog or message box in front of the sheet
//   dump              record the current page's controls (and the sheet's Apply button)
//   dump-dialog       record the dialog or message box in front of the sheet
//   shot PATH         save the sheet window as a 24-bit BMP; shot-screen PATH: the screen
//   log TEXT          record TEXT
// Steps run even while a modal dialog of a page is open (its message loop runs them).
#ifndef SHEET_SCRIPT_H
#define SHEET_SCRIPT_H

#include <windows.h>

#include <string>

// false (with the reason on stderr) when the script cannot be read.
bool ParseSheetScript(const std::string &script);
// Starts the steps for the sheet; timeoutMs (0: none) cancels the sheet when it is still
// open by then and ends the process if that does not close it either.
void StartSheetScript(HWND sheet, DWORD timeoutMs);
bool SheetTimedOut();

// Records every tab's title as "tab N TITLE".
void LogSheetTabs(HWND sheet);

#endif
