// Screen position engine. The driver accepts only the positions that the board's position
// file lists for the mode in force, so the engine steps through those lists and asks the
// driver for the mode before every step, reloading the lists when the mode has changed.
#include "position_engine.h"

#include "adapter_state.h"

PositionAxis horizontalAxis;
PositionAxis verticalAxis;
DWORD lastReportedMode[5];
DWORD positionUnavailable;

namespace {

void ClearRecord(DisplayUtilEscape *record)
{
    DWORD *field = &record->function;
    for (unsigned i = 0; i < sizeof(DisplayUtilEscape) / sizeof(DWORD); i++) field[i] = 0;
}

void SendPosition(DWORD position)
{
    DisplayUtilEscape request;
    ClearRecord(&request);
    request.function = ESCFN_SETPOSITION;
    request.position = position;
    HDC dc = GetDC(NULL);
    if (!dc) return;
    ExtEscape(dc, ESC_DISPLAYUTIL, sizeof request, (LPCSTR)&request, 0, NULL);
    ReleaseDC(NULL, dc);
}

// The position file's name from driverKey. The name must fit the buffer with its
// terminator; an empty name counts as missing.
int ReadPositionFileName(const char *valueName, char *name)
{
    DWORD length = POSITION_FILE_NAME_BUFFER;
    if (RegQueryValueExA(driverKey, valueName, NULL, NULL, (BYTE *)name, &length) != ERROR_SUCCESS) return 0;
    if (length == 0 || length > POSITION_FILE_NAME_BUFFER) return 0;
    if (name[length - 1] != 0) {
        if (length == POSITION_FILE_NAME_BUFFER) return 0;
        name[length] = 0;
    }
    return name[0] != 0;
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

BYTE HexValue(char c)
{
    if (c >= '0' && c <= '9') return (BYTE)(c - '0');
    if (c >= 'a' && c <= 'f') return (BYTE)(c - 'a' + 10);
    return (BYTE)(c - 'A' + 10);
}

void LoadAxis(PositionAxis &axis, const char *section, const char *key, char *text, const char *file)
{
    axis.currentIndex = 0;
    axis.baselineIndex = 0;
    DWORD length = GetPrivateProfileStringA(section, key, "", text, POSITION_TEXT_BUFFER, file);
    axis.valueCount = ParseHexWords((BYTE *)axis.values, text, (int)length);
}

void StartAt(PositionAxis &axis, WORD value)
{
    for (LONG i = 0; i < axis.valueCount; i++) {
        if (axis.values[i] == value) {
            axis.currentIndex = i;
            axis.baselineIndex = i;
            return;
        }
    }
}

// Loads the lists when the driver reports another mode; false when no table can be used.
bool PositionTableAvailable()
{
    if (HasDisplayModeChanged()) positionUnavailable = (LoadPositionTable() == 0);
    return !positionUnavailable && horizontalAxis.valueCount > 0 && verticalAxis.valueCount > 0;
}

bool IndexInList(const PositionAxis &axis, LONG index)
{
    return index >= 0 && index < axis.valueCount;
}

}  // namespace

int QueryDisplayDriver(DisplayUtilEscape *reply)
{
    ClearRecord(reply);
    DisplayUtilEscape request;
    ClearRecord(&request);
    request.function = ESCFN_QUERY;
    HDC dc = GetDC(NULL);
    if (!dc) return 0;
    int result = ExtEscape(dc, ESC_DISPLAYUTIL, sizeof(DWORD), (LPCSTR)&request, sizeof *reply, (LPSTR)reply);
    ReleaseDC(NULL, dc);
    // A driver that did not answer leaves nothing meaningful in the reply.
    if (result <= 0) {
        ClearRecord(reply);
        return 0;
    }
    return 1;
}

void FormatModeKey(char *key, const DisplayUtilEscape &reply)
{
    wsprintfA(key, "%02u_%04u_%04u_%03u", (unsigned)reply.bitsPerPixel, (unsigned)reply.width,
              (unsigned)reply.height, (unsigned)reply.refreshRate);
}

int ParseHexWords(BYTE *out, const char *text, int length)
{
    const int capacity = 2 * POSITION_VALUE_CAPACITY;
    int i = 0;
    int n = 0;
    for (;;) {
        while (i < length && !IsHexDigit(text[i])) i++;
        if (i >= length || n >= capacity) break;
        // A lone digit (before a separator or the end) stands for no byte: the board's
        // files write bytes as pairs, and an entry cut short by the read buffer ends in
        // half a pair.
        if (i + 1 >= length || !IsHexDigit(text[i + 1])) {
            i++;
            continue;
        }
        out[n++] = (BYTE)((HexValue(text[i]) << 4) | HexValue(text[i + 1]));
        i += 2;
        if ((n & 1) == 0) {
            BYTE high = out[n - 2];
            out[n - 2] = out[n - 1];
            out[n - 1] = high;
        }
    }
    return n / 2;
}

int HasDisplayModeChanged()
{
    DisplayUtilEscape reply;
    if (!QueryDisplayDriver(&reply)) {
        // Without an answer the mode cannot be confirmed: forget it, so that the table is
        // given up now and reloaded once the driver answers again.
        for (int i = 0; i < 5; i++) lastReportedMode[i] = 0;
        return 1;
    }
    const DWORD now[5] = {reply.bitsPerPixel, reply.width, reply.height, reply.refreshRate,
                          reply.positionAdjustable};
    int same = 1;
    for (int i = 0; i < 5; i++)
        if (now[i] != lastReportedMode[i]) same = 0;
    if (same) return 0;
    for (int i = 0; i < 5; i++) lastReportedMode[i] = now[i];
    return 1;
}

int IsPositionFixed()
{
    DisplayUtilEscape reply;
    if (!QueryDisplayDriver(&reply)) return 1;
    return reply.positionAdjustable == 0 ? 1 : 0;
}

int LoadPositionTable()
{
    char file[POSITION_FILE_NAME_BUFFER + 1];
    if (!ReadPositionFileName("PosData", file) && !ReadPositionFileName("POSINI", file)) return 0;
    if (IsPositionFixed()) return 0;
    DisplayUtilEscape reply;
    if (!QueryDisplayDriver(&reply)) return 0;
    char key[MODE_KEY_BUFFER];
    FormatModeKey(key, reply);
    char *text = (char *)LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, POSITION_TEXT_BUFFER);
    if (!text) return 0;
    LoadAxis(horizontalAxis, "POS_H", key, text, file);
    LoadAxis(verticalAxis, "POS_V", key, text, file);
    LocalFree(text);
    StartAt(horizontalAxis, (WORD)(reply.position >> 16));
    StartAt(verticalAxis, (WORD)(reply.position & 0xFFFF));
    return verticalAxis.valueCount * horizontalAxis.valueCount;
}

