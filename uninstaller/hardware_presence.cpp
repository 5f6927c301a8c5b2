#include "hardware_presence.h"

#include <windows.h>

#include "registry_layout.h"

int IsDevicePresent(const char *prefix)
{
    HKEY devices;
    if (RegOpenKeyExA(HKEY_DYN_DATA, "Config Manager\\Enum", 0, KEY_READ, &devices) != ERROR_SUCCESS)
        return 0;
    int found = 0;
    for (DWORD index = 0; index < MAX_PRESENT_DEVICES && !found; ++index) {
        char name[256];
        if (RegEnumKeyA(devices, index, name, sizeof name) != ERROR_SUCCESS)
            break;
        // Only a terminated text is compared; a key too long for the buffer (with its
        // terminator) is not read, and counts as no match.
        char hardwareKey[HARDWARE_KEY_SIZE];
        if (ReadRegistryValue(devices, name, "HardWareKey", hardwareKey, sizeof hardwareKey) &&
            NameHasPrefix(hardwareKey, prefix))
            found = 1;
    }
    RegCloseKey(devices);
    return found;
}
