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

enum SimCallKind { SIM_ENUM, SIM_CHANGE, SIM_QUERYESCSUPPORT, SIM_ESCAPE_QUERY, SIM_ESCAPE_SETPOSITION,
                   SIM_ESCAPE_OTHER };

struct SimCall {
    SimCallKind kind;
    DWORD flags;      // ChangeDisplaySettingsA flags
    SimMode mode;     // ChangeDisplaySettingsA: the record passed (zero for a null record);
                      // EnumDisplaySettingsA: the record returned; query: the mode reported
    LONG result;      // what the simulation answered
    DWORD position;   // set-position request; query: the position reported
    DWORD index;      // EnumDisplaySettingsA: the mode number asked for
    int escape;       // ExtEscape: the escape number (QUERYESCSUPPORT: the code asked about)
};

enum { SIM_MAX_MODES = 512, SIM_MAX_CALLS = 4096 };

// Back to the default board: depths 8, 16, 24, 32; areas 640x480 to 1280x1024; several
// refresh rates; escape supported; position adjustable; 800x600x16 in force; calls cleared.
// As on the real platforms, the Windows 95 family enumerates every mode once with
// dmDisplayFrequency 0 (the refresh codes live in the driver key's "_L" values); Windows
// NT enumerates 60, 75 and 85 Hz (60 and 75 at 1280x1024). In force: 16 bits 800x600 at
// frequency 0 (95 family) or 75 (NT). Position 0x00100020. No driver key attached.
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
// The same for one mode (bits, width, height; frequency 0 matches any) and flags value;
// takes precedence over DriverSimSetChangeResult. Up to 32 rules.
void DriverSimSetChangeResultFor(const SimMode &mode, DWORD flags, LONG result);
// A record that matches no listed mode (bits, width, height, and the frequency unless
// either is 0) gets DISP_CHANGE_BADMODE whatever the rules say; a null record changes
// nothing and gets DISP_CHANGE_SUCCESSFUL.

// false: QUERYESCSUPPORT still answers 1, but the query fails (returns -1, reply untouched).
void DriverSimSetQueryAnswered(bool answered);

// Lets the simulation read the board driver's values like the real driver: attaching
// (a boot) reads "555or565" (0: 16-bit modes run, and are reported, as 15 bits); a mode
// set with dmDisplayFrequency 0 runs at the code of its "%02u_%04u_%04u_C" value (code 1,
// the hardware default, without one). path is below root; null detaches.
void DriverSimUseDriverKey(HKEY root, const char *path);

int DriverSimCallCount();
const SimCall &DriverSimCall(int index);
void DriverSimClearCalls();

// Replaces the module's import entries of the three functions (gdi32 ExtEscape, user32
// EnumDisplaySettingsA and ChangeDisplaySettingsA); false when none was found. Entries
// already replaced count as found; Uninstall puts the originals back. Install before the
// module's code runs: GCC takes an import entry for a constant, so a function that has
// already read the entry may keep calling the original until it returns.
bool DriverSimInstall(HMODULE module);
void DriverSimUninstall(HMODULE module);

#endif
