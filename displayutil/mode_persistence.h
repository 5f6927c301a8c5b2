// The driver-key values of a mode choice, and the lookup of the mode in force.
#ifndef MODE_PERSISTENCE_H
#define MODE_PERSISTENCE_H

#include <windows.h>

#include "mode_table.h"

// Records the choice in driverKey (Windows 95 family) and returns the index of the list
// record that stands for it, or count when none does (also for a selection outside the
// table, which then writes nothing).
int RecordModeChoice(const DEVMODEA *list, int count, UINT colorIndex, UINT areaIndex, UINT refreshIndex);

// The place of the driver's mode in force in the ModeTable. Without a match, or when the
// driver does not answer, every index is one past the end: colorIndex = colorDepthCount,
// areaIndex = the last depth's areaCount, refreshIndex = its last area's refreshCount
// (all 0 for an empty table).
void QueryCurrentSelection(UINT &colorIndex, UINT &areaIndex, UINT &refreshIndex);

#endif
