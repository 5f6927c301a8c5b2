// The system's own settings page of the Display sheet also sets the mode at Apply. Its
// window procedure is replaced so that the page the user activated last decides.
#ifndef SETTINGS_SUBCLASS_H
#define SETTINGS_SUBCLASS_H

#include <windows.h>

// The system page's own procedure while it is subclassed; null when no window is.
extern WNDPROC settingsPageOldProc;
// The subclassed system page; null when no window is.
extern HWND settingsPageWindow;

// Finds the system settings page among the sheet's children and subclasses it, unless a
// window is subclassed already. The caller tests settingsPageOldProc to learn the outcome.
void SubclassSettingsPage(HWND page);

LRESULT CALLBACK SettingsPageSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Called when this utility's own page goes away: a system page that outlives it must not
// go on losing its Apply to a page that no longer exists.
void SettingsPageOwnerGone();

#endif
