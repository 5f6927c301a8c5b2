// Simulated display driver of the board, for tests and the demo. Under Wine the real
// screen offers one mode and no private escape, so the simulation takes the place of
// ExtEscape, EnumDisplaySettingsA and ChangeDisplaySettingsA in a loaded module's import
// table; the module itself is not changed.
//
// (Interface agreed between the display-utility helpers; implementation in driver_sim.cpp.)
#ifndef DRIVER_SIM_H
#define DRIVER_SIM_H

#include <windows.h>

struct SimMode {
    DWORD bits, width, height, frequency;
};

enum SimCallKind { SIM_ENUM, SIM_CHANGE, SIM_QUERYESCSUPPORT, SIM_ESCAPE_QUERY, SIM_ESCAPE_SETPOSITION };

struct SimCall {
    SimCallKind kind;
    DWORD flags;      // ChangeDisplaySettingsA flags
    SimMode mode;     // ChangeDisplaySettingsA: the record passed (zero for a null record)
    LONG result;      // what the simulation answered
    DWORD position;   // set-position request
};

enum { SIM_MAX_MODES = 512, SIM_MAX_CALLS = 4096 };

// Back to the default board: depths 8, 16, 24, 32; areas 640x480 to 1280x1024; several
// refresh rates; escape supported; position adjustable; 800x600x16 in force; calls cleared.
void DriverSimReset();
void DriverSimSetModes(const SimMode *modes, int count);
void DriverSimSetCurrent(const SimMode &mode);
SimMode DriverSimCurrent();
void DriverSimSetPosition(DWORD position);   // horizontal in the high 16 bits
DWORD DriverSimPosition();
void DriverSimSetAdjustable(bool adjustable);
// false plays another vendor's adapter: QUERYESCSUPPORT answers 0 and the escape fails.
void DriverSimSetEscapeSupported(bool supported);
// The answer ChangeDisplaySettingsA gives for a flags value (e.g. CDS_TEST, 0x80000002,
// CDS_UPDATEREGISTRY); DISP_CHANGE_SUCCESSFUL unless set. Successful non-test calls make
// the record the mode in force.
void DriverSimSetChangeResult(DWORD flags, LONG result);

int DriverSimCallCount();
const SimCall &DriverSimCall(int index);
void DriverSimClearCalls();

// Replaces the module's import entries of the three functions; false when none was found.
bool DriverSimInstall(HMODULE module);
void DriverSimUninstall(HMODULE module);

#endif
