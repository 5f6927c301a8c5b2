// Points one import entry of a loaded module at a replacement, so that a test can make a
// platform call fail or count it for that module alone.
#ifndef IMPORT_PATCH_H
#define IMPORT_PATCH_H

#include <windows.h>

// Returns the previous entry, or null when the module does not import the function from
// that library (library names compare without regard to case).
void *PatchImport(HMODULE module, const char *dll, const char *function, void *replacement);

#endif