int MovePosition(int code)
{
    if (!PositionTableAvailable()) return 0;
    PositionAxis &h = horizontalAxis;
    PositionAxis &v = verticalAxis;
    switch (code) {
    case POSMOVE_LEFT:
        if (h.currentIndex + 1 < h.valueCount) h.currentIndex++;
        break;
    case POSMOVE_UP:
        if (v.currentIndex + 1 < v.valueCount) v.currentIndex++;
        break;
    case POSMOVE_RIGHT:
        if (h.currentIndex - 1 >= 0) h.currentIndex--;
        break;
    case POSMOVE_DOWN:
        if (v.currentIndex - 1 >= 0) v.currentIndex--;
        break;
    case POSMOVE_RESET:
        h.currentIndex = h.baselineIndex;
        v.currentIndex = v.baselineIndex;
        break;
    default:
        break;
    }
    // The page sets the baselines; never index outside the lists whatever they hold.
    if (!IndexInList(h, h.currentIndex)) h.currentIndex = 0;
    if (!IndexInList(v, v.currentIndex)) v.currentIndex = 0;
    SendPosition(((DWORD)h.values[h.currentIndex] << 16) | (DWORD)v.values[v.currentIndex]);
    return 1;
}

void StorePosition()
{
    if (!PositionTableAvailable()) return;
    DisplayUtilEscape reply;
    if (!QueryDisplayDriver(&reply)) return;
    char key[MODE_KEY_BUFFER];
    FormatModeKey(key, reply);
    RegSetValueExA(driverKey, key, 0, REG_BINARY, (const BYTE *)&reply.position, sizeof reply.position);
}
