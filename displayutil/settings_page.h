// The display utility's page of the Display sheet: colour depth, desktop area, refresh
// rate and the Direct3D colour choice, applied when the sheet applies.
#ifndef SETTINGS_PAGE_H
#define SETTINGS_PAGE_H

#include <windows.h>

#include "page_procs.h"


// Clamps the three indices to the mode table, fills the mode controls from it and
// writes the clamped indices back. An empty table leaves the controls empty and
// disabled, and every index 0.
void FillPageControls(HWND page, UINT &colorIndex, UINT &areaIndex, UINT &refreshIndex);

INT_PTR CALLBACK VersionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
