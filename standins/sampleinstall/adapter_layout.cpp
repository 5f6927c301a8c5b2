// The display utility's side of the sample installation (see adapter_layout.h).
#include "adapter_layout.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char kPciRoot[] = "Enum\\PCI";
const char kConfigManager[] = "Config Manager\\Enum";
const char kClassRoot[] = "System\\CurrentControlSet\\Services\\Class";

const unsigned kDepths[] = {8, 16, 24, 32};
// The position file also knows the 32K-colour format, which the driver reports as 15 bits.
const unsigned kPositionDepths[] = {8, 15, 16, 24, 32};
const unsigned kAreas[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1152, 864}, {1280, 1024}};
// Codes the position file has entries for: whatever the driver may report for a mode
// (0 when nothing was chosen, 1 for the hardware default, and the listed rates).
const unsigned kPositionCodes[] = {0, 1, 60, 75, 85};

// Allowed positions, in stepping order; they include the simulated driver's start-up
// position (horizontal 0x0010, vertical 0x0020). Two spellings, as the board's files have.
const char kHorizontalList[] = "0010,0014,0018,001c,0020,0024,0028,002C,0030";
const char kVerticalList[] = "0010 0018 0020 0028 0030";

bool Join(char *out, size_t size, const char *a, const char *b, const char *c = "", const char *d = "")
{
    int n = snprintf(out, size, "%s%s%s%s", a, b, c, d);
    return n >= 0 && static_cast<size_t>(n) < size;
}

bool CreatePath(HKEY root, const char *path, HKEY *key)
{
    DWORD disposition;
    return RegCreateKeyExA(root, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, key, &disposition) == ERROR_SUCCESS;
}

bool SetText(HKEY root, const char *path, const char *name, const char *value)
{
    HKEY key;
    if (!CreatePath(root, path, &key)) {
        fprintf(stderr, "sampleinstall: cannot create %s\n", path);
        return false;
    }
    LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                             static_cast<DWORD>(strlen(value) + 1));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        fprintf(stderr, "sampleinstall: cannot write %s\\%s\n", path, name);
    return rc == ERROR_SUCCESS;
}

bool SetData(HKEY key, const char *name, DWORD type, const void *data, DWORD size)
{
    if (RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size) == ERROR_SUCCESS)
        return true;
    fprintf(stderr, "sampleinstall: cannot write value %s\n", name);
    return false;
}

