// The system's own settings page of the Display properties sheet, played by the host: a
// page with a few of the system's texts that records the notifications it gets.
#ifndef SYSTEM_PAGE_H
#define SYSTEM_PAGE_H

#include <windows.h>
#include <prsht.h>

// The title must stay valid until the sheet is created.
HPROPSHEETPAGE CreateSystemPage(const char *title);

#endif
