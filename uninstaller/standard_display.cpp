#include "standard_display.h"

#include <string.h>

#include "bounded_format.h"
#include "byte_search.h"
#include "logconf_record.h"

namespace {

const char kAdapterName[] = "ｽﾀﾝﾀﾞｰﾄﾞ ﾃﾞｨｽﾌﾟﾚｲ ｱﾀﾞﾌﾟﾀ (9821 ｼﾘｰｽﾞ)";
const char kDisplayClass[] = "System\\CurrentControlSet\\Services\\Class\\DISPLAY";
const char kRootDisplay[] = "Enum\\Root\\Display";
const BYTE kNoFlags[4] = {0, 0, 0, 0};

enum {
    kScanLimit = 100,
    kBiosNameSize = 255,
    kSearchNameSize = 256,
    kClassSize = 255,
    kFieldSize = 256,
};

int FoldAscii(int c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; }

bool EqualIgnoringCase(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        int x = FoldAscii(static_cast<unsigned char>(*a));
        int y = FoldAscii(static_cast<unsigned char>(*b));
        if (x != y)
            return false;
        if (x == 0)
            return true;
    }
}

void SetText(HKEY key, const char *name, const char *text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                   static_cast<DWORD>(strlen(text) + 1));
}

void SetBinary(HKEY key, const char *name, const BYTE *data, DWORD size)
{
    RegSetValueExA(key, name, 0, REG_BINARY, data, size);
}

// The "Class" value, when it reads within its field. Data that comes without a NUL is
// ended at its length, so it is never compared past what was read.
bool ReadClass(HKEY instanceKey, char *text)
{
    DWORD size = kClassSize;
    if (RegQueryValueExA(instanceKey, "Class", nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size) !=
        ERROR_SUCCESS)
        return false;
    if (size == 0) {
        text[0] = '\0';
    } else if (!HoldsByte(text, size, '\0')) {
        if (size >= kClassSize)
            return false;
        text[size] = '\0';
    }
    return true;
}

void EnableBiosDisplay(const char *deviceType, const char *instance)
{
    HKEY bios, type, device;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, "Config\\0001\\Enum\\BIOS", &bios) != ERROR_SUCCESS)
        return;
    if (RegCreateKeyA(bios, deviceType, &type) == ERROR_SUCCESS) {
        if (RegCreateKeyA(type, instance, &device) == ERROR_SUCCESS) {
            SetBinary(device, "CSConfigFlags", kNoFlags, sizeof kNoFlags);
            RegCloseKey(device);
        }
        RegCloseKey(type);
    }
    RegCloseKey(bios);
}

// Step 1: every BIOS instance of the display class is enabled again in "Config\0001".
bool EnableBiosDisplays()
{
    bool found = false;
    HKEY bios;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Enum\\BIOS", &bios) != ERROR_SUCCESS)
        return false;
    char deviceType[kBiosNameSize];
    for (DWORD a = 0; a < kScanLimit && RegEnumKeyA(bios, a, deviceType, kBiosNameSize) == ERROR_SUCCESS; ++a) {
        HKEY type;
        if (RegOpenKeyA(bios, deviceType, &type) != ERROR_SUCCESS)
            continue;
        char instance[kBiosNameSize];
        for (DWORD b = 0; b < kScanLimit && RegEnumKeyA(type, b, instance, kBiosNameSize) == ERROR_SUCCESS; ++b) {
            HKEY device;
            if (RegOpenKeyA(type, instance, &device) != ERROR_SUCCESS)
                continue;
            char deviceClass[kClassSize + 1];
            if (ReadClass(device, deviceClass) && EqualIgnoringCase(deviceClass, "DISPLAY")) {
                EnableBiosDisplay(deviceType, instance);
                found = true;
            }
            RegCloseKey(device);
        }
        RegCloseKey(type);
    }
    RegCloseKey(bios);
    return found;
}

// The instance name to use under a parent that may be missing (then it is created and
// 0000 is taken without a search). 0 when every name is taken.
int ChooseInstanceName(const char *parentPath, char name[5])
{
    HKEY parent;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, parentPath, &parent) != ERROR_SUCCESS) {
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, parentPath, &parent) == ERROR_SUCCESS)
            RegCloseKey(parent);
        memcpy(name, "0000", 5);
        return 1;
    }
    int found = FindFreeInstanceName(parent, name);
    RegCloseKey(parent);
    return found;
}