bool KeyExists(HKEY root, const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Deletes a key with everything below it (Windows NT's RegDeleteKeyA keeps keys that have
// subkeys).
void DeleteTree(HKEY root, const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[256];
    DWORD index = 0;
    while (RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS) {
        char sub[520];
        if (!Join(sub, sizeof sub, path, "\\", name)) {
            ++index;
            continue;
        }
        DeleteTree(root, sub);
        if (KeyExists(root, sub))
            ++index;   // could not go: step over it
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path);
}

bool KeyIsEmpty(HKEY root, const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 0, values = 0;
    LONG rc = RegQueryInfoKeyA(key, NULL, NULL, NULL, &subkeys, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && subkeys == 0 && values == 0;
}

// A name without a directory lives in the Windows directory, as the profile functions
// take it.
bool PositionFilePath(const char *name, char *path, size_t size)
{
    if (strchr(name, '\\') || strchr(name, ':'))
        return snprintf(path, size, "%s", name) < static_cast<int>(size);
    char windows[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows)
        return false;
    return Join(path, size, windows, "\\", name);
}

const char *PositionFileName(const AdapterLayout *layout)
{
    return layout->posData ? layout->posData : layout->posIni;
}

bool WritePositionFile(const char *name)
{
    char path[MAX_PATH];
    if (!PositionFilePath(name, path, sizeof path)) {
        fprintf(stderr, "sampleinstall: position file name %s does not fit\n", name);
        return false;
    }
    FILE *file = fopen(path, "wb");
    if (!file) {
        fprintf(stderr, "sampleinstall: cannot write %s\n", path);
        return false;
    }
    const char *sections[] = {"POS_H", "POS_V"};
    const char *lists[] = {kHorizontalList, kVerticalList};
    for (int s = 0; s < 2; ++s) {
        fprintf(file, "[%s]\r\n", sections[s]);
        for (unsigned bits : kPositionDepths) {
            for (const auto &area : kAreas) {
                for (unsigned code : kPositionCodes)
                    fprintf(file, "%02u_%04u_%04u_%03u=%s\r\n", bits, area[0], area[1], code, lists[s]);
            }
        }
        fprintf(file, "\r\n");
    }
    return fclose(file) == 0;
}

bool WriteUtilityKey(const AdapterLayout *layout, const char *utilityPath)
{
    HKEY key;
    if (!CreatePath(HKEY_LOCAL_MACHINE, utilityPath, &key)) {
        fprintf(stderr, "sampleinstall: cannot create %s\n", utilityPath);
        return false;
    }
    bool ok = true;
    if (layout->format555or565 >= 0) {
        DWORD value = static_cast<DWORD>(layout->format555or565);
        ok = SetData(key, "555or565", REG_DWORD, &value, sizeof value) && ok;
    }
    if (layout->d3dFullSupport >= 0) {
        DWORD value = static_cast<DWORD>(layout->d3dFullSupport);
        ok = SetData(key, "D3DFullSupport", REG_DWORD, &value, sizeof value) && ok;
    }
    if (layout->refreshLists) {
        for (unsigned bits : kDepths) {
            for (const auto &area : kAreas) {
                unsigned char codes[16];
                int count = SampleRefreshCodes(area[0], area[1], codes, sizeof codes);
                char name[32];
                snprintf(name, sizeof name, "%02u_%04u_%04u_L", bits, area[0], area[1]);
                ok = SetData(key, name, REG_BINARY, codes, static_cast<DWORD>(count)) && ok;
            }
        }
    }
    if (layout->posData)
        ok = SetData(key, "PosData", REG_SZ, layout->posData, static_cast<DWORD>(strlen(layout->posData) + 1)) && ok;
    if (layout->posIni)
        ok = SetData(key, "POSINI", REG_SZ, layout->posIni, static_cast<DWORD>(strlen(layout->posIni) + 1)) && ok;
    RegCloseKey(key);
    return ok;
}

bool ParseLevel(const char *text, int *value)
{
    if (strcmp(text, "none") == 0) {
        *value = -1;
        return true;
    }
    char *end;
    long v = strtol(text, &end, 0);
    if (*text == '\0' || *end != '\0' || v < 0)
        return false;
    *value = static_cast<int>(v);
    return true;
}

void Usage()
{
    fprintf(stderr,
            "usage: sampleinstall adapter [options]     write the board's adapter layout\n"
            "       sampleinstall adapter-remove [opts] take it away again (same options)\n"
            "options:\n"
            "  --maker TEXT       \"Mfg\" of the PCI instance (default \"ZANRO INC.\"); none: omitted\n"
            "  --class TEXT       \"Class\" (default \"DISPLAY\"); none: omitted\n"
            "  --driver KEY       \"Driver\" (default \"DISPLAY\\0001\")\n"
            "  --device NAME      device key below Enum\\PCI\n"
            "  --instance NAME    instance key below the device\n"
            "  --absent           no \"Config Manager\\Enum\" entry: listed but not present\n"
            "  --no-utility       no \"UTILITY\" key below the driver key\n"
            "  --555or565 N|none  colour-format value (default 1)\n"
            "  --d3d N|none       \"D3DFullSupport\" (default 0)\n"
            "  --no-refresh-lists no \"_L\" values\n"
            "  --posdata NAME     write \"PosData\" (default: not written)\n"
            "  --posini NAME|none \"POSINI\" (default ZANPOS.INI)\n"
            "  --no-posfile       do not write the position file\n");
}

// Options shared by both commands; false on a bad option.
bool ParseOptions(int argc, char **argv, AdapterLayout *layout)
{
    DefaultAdapterLayout(layout);
    for (int i = 0; i < argc; ++i) {
        const char *option = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : NULL;
        auto text = [&](const char **field) {
            if (!value)
                return false;
            *field = strcmp(value, "none") == 0 ? NULL : value;
            ++i;
            return true;
        };
        bool ok = true;
        if (strcmp(option, "--maker") == 0)
            ok = text(&layout->maker);
        else if (strcmp(option, "--class") == 0)
            ok = text(&layout->className);
        else if (strcmp(option, "--driver") == 0)
            ok = text(&layout->driver) && layout->driver;
        else if (strcmp(option, "--device") == 0)
            ok = text(&layout->device) && layout->device;
        else if (strcmp(option, "--instance") == 0)
            ok = text(&layout->instance) && layout->instance;
        else if (strcmp(option, "--absent") == 0)
            layout->present = false;
        else if (strcmp(option, "--no-utility") == 0)
            layout->utilityKey = false;
        else if (strcmp(option, "--555or565") == 0)
            ok = value && ParseLevel(value, &layout->format555or565) && ++i;
        else if (strcmp(option, "--d3d") == 0)
            ok = value && ParseLevel(value, &layout->d3dFullSupport) && ++i;
        else if (strcmp(option, "--no-refresh-lists") == 0)
            layout->refreshLists = false;
        else if (strcmp(option, "--posdata") == 0)
            ok = text(&layout->posData);
        else if (strcmp(option, "--posini") == 0)
            ok = text(&layout->posIni);
        else if (strcmp(option, "--no-posfile") == 0)
            layout->positionFile = false;
        else
            ok = false;
        if (!ok) {
            fprintf(stderr, "sampleinstall: bad option %s\n", option);
            Usage();
            return false;
        }
    }
    return true;
}

} // namespace

void DefaultAdapterLayout(AdapterLayout *layout)
{
    layout->device = "VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01";
    layout->instance = "BUS_00&DEV_13&FUNC_00";
    layout->className = "DISPLAY";
    layout->maker = "ZANRO INC.";
    layout->driver = "DISPLAY\\0001";
    layout->configEntry = "C29A3C40";
    layout->present = true;
    layout->utilityKey = true;
    layout->format555or565 = 1;
    layout->d3dFullSupport = 0;
    layout->refreshLists = true;
    layout->posData = NULL;
    layout->posIni = "ZANPOS.INI";
    layout->positionFile = true;
}

int SampleRefreshCodes(unsigned width, unsigned height, unsigned char *codes, int capacity)
{
    // Byte 0 stands for the mode's own rate; the rest are what the board offers beside it.
    static const unsigned char full[] = {1, 60, 75, 85};
    static const unsigned char large[] = {1, 60, 75};
    const unsigned char *list = width >= 1280 && height >= 1024 ? large : full;
    int count = width >= 1280 && height >= 1024 ? static_cast<int>(sizeof large) : static_cast<int>(sizeof full);
    if (count > capacity)
        count = capacity;
    memcpy(codes, list, static_cast<size_t>(count));
    return count;
}

bool WriteAdapterLayout(const AdapterLayout *layout)
{
    char instancePath[512], hardwareName[512], presentPath[512], driverPath[512], utilityPath[512];
    if (snprintf(instancePath, sizeof instancePath, "%s\\%s\\%s", kPciRoot, layout->device, layout->instance) >=
            static_cast<int>(sizeof instancePath) ||
        !Join(hardwareName, sizeof hardwareName, "PCI\\", layout->device, "\\", layout->instance) ||
        !Join(presentPath, sizeof presentPath, kConfigManager, "\\", layout->configEntry) ||
        !Join(driverPath, sizeof driverPath, kClassRoot, "\\", layout->driver) ||
        !Join(utilityPath, sizeof utilityPath, driverPath, "\\UTILITY")) {
        fprintf(stderr, "sampleinstall: a key name does not fit\n");
        return false;
    }
    bool ok = true;
    HKEY key;
    if (CreatePath(HKEY_LOCAL_MACHINE, instancePath, &key))
        RegCloseKey(key);
    else
        ok = false;
    if (layout->className)
        ok = SetText(HKEY_LOCAL_MACHINE, instancePath, "Class", layout->className) && ok;
    if (layout->maker)
        ok = SetText(HKEY_LOCAL_MACHINE, instancePath, "Mfg", layout->maker) && ok;
    ok = SetText(HKEY_LOCAL_MACHINE, instancePath, "Driver", layout->driver) && ok;
    ok = SetText(HKEY_LOCAL_MACHINE, instancePath, "DeviceDesc", "ZANRO Display Adapter (S3)") && ok;
    if (layout->present)
        ok = SetText(HKEY_DYN_DATA, presentPath, "HardWareKey", hardwareName) && ok;
    if (layout->utilityKey) {
        ok = WriteUtilityKey(layout, utilityPath) && ok;
    } else {
        // The driver is installed, only its utility settings are missing.
        if (CreatePath(HKEY_LOCAL_MACHINE, driverPath, &key))
            RegCloseKey(key);
        DeleteTree(HKEY_LOCAL_MACHINE, utilityPath);
    }
    const char *fileName = PositionFileName(layout);
    if (layout->positionFile && fileName)
        ok = WritePositionFile(fileName) && ok;
    return ok;
}

void RemoveAdapterLayout(const AdapterLayout *layout)
{
    char path[512];
    if (Join(path, sizeof path, kPciRoot, "\\", layout->device))
        DeleteTree(HKEY_LOCAL_MACHINE, path);
    if (KeyIsEmpty(HKEY_LOCAL_MACHINE, kPciRoot))
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kPciRoot);
    if (Join(path, sizeof path, kConfigManager, "\\", layout->configEntry))
        DeleteTree(HKEY_DYN_DATA, path);
    if (Join(path, sizeof path, kClassRoot, "\\", layout->driver, "\\UTILITY"))
        DeleteTree(HKEY_LOCAL_MACHINE, path);
    if (Join(path, sizeof path, kClassRoot, "\\", layout->driver) && KeyIsEmpty(HKEY_LOCAL_MACHINE, path))
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
    const char *names[] = {layout->posData, layout->posIni};
    for (const char *name : names) {
        char file[MAX_PATH];
        if (name && PositionFilePath(name, file, sizeof file))
            DeleteFileA(file);
    }
}

int SampleAdapterCommand(int argc, char **argv)
{
    AdapterLayout layout;
    if (!ParseOptions(argc, argv, &layout))
        return 2;
    return WriteAdapterLayout(&layout) ? 0 : 1;
}

int SampleAdapterRemoveCommand(int argc, char **argv)
{
    AdapterLayout layout;
    if (!ParseOptions(argc, argv, &layout))
        return 2;
    RemoveAdapterLayout(&layout);
    return 0;
}
