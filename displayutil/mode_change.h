// Carrying out a mode choice of the page: set it, ask the user to confirm within ten
// seconds and take it back otherwise; changes that need a restart ask the sheet for one.
#ifndef MODE_CHANGE_H
#define MODE_CHANGE_H

#include <windows.h>

enum {
    TEST_TIMER_ID = 9997,        // the confirmation dialog's timer
    TEST_TIMER_PERIOD = 10000,   // milliseconds until an unanswered test is taken back
    QUICKRES_TEXT_BUFFER = 32    // "WIDTHxHEIGHTxBITS" for the display-mode library
};

// ChangeDisplaySettingsA flags of the live-switch test (CDS_TEST with the bit 0x80000000)
// and of the ordinary road's setting (CDS_RESET with CDS_UPDATEREGISTRY).
#define CDS_TEST_QUICKRES 0x80000002u
#define CDS_RESET_UPDATEREGISTRY 0x40000001u

// What SetTimer returned for the confirmation dialog.
extern UINT_PTR testTimerId;

// Applies the page's selection (indices into the mode table); page owns the message boxes
// and dialogs, its parent is the property sheet.
void ApplyModeChange(HWND page, UINT colorIndex, UINT areaIndex, UINT refreshIndex);

// Tells the display-mode library the mode now in force ("1024x768x16").
void NotifyQuickResChange(const DEVMODEA *mode);

// Asks the sheet to restart Windows when it closes (on Windows 98 it also presses Apply).
void RequestRestart(HWND page);

// Dialog 118 (is the screen shown correctly?) and dialog 120 (restart or switch now?).
INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RestartDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
