// Writing the PC-9821's standard display adapter back into the registry and SYSTEM.INI.
#ifndef STANDARD_DISPLAY_H
#define STANDARD_DISPLAY_H

#include <windows.h>

// Re-enables every BIOS-enumerated display device in the first hardware configuration or,
// when there is none, creates a root-enumerated standard adapter; then sets the display
// settings back to 8 bits at 640 by 480 and names the adapter in SYSTEM.INI.
void RestoreStandardDisplay();

// The lowest of 0000 to 0099 that is not the name of one of the parent's first 100 subkeys
// nor of any other subkey, into `name` (5 bytes). 0 when all hundred names are taken.
int FindFreeInstanceName(HKEY parent, char name[5]);

#endif
