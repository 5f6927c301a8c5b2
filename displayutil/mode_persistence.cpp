// The driver-key values of a mode choice and the lookup of the mode in force.
#include "mode_persistence.h"

#include "adapter_state.h"
#include "position_engine.h"

namespace {

enum { VALUE_NAME_BUFFER = 48 };

void SetDword(const char *name, DWORD value)
{
    RegSetValueExA(driverKey, name, 0, REG_DWORD, (const BYTE *)&value, sizeof value);
}

void SetPastEnd(UINT &colorIndex, UINT &areaIndex, UINT &refreshIndex)
{
    colorIndex = colorDepthCount;
    areaIndex = 0;
    refreshIndex = 0;
    if (!modeTable || colorDepthCount == 0) return;
    const ColorDepthEntry &last = modeTable[colorDepthCount - 1];
    areaIndex = last.areaCount;
    if (last.areaCount > 0) refreshIndex = last.areas[last.areaCount - 1].refreshCount;
}

}  // namespace

int RecordModeChoice(const DEVMODEA *list, int count, UINT colorIndex, UINT areaIndex, UINT refreshIndex)
{
    if (count < 0) count = 0;
    // A selection outside the table (such as the one past the end that the lookup gives
    // when the mode in force is unknown) stands for no mode.
    if (!modeTable || colorIndex >= colorDepthCount) return count;
    const ColorDepthEntry &depth = modeTable[colorIndex];
    if (areaIndex >= depth.areaCount) return count;
    const DesktopAreaEntry &area = depth.areas[areaIndex];
    if (refreshIndex >= area.refreshCount) return count;

    DWORD bits = depth.bitsPerPixel;
    const DWORD width = area.width;
    const DWORD height = area.height;
    DWORD frequency = area.refreshRates[refreshIndex];

    if (isWin9x) {
        char name[VALUE_NAME_BUFFER];
        wsprintfA(name, "%02u_%04u_%04u_C", (unsigned)bits, (unsigned)width, (unsigned)height);
        const BYTE code = (BYTE)(frequency & 0xFF);
        RegSetValueExA(driverKey, name, 0, REG_BINARY, &code, 1);
        if (has555or565) {
            if (bits == 15 || bits == 16) SetDword("555or565", bits - 15);
            else if (d3dFullSupport == 0) SetDword("555or565", useDirect3DColor ? 0 : 1);
        }
        // The platform knows the 32K-colour format as a 16-bit mode, and the refresh code
        // reaches the driver only through the value just written.
        frequency = 0;
        if (bits == 15) bits = 16;
    }

    if (!list) return count;
    for (int i = 0; i < count; i++) {
        if (list[i].dmBitsPerPel == bits && list[i].dmPelsWidth == width && list[i].dmPelsHeight == height &&
            list[i].dmDisplayFrequency == frequency)
            return i;
    }
    return count;
}

void QueryCurrentSelection(UINT &colorIndex, UINT &areaIndex, UINT &refreshIndex)
{
    DisplayUtilEscape reply;
    if (QueryDisplayDriver(&reply) && modeTable) {
        for (DWORD d = 0; d < colorDepthCount; d++) {
            const ColorDepthEntry &depth = modeTable[d];
            if (depth.bitsPerPixel != reply.modeBitsPerPixel) continue;
            for (DWORD a = 0; a < depth.areaCount; a++) {
                const DesktopAreaEntry &area = depth.areas[a];
                if (area.width != reply.modeWidth || area.height != reply.modeHeight) continue;
                for (DWORD r = 0; r < area.refreshCount; r++) {
                    if (area.refreshRates[r] == reply.modeRefreshRate) {
                        colorIndex = d;
                        areaIndex = a;
                        refreshIndex = r;
                        return;
                    }
                }
            }
        }
    }
    SetPastEnd(colorIndex, areaIndex, refreshIndex);
}
