// Whether a device is among those present, by the configuration manager's list of
// Windows 95/98 (HKEY_DYN_DATA "Config Manager\Enum").
#ifndef HARDWARE_PRESENCE_H
#define HARDWARE_PRESENCE_H

// The board's S3 chip: PCI vendor 5333, device 8A22.
#define BOARD_HARDWARE_ID "PCI\\VEN_5333&DEV_8A22"

enum {
    MAX_PRESENT_DEVICES = 256,  // entries of the list that are examined
    HARDWARE_KEY_SIZE = 255,    // bytes read of a device's "HardWareKey"
};

// 1 when the "HardWareKey" of one of the first 256 present devices begins with prefix
// (ASCII case ignored), else 0.
int IsDevicePresent(const char *prefix);

#endif
