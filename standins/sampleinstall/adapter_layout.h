// What the board's installer leaves for the display utility on a Windows 95/98 machine:
// the board's PCI instance with its class, maker and driver; its entry in the current
// hardware configuration; the driver's "UTILITY" key with the colour-format values, the
// refresh lists of every mode and the position file's name; and the position file.
#ifndef ADAPTER_LAYOUT_H
#define ADAPTER_LAYOUT_H

struct AdapterLayout {
    const char *device;        // below HKLM "Enum\PCI"
    const char *instance;      // below the device
    const char *className;     // "Class"; null: not written
    const char *maker;         // "Mfg"; null: not written
    const char *driver;        // "Driver", the key below "...\Services\Class"
    const char *configEntry;   // below HKEY_DYN_DATA "Config Manager\Enum"
    bool present;              // write the "Config Manager\Enum" entry naming the instance
    bool utilityKey;           // create the driver's "UTILITY" key and its values
    int format555or565;        // "555or565" (0: 555, 1: 565); -1: not written
    int d3dFullSupport;        // "D3DFullSupport"; -1: not written
    bool refreshLists;         // the "%02u_%04u_%04u_L" values
    const char *posData;       // "PosData"; null: not written
    const char *posIni;        // "POSINI"; null: not written
    bool positionFile;         // write the position file named by PosData, else POSINI
};

// The board as the installer leaves it: "ZANRO INC." display adapter, present, driver
// "DISPLAY\0001", 565 format, no full Direct3D support, position file "ZANPOS.INI".
void DefaultAdapterLayout(AdapterLayout *layout);

// Writes the layout; false when a part could not be written (named on stderr).
bool WriteAdapterLayout(const AdapterLayout *layout);
// Takes away what WriteAdapterLayout writes for this layout (the driver's key only when
// nothing else is left in it).
void RemoveAdapterLayout(const AdapterLayout *layout);

// The refresh codes the sample lists for a mode, and the position values of its file.
// Exposed for tests that compare with what the page offers.
int SampleRefreshCodes(unsigned width, unsigned height, unsigned char *codes, int capacity);

// The tool's "adapter" and "adapter-remove" commands (arguments after the command word).
int SampleAdapterCommand(int argc, char **argv);
int SampleAdapterRemoveCommand(int argc, char **argv);

#endif
