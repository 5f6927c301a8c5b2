// State of the settings page that the page, its keyboard hook and the subclassed system
// settings page share. Everything runs on the property sheet's thread.
#ifndef PAGE_STATE_H
#define PAGE_STATE_H

#include <windows.h>

#include "mode_table.h"

// The mode that the page shows and applies.
extern ModeSelection pageSelection;
// The page's window, for the keyboard hook; null while no page exists.
extern HWND pageWindow;
// The thread keyboard hook while the page is active; null whenever none is installed.
extern HHOOK keyboardHook;
// 1 while this page decides the mode: the system settings page's Apply is then swallowed.
extern DWORD pageOwnsMode;
// 1 while the system settings page decides the mode: this page's Apply then sets nothing.
extern DWORD skipPageApply;
// 1 while the page shows a stand-in for a mode in force that the table lacks and the user
// has not chosen a mode since: Apply then has no choice of the user's to carry out.
extern DWORD pageModeUnlisted;

#endif
