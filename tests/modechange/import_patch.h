// Replaces one entry of a loaded module's import table, so that a test can watch (and
// pass on) the calls that the code linked into that module makes.
#ifndef IMPORT_PATCH_H
#define IMPORT_PATCH_H

#include <windows.h>

// Returns the entry's previous target, or null when the module imports no such function.
void *PatchImport(HMODULE module, const char *dll, const char *function, void *replacement);

#endif
