// The uninstall run that the confirmation dialog starts when the user answers yes.
#ifndef UNINSTALL_SEQUENCE_H
#define UNINSTALL_SEQUENCE_H

#include <windows.h>

// Removes the installation the program was started from, older installations of the same
// board and, when nothing of the product is left, the shared pieces; restores the standard
// display adapter; tells the user and ends `dialog` (result 1). When files had to wait for
// the next boot and the user agrees, restarts Windows through the display-mode library.
// Returns 1.
int RunUninstall(HWND dialog);

#endif
