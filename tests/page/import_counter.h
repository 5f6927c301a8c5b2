// Counts what a loaded module takes from the system and gives back: bitmaps and other GDI
// objects, device contexts, paint contexts, hooks and local-heap blocks. The module's
// import entries are pointed at counting wrappers (GetGuiResources cannot tell under Wine).
// Only calls made through that module's own import table are seen.
#ifndef IMPORT_COUNTER_H
#define IMPORT_COUNTER_H

#include <windows.h>

#include <string>

struct ResourceCounts {
    long bitmapsLoaded = 0, objectsDeleted = 0, liveBitmaps = 0;
    long memoryDcsCreated = 0, memoryDcsDeleted = 0;
    long dcsGot = 0, dcsReleased = 0;
    long paintsBegun = 0, paintsEnded = 0;
    long hooksSet = 0, hooksRemoved = 0, liveHooks = 0;
    long localAllocs = 0, localFrees = 0, liveLocalBlocks = 0;
    long liveLocalBytes = 0;
};

// Wraps the module's entries; false when none of them was found. One module at a time.
bool InstallImportCounters(HMODULE module);
void RemoveImportCounters();
ResourceCounts CurrentResourceCounts();
void ResetResourceCounts();
std::string Describe(const ResourceCounts &c);

#endif
