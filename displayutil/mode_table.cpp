// The mode table behind the settings page's three choices. Every block is a zero-filled
// fixed-size allocation from the local heap; what does not fit a block is left out.
#include "mode_table.h"

#include "adapter_state.h"

ColorDepthEntry *modeTable;
DWORD colorDepthCount;

namespace {

enum { VALUE_NAME_BUFFER = 48, REFRESH_LIST_BUFFER = 256 };

void *AllocZeroed(SIZE_T size)
{
    return (void *)LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, size);
}

// Orders the working list by depth, then width, then height, then frequency. For a list
// whose areas grow in width and height together this is the order of ascending size; for
// areas of which one is wider and the other taller it still keeps equal modes together,
// which the grouping relies on.
bool RanksAbove(const DEVMODEA &a, const DEVMODEA &b)
{
    if (a.dmBitsPerPel != b.dmBitsPerPel) return a.dmBitsPerPel > b.dmBitsPerPel;
    if (a.dmPelsWidth != b.dmPelsWidth) return a.dmPelsWidth > b.dmPelsWidth;
    if (a.dmPelsHeight != b.dmPelsHeight) return a.dmPelsHeight > b.dmPelsHeight;
    return a.dmDisplayFrequency > b.dmDisplayFrequency;
}

// Appends the driver's refresh codes of each enumerated mode as copies of the mode. A value
// that cannot be read, or holds no byte, leaves the mode with its own frequency.
int AddDriverRefreshCodes(DEVMODEA *list, int count)
{
    const int enumerated = count;
    for (int m = 0; m < enumerated; m++) {
        char name[VALUE_NAME_BUFFER];
        wsprintfA(name, "%02u_%04u_%04u_L", (unsigned)list[m].dmBitsPerPel, (unsigned)list[m].dmPelsWidth,
                  (unsigned)list[m].dmPelsHeight);
        BYTE codes[REFRESH_LIST_BUFFER];
        DWORD length = sizeof codes;
        if (RegQueryValueExA(driverKey, name, NULL, NULL, codes, &length) != ERROR_SUCCESS) continue;
        if (length == 0) continue;
        if (length > REFRESH_CODE_CAPACITY) length = REFRESH_CODE_CAPACITY;
        list[m].dmDisplayFrequency = codes[0];
        for (DWORD b = length - 1; b >= 1; b--) {
            if (count >= MODE_LIST_CAPACITY) break;
            list[count] = list[m];
            list[count].dmDisplayFrequency = codes[b];
            count++;
        }
    }
    return count;
}

int AddFormat555Copies(DEVMODEA *list, int count)
{
    const int before = count;
    for (int e = 0; e < before && count < MODE_LIST_CAPACITY; e++) {
        if (list[e].dmBitsPerPel != 16) continue;
        list[count] = list[e];
        list[count].dmBitsPerPel = 15;
        count++;
    }
    return count;
}

void SortModes(DEVMODEA *list, int count)
{
    for (int i = 1; i < count; i++) {
        for (int j = 0; j < i; j++) {
            if (RanksAbove(list[j], list[i])) {
                DEVMODEA held = list[j];
                list[j] = list[i];
                list[i] = held;
            }
        }
    }
}

// A new area with its first refresh code; false when the depth is full or memory is short.
bool OpenArea(ColorDepthEntry &depth, const DEVMODEA &mode)
{
    if (depth.areaCount >= DESKTOP_AREA_CAPACITY) return false;
    DWORD *codes = (DWORD *)AllocZeroed(REFRESH_CODE_CAPACITY * sizeof(DWORD));
    if (!codes) return false;
    DesktopAreaEntry &area = depth.areas[depth.areaCount++];
    area.refreshRates = codes;
    area.width = mode.dmPelsWidth;
    area.height = mode.dmPelsHeight;
    area.refreshRates[0] = mode.dmDisplayFrequency;
    area.refreshCount = 1;
    return true;
}

bool OpenDepth(const DEVMODEA &mode)
{
    if (!modeTable) {
        modeTable = (ColorDepthEntry *)AllocZeroed(COLOR_DEPTH_CAPACITY * sizeof(ColorDepthEntry));
        if (!modeTable) return false;
    }
    if (colorDepthCount >= COLOR_DEPTH_CAPACITY) return false;
    DesktopAreaEntry *areas = (DesktopAreaEntry *)AllocZeroed(DESKTOP_AREA_CAPACITY * sizeof(DesktopAreaEntry));
    if (!areas) return false;
    ColorDepthEntry &depth = modeTable[colorDepthCount];
    depth.areas = areas;
    depth.areaCount = 0;
    depth.bitsPerPixel = mode.dmBitsPerPel;
    if (!OpenArea(depth, mode)) {
        LocalFree(areas);
        depth.areas = NULL;
        return false;
    }
    colorDepthCount++;
    return true;
}

void GroupModes(const DEVMODEA *list, int count)
{
    for (int e = 0; e < count; e++) {
        const DEVMODEA &mode = list[e];
        if (colorDepthCount == 0 || modeTable[colorDepthCount - 1].bitsPerPixel != mode.dmBitsPerPel) {
            OpenDepth(mode);
            continue;
        }
        ColorDepthEntry &depth = modeTable[colorDepthCount - 1];
        DesktopAreaEntry &area = depth.areas[depth.areaCount - 1];
        if (area.width != mode.dmPelsWidth || area.height != mode.dmPelsHeight) {
            OpenArea(depth, mode);
            continue;
        }
        if (area.refreshCount < REFRESH_CODE_CAPACITY) area.refreshRates[area.refreshCount++] = mode.dmDisplayFrequency;
    }
}

}  // namespace

void BuildModeTable()
{
    if (modeTable) FreeModeTable();
    DEVMODEA list[MODE_LIST_CAPACITY];
    int count = 0;
    for (DWORD i = 0; count < MODE_LIST_CAPACITY; i++) {
        DEVMODEA &slot = list[count];
        slot.dmSize = sizeof(DEVMODEA);
        slot.dmDriverExtra = 0;
        if (!EnumDisplaySettingsA(NULL, i, &slot)) break;
        if (slot.dmPelsWidth >= 640 && slot.dmPelsHeight >= 480) count++;
    }
    if (isWin9x) {
        count = AddDriverRefreshCodes(list, count);
        if (has555or565) count = AddFormat555Copies(list, count);
    }
    SortModes(list, count);
    GroupModes(list, count);
}

void FreeModeTable()
{
    if (modeTable) {
        for (DWORD d = 0; d < colorDepthCount; d++) {
            ColorDepthEntry &depth = modeTable[d];
            if (!depth.areas) continue;
            for (DWORD a = 0; a < depth.areaCount; a++) LocalFree(depth.areas[a].refreshRates);
            LocalFree(depth.areas);
        }
        LocalFree(modeTable);
    }
    modeTable = NULL;
    colorDepthCount = 0;
}
