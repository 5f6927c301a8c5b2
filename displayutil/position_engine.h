// Screen position engine: steps the picture on the monitor through the board driver's
// private escape, one allowed value at a time, and keeps the position per display mode.
#ifndef POSITION_ENGINE_H
#define POSITION_ENGINE_H

#include <windows.h>

#include <stddef.h>

enum { ESC_DISPLAYUTIL = 12608 };   // 0x3140

enum { ESCFN_QUERY = 0, ESCFN_SETPOSITION = 1 };

enum { POSMOVE_LEFT = 0, POSMOVE_UP = 1, POSMOVE_RIGHT = 2, POSMOVE_DOWN = 3, POSMOVE_RESET = 4 };

// The driver's record, the same for request and reply.
struct DisplayUtilEscape {
    DWORD function;            // request only: ESCFN_QUERY or ESCFN_SETPOSITION
    DWORD bitsPerPixel;        // the mode the position belongs to
    DWORD width;
    DWORD height;
    DWORD refreshRate;
    DWORD position;            // horizontal value in the high 16 bits, vertical in the low
    DWORD modeBitsPerPixel;    // the mode in force
    DWORD modeWidth;
    DWORD modeHeight;
    DWORD modeRefreshRate;     // refresh code
    DWORD positionAdjustable;  // non-zero when the mode in force can be moved
    DWORD reserved[5];
};
static_assert(sizeof(DisplayUtilEscape) == 64, "the driver's record is 64 bytes");
static_assert(offsetof(DisplayUtilEscape, function) == 0, "record layout");
static_assert(offsetof(DisplayUtilEscape, bitsPerPixel) == 4, "record layout");
static_assert(offsetof(DisplayUtilEscape, width) == 8, "record layout");
static_assert(offsetof(DisplayUtilEscape, height) == 12, "record layout");
static_assert(offsetof(DisplayUtilEscape, refreshRate) == 16, "record layout");
static_assert(offsetof(DisplayUtilEscape, position) == 20, "record layout");
static_assert(offsetof(DisplayUtilEscape, modeBitsPerPixel) == 24, "record layout");
static_assert(offsetof(DisplayUtilEscape, modeWidth) == 28, "record layout");
static_assert(offsetof(DisplayUtilEscape, modeHeight) == 32, "record layout");
static_assert(offsetof(DisplayUtilEscape, modeRefreshRate) == 36, "record layout");
static_assert(offsetof(DisplayUtilEscape, positionAdjustable) == 40, "record layout");
static_assert(offsetof(DisplayUtilEscape, reserved) == 44, "record layout");

enum {
    POSITION_VALUE_CAPACITY = 2048,   // values per axis
    POSITION_TEXT_BUFFER = 2048,      // bytes read from one position-file entry
    POSITION_FILE_NAME_BUFFER = 32,   // "PosData" / "POSINI": at most 31 characters
    MODE_KEY_BUFFER = 48              // room for the widest driver values in the mode key
};

struct PositionAxis {
    LONG currentIndex;
    LONG baselineIndex;    // where a reset returns; the page moves it here when it applies
    LONG valueCount;
    WORD values[POSITION_VALUE_CAPACITY];
};

extern PositionAxis horizontalAxis;
extern PositionAxis verticalAxis;
// bitsPerPixel, width, height, refreshRate, positionAdjustable of the last mode check.
extern DWORD lastReportedMode[5];
extern DWORD positionUnavailable;

// One step (POSMOVE_*); 1 when a position was sent, 0 when no position table is available.
int MovePosition(int code);
// Writes the driver's position under the mode key in driverKey.
void StorePosition();

int LoadPositionTable();
int HasDisplayModeChanged();
int IsPositionFixed();
// Hex-digit pairs of an entry text into 16-bit values (first byte of a pair is the high
// byte), stored little-endian at out; returns the number of values. out must have room
// for 2 * POSITION_VALUE_CAPACITY bytes; nothing is stored beyond that.
int ParseHexWords(BYTE *out, const char *text, int length);

// Asks the driver for its record; 1 when the driver answered, 0 otherwise (reply zeroed).
int QueryDisplayDriver(DisplayUtilEscape *reply);
// The mode key "%02u_%04u_%04u_%03u" of a reply, into MODE_KEY_BUFFER bytes.
void FormatModeKey(char *key, const DisplayUtilEscape &reply);

#endif