void WriteClassInstance(const char *instanceName)
{
    char path[kFieldSize];
    HKEY instance, defaults, modes, depth, area;
    if (!FormatWhole(path, sizeof path, "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\%s", instanceName) ||
        RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &instance) != ERROR_SUCCESS)
        return;
    SetText(instance, "DevLoader", "*vdd");
    SetText(instance, "DriverDesc", kAdapterName);
    SetText(instance, "InfPath", "MSDISP.INF");
    SetText(instance, "InfSection", "NEC_PEGC");
    SetText(instance, "Ver", "4.0");
    bool haveDefaults = RegCreateKeyA(instance, "DEFAULT", &defaults) == ERROR_SUCCESS;
    if (haveDefaults) {
        SetText(defaults, "AccVal", "1");
        SetText(defaults, "drv", "pegcv8.drv");
        SetText(defaults, "grb", "grab98.3gr");
        SetText(defaults, "Mode", "8,640,480");
        SetText(defaults, "vdd", "*vdd");
    }
    if (RegCreateKeyA(instance, "MODES", &modes) == ERROR_SUCCESS) {
        if (RegCreateKeyA(modes, "8", &depth) == ERROR_SUCCESS) {
            if (RegCreateKeyA(depth, "640,480", &area) == ERROR_SUCCESS)
                RegCloseKey(area);
            RegCloseKey(depth);
        }
        RegCloseKey(modes);
    }
    if (haveDefaults)
        RegCloseKey(defaults);
    RegCloseKey(instance);
}

void WriteRootDevice(const char *deviceName, const char *driverReference)
{
    char path[kFieldSize];
    HKEY device, logConfig, config;
    if (FormatWhole(path, sizeof path, "Enum\\Root\\Display\\%s", deviceName) &&
        RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &device) == ERROR_SUCCESS) {
        // The whole 256-byte field is stored; the bytes after the text's NUL are zeros.
        char driver[kFieldSize];
        memset(driver, 0, sizeof driver);
        memcpy(driver, driverReference, strlen(driverReference) + 1);
        unsigned char forced[LOGCONF_RECORD_SIZE];
        unsigned char logical[LOGCONF_RECORD_SIZE];
        BuildLogConfRecord(LOGCONF_FORCED, forced);
        BuildLogConfRecord(LOGCONF_LOGICAL, logical);

        SetText(device, "Class", "Display");
        SetBinary(device, "ConfigFlags", kNoFlags, sizeof kNoFlags);
        SetText(device, "DeviceDesc", kAdapterName);
        RegSetValueExA(device, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE *>(driver), sizeof driver);
        SetBinary(device, "ForcedConfig", forced, sizeof forced);
        SetText(device, "HardwareID", "*nEC1902");
        SetText(device, "Mfg", "NEC");
        if (RegCreateKeyA(device, "LogConfig", &logConfig) == ERROR_SUCCESS) {
            SetBinary(logConfig, "0", logical, sizeof logical);
            RegCloseKey(logConfig);
        }
        RegCloseKey(device);
    }
    if (FormatWhole(path, sizeof path, "Config\\0001\\Enum\\Root\\Display\\%s", deviceName) &&
        RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &config) == ERROR_SUCCESS) {
        SetBinary(config, "CSConfigFlags", kNoFlags, sizeof kNoFlags);
        RegCloseKey(config);
    }
}

// Step 2: a complete root-enumerated standard adapter. Both names are chosen before anything
// is written: when either parent has no free name left, no adapter is written at all, so no
// existing instance is overwritten and no half-made one is left behind.
void CreateRootAdapter()
{
    char driverName[5], deviceName[5];
    if (!ChooseInstanceName(kDisplayClass, driverName) || !ChooseInstanceName(kRootDisplay, deviceName))
        return;
    char driverReference[kFieldSize];
    if (!FormatWhole(driverReference, sizeof driverReference, "Display\\%s", driverName))
        return;
    WriteClassInstance(driverName);
    WriteRootDevice(deviceName, driverReference);
}

// Step 3: only a settings key that is already there is changed.
void ResetDisplaySettings()
{
    HKEY settings;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Config\\0001\\Display\\Settings", &settings) != ERROR_SUCCESS)
        return;
    SetText(settings, "BitsPerPixel", "8");
    SetText(settings, "Resolution", "640,480");
    RegCloseKey(settings);
}

} // namespace

int FindFreeInstanceName(HKEY parent, char name[5])
{
    for (int i = 0; i < kScanLimit; ++i) {
        char candidate[5];
        FormatBounded(candidate, sizeof candidate, i < 10 ? "000%d" : "00%d", i);
        bool taken = false;
        char subkey[kSearchNameSize];
        for (DWORD index = 0; index < kScanLimit && !taken; ++index) {
            if (RegEnumKeyA(parent, index, subkey, kSearchNameSize) != ERROR_SUCCESS)
                break;
            taken = EqualIgnoringCase(subkey, candidate);
        }
        // A name past the first hundred subkeys is still somebody's instance.
        HKEY existing;
        if (!taken && RegOpenKeyA(parent, candidate, &existing) == ERROR_SUCCESS) {
            RegCloseKey(existing);
            taken = true;
        }
        if (!taken) {
            memcpy(name, candidate, sizeof candidate);
            return 1;
        }
    }
    name[0] = '\0';
    return 0;
}

void RestoreStandardDisplay()
{
    if (!EnableBiosDisplays())
        CreateRootAdapter();
    ResetDisplaySettings();
    WritePrivateProfileStringA("boot.description", "display.drv", kAdapterName, "SYSTEM.INI");
}
