// The display modes of the primary display as three levels: colour depth, desktop area
// within the depth, refresh code within the area.
#ifndef MODE_TABLE_H
#define MODE_TABLE_H

#include <windows.h>

enum {
    MODE_LIST_CAPACITY = 256,     // working list of DEVMODEA records while building
    COLOR_DEPTH_CAPACITY = 8,
    DESKTOP_AREA_CAPACITY = 16,   // per depth
    REFRESH_CODE_CAPACITY = 16    // per area; also the bytes read from a "_L" value
};

// Refresh code: 1 = the hardware's default; below 55 = interlaced (shown doubled);
// 55 or more = hertz.
struct DesktopAreaEntry {
    DWORD refreshCount;
    DWORD *refreshRates;   // REFRESH_CODE_CAPACITY codes
    DWORD width;
    DWORD height;
};

struct ColorDepthEntry {
    DWORD areaCount;
    DesktopAreaEntry *areas;   // DESKTOP_AREA_CAPACITY entries
    DWORD bitsPerPixel;        // 15 stands for the 32K-colour format
};

typedef ColorDepthEntry ModeTable[COLOR_DEPTH_CAPACITY];

struct ModeSelection {
    UINT colorIndex;
    UINT areaIndex;
    UINT refreshIndex;
};

// Points to a ModeTable (COLOR_DEPTH_CAPACITY entries); null when no table is built.
extern ColorDepthEntry *modeTable;
extern DWORD colorDepthCount;

// Reads isWin9x, has555or565 and driverKey (adapter_state.h).
void BuildModeTable();
void FreeModeTable();

#endif
