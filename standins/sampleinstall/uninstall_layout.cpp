// The uninstaller's side of the sample installation: everything the board's installer
// leaves that ZANDEL.EXE reads or removes, plus canaries around it.
#include "uninstall_layout.h"

#include "adapter_layout.h"

#include <ddeml.h>
#include <shlobj.h>
#include <stdio.h>
#include <string.h>

namespace {

const char kProduct[] = "SOFTWARE\\ZANRO INC\\DISPLAY";
const char kDriver[] = "SOFTWARE\\ZANRO INC\\DISPLAY\\DRIVER";
const char kUtility[] = "SOFTWARE\\ZANRO INC\\DISPLAY\\UTILITY";
const char kCompany[] = "SOFTWARE\\ZANRO INC";
const char kS3[] = "SOFTWARE\\S3";
const char kDisplayClass[] = "System\\CurrentControlSet\\Services\\Class\\DISPLAY";
const char kHandlers[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers";
const char kSettings[] = "Config\\0001\\Display\\Settings";
const char kStartMenu[] = "ｽﾀｰﾄ ﾒﾆｭｰ\\ﾌﾟﾛｸﾞﾗﾑ";

// The S3 and ZANRO utilities' registrations, as their installers write them. Each entry:
// key, default value (null: none), and an InProcServer32 module (null: no such subkey).
struct Registration {
    const char *key;
    const char *defaultValue;
    const char *server;
};
const Registration kRegistrations[] = {
    {"SOFTWARE\\Classes\\CLSID\\{87b9bd00-c65c-11cd-a259-00dd010e8c28}", "S3 Refresh", "S3REFRSH.DLL"},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\S3_REF",
     "{87b9bd00-c65c-11cd-a259-00dd010e8c28}", nullptr},
    {"SOFTWARE\\Classes\\CLSID\\{C4FACD43-6676-11d1-AF9C-00AA00C67CA8}", "S3 Gamma", "S3GAMMA.DLL"},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\S3 Gamma",
     "{C4FACD43-6676-11d1-AF9C-00AA00C67CA8}", nullptr},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\S3Gamma",
     "{C4FACD43-6676-11d1-AF9C-00AA00C67CA8}", nullptr},
    {"SOFTWARE\\S3\\Refresh", nullptr, nullptr},
    {"SOFTWARE\\S3\\S3COLOR", nullptr, nullptr},
    {"SOFTWARE\\S3\\S3 Gamma", nullptr, nullptr},
    {"SOFTWARE\\S3\\S3GL", nullptr, nullptr},
    {"SOFTWARE\\S3\\Multimedia", nullptr, nullptr},
    {"System\\CurrentControlSet\\Services\\Class\\Display\\S3", "S3 Display Utilities", nullptr},
    {"SOFTWARE\\Classes\\CLSID\\{79cd01c2-912d-11d2-88a9-00600837776e}", "S3switch2", "S3SWITCH.DLL"},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\S3switch2",
     "{79cd01c2-912d-11d2-88a9-00600837776e}", nullptr},
    {"SOFTWARE\\S3\\S3switch2", nullptr, nullptr},
    {"SOFTWARE\\S3\\BusmasterDevices", nullptr, nullptr},
    {"SOFTWARE\\Classes\\CLSID\\{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}", "ZANUTL", "ZANUTL.DLL"},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\ZANUTL",
     "{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}", nullptr},
};

const char kMonitorClass[] = "System\\CurrentControlSet\\Services\\Class\\Monitor\\0000";
const char kMonitorDevice[] = "Enum\\Monitor\\DEFAULT_MONITOR\\0001";

const char *const kMarkerFiles[] = {"KVX98.ZAN", "S3_REFRE.ZAN", "S3GAMMA.ZAN", "ZANCHG16.ZAN", "ZANCHG32.ZAN"};

const char kUninstallerItem[] = "ｱﾝｲﾝｽﾄｰﾗ";
const char kReadMeItem[] = "Read Me";

// ----- paths -----

bool Append(char *dest, size_t size, size_t *used, const char *text, size_t length)
{
    if (*used + length >= size)
        return false;
    memcpy(dest + *used, text, length);
    *used += length;
    dest[*used] = '\0';
    return true;
}

bool Join(char *dest, size_t size, const char *a, const char *b, const char *c = "", const char *d = "",
          const char *e = "")
{
    size_t used = 0;
    dest[0] = '\0';
    return Append(dest, size, &used, a, strlen(a)) && Append(dest, size, &used, b, strlen(b)) &&
           Append(dest, size, &used, c, strlen(c)) && Append(dest, size, &used, d, strlen(d)) &&
           Append(dest, size, &used, e, strlen(e));
}

void WindowsDirectory(char *dir)
{
    UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        dir[0] = '\0';
}

bool FoldedEqual(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
        if (x == 0)
            return true;
    }
}

bool MakeDirectories(const char *path)
{
    char part[MAX_PATH];
    size_t length = strlen(path);
    if (length >= sizeof part)
        return false;
    // By character: the second byte of "表" or "ソ" is that of a backslash.
    for (const char *c = path + 3;; c = CharNextA(c)) {
        if (!*c || *c == '\\') {
            size_t i = static_cast<size_t>(c - path);
            memcpy(part, path, i);
            part[i] = '\0';
            DWORD attributes = GetFileAttributesA(part);
            if (attributes == INVALID_FILE_ATTRIBUTES && !CreateDirectoryA(part, nullptr))
                return false;
        }
        if (!*c)
            return true;
    }
}

// ----- reporting -----

bool ok = true;
bool installReadOnly = false;  // the layout's readOnly, for every file installed

void Failed(const char *what, const char *detail)
{
    fprintf(stderr, "sample installation: cannot write %s %s (error %lu)\n", what, detail,
            static_cast<unsigned long>(GetLastError()));
    ok = false;
}

// ----- registry -----

bool SetValue(HKEY root, const char *path, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyA(root, path, &key) != ERROR_SUCCESS) {
        Failed("key", path);
        return false;
    }
    LONG rc = RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(rc));
        Failed("value of", path);
        return false;
    }
    return true;
}

bool SetText(HKEY root, const char *path, const char *name, const char *text)
{
    return SetValue(root, path, name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
}

bool SetZeroFlags(const char *path, const char *name)
{
    static const BYTE zero[4] = {0, 0, 0, 0};
    return SetValue(HKEY_LOCAL_MACHINE, path, name, REG_BINARY, zero, sizeof zero);
}

bool CreateKey(const char *path)
{
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, path, &key) != ERROR_SUCCESS) {
        Failed("key", path);
        return false;
    }
    RegCloseKey(key);
    return true;
}

void RemoveTree(HKEY root, const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[MAX_PATH];
    char child[MAX_PATH * 2];
    DWORD index = 0;
    while (RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS) {
        HKEY left;
        if (Join(child, sizeof child, path, "\\", name))
            RemoveTree(root, child);
        // A subkey that would not go is stepped over rather than tried again.
        if (RegOpenKeyExA(root, child, 0, KEY_READ, &left) == ERROR_SUCCESS) {
            RegCloseKey(left);
            ++index;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path);
}

// Removes a key when nothing is left below it and it holds no values.
void RemoveIfEmpty(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[MAX_PATH];
    DWORD nameSize = sizeof name;
    bool empty = RegEnumKeyA(key, 0, name, sizeof name) != ERROR_SUCCESS &&
                 RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS;
    RegCloseKey(key);
    if (empty)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
}

// ----- files -----

bool WriteText(const char *path, const char *text)
{
    FILE *file = fopen(path, "wb");
    if (!file) {
        Failed("file", path);
        return false;
    }
    fputs(text, file);
    fclose(file);
    return true;
}

bool InstallFile(const char *path, const char *source, const char *dummyText)
{
    char dir[MAX_PATH];
    lstrcpynA(dir, path, sizeof dir);
    char *slash = strrchr(dir, '\\');
    if (slash && slash > dir + 2) {
        *slash = '\0';
        if (!MakeDirectories(dir)) {
            Failed("directory", dir);
            return false;
        }
    }
    if (source ? !CopyFileA(source, path, FALSE) : !WriteText(path, dummyText)) {
        if (source)
            Failed("copy of", source);
        return false;
    }
    if (installReadOnly && !SetFileAttributesA(path, FILE_ATTRIBUTE_READONLY)) {
        Failed("attributes of", path);
        return false;
    }
    return true;
}

void RemoveFile(const char *path)
{
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path);
}

// ----- expansion of the layout's place holders -----

struct Place {
    const char *token;
    int kind;
};
const Place kPlaces[] = {{"%ROOT%", 0}, {"%WIN%", 1}, {"%SYS%", 2}, {"%INF%", 3}, {"%HELP%", 4}};

bool PlaceDirectory(int kind, char *dir, size_t size)
{
    char windows[MAX_PATH];
    WindowsDirectory(windows);
    if (!windows[0])
        return false;
    switch (kind) {
    case 0:
        if (size < 4)
            return false;
        memcpy(dir, windows, 3);
        dir[3] = '\0';
        return true;
    case 1:
        return Join(dir, size, windows, "");
    case 2: {
        char system[MAX_PATH];
        UINT n = GetSystemDirectoryA(system, sizeof system);
        return n > 0 && n < sizeof system && Join(dir, size, system, "");
    }
    case 3:
        return Join(dir, size, windows, "\\INF");
    default:
        return Join(dir, size, windows, "\\Help");
    }
}

// ----- the layout -----

// What a record's uninstaller and readme look like on disk.
const char kReadMeText[] = "ZANRO display driver\r\nSee the manual for the settings.\r\n";

const char *ExpandOrNull(const char *text, char *buffer, size_t size)
{
    if (!text)
        return nullptr;
    return SampleExpandPath(text, buffer, size) ? buffer : nullptr;
}

bool WriteRecordKeys(const SampleRecord &r)
{
    char key[MAX_PATH];
    if (!Join(key, sizeof key, kDriver, "\\", r.number))
        return false;
    CreateKey(key);
    char expanded[MAX_PATH];
    if (r.instDir) {
        const char *dir = ExpandOrNull(r.instDir, expanded, sizeof expanded);
        SetText(HKEY_LOCAL_MACHINE, key, "InstDir", dir ? dir : r.instDir);
    }
    if (r.folderName)
        SetText(HKEY_LOCAL_MACHINE, key, "FolderName", r.folderName);
    if (r.board)
        SetText(HKEY_LOCAL_MACHINE, key, "Board", r.board);
    if (r.deviceNo)
        SetText(HKEY_LOCAL_MACHINE, key, "DeviceNo", r.deviceNo);
    for (int i = 0; i < r.fileCount && i < kSampleMaxFiles; ++i) {
        if (!r.files[i])
            continue;
        char name[8];
        wsprintfA(name, "%d", i);
        SetText(HKEY_LOCAL_MACHINE, key, name, r.files[i]);
    }
    return true;
}

bool UsableName(const char *text) { return text && text[0] && strspn(text, "\\./ ") < strlen(text); }

// The board's driver key under the display class, with its default mode, as the board's
// INF file sets it up.
void WriteDisplayClassKey(const char *board)
{
    char key[MAX_PATH], sub[MAX_PATH];
    if (!Join(key, sizeof key, kDisplayClass, "\\", board))
        return;
    SetText(HKEY_LOCAL_MACHINE, key, "DriverDesc", "ｻﾞﾝﾛ S3 ﾃﾞｨｽﾌﾟﾚｲ ｱﾀﾞﾌﾟﾀ");
    SetText(HKEY_LOCAL_MACHINE, key, "DevLoader", "*vdd");
    SetText(HKEY_LOCAL_MACHINE, key, "InfPath", "ZANS3.INF");
    SetText(HKEY_LOCAL_MACHINE, key, "InfSection", "ZANS3");
    SetText(HKEY_LOCAL_MACHINE, key, "Ver", "4.0");
    if (Join(sub, sizeof sub, key, "\\DEFAULT")) {
        SetText(HKEY_LOCAL_MACHINE, sub, "drv", "ZANS3.DRV");
        SetText(HKEY_LOCAL_MACHINE, sub, "vdd", "*vdd,ZANS3.VXD");
        SetText(HKEY_LOCAL_MACHINE, sub, "Mode", "16,1024,768");
    }
    if (Join(sub, sizeof sub, key, "\\MODES\\16\\1024,768"))
        CreateKey(sub);
    if (Join(sub, sizeof sub, key, "\\MODES\\8\\640,480"))
        CreateKey(sub);
}

void WriteDeviceKeys(const char *deviceNo, const char *board)
{
    char key[MAX_PATH], sub[MAX_PATH], driver[64];
    if (Join(key, sizeof key, "Enum\\", deviceNo)) {
        SetText(HKEY_LOCAL_MACHINE, key, "Class", "Display");
        SetText(HKEY_LOCAL_MACHINE, key, "DeviceDesc", "ｻﾞﾝﾛ S3 ﾃﾞｨｽﾌﾟﾚｲ ｱﾀﾞﾌﾟﾀ");
        SetText(HKEY_LOCAL_MACHINE, key, "Mfg", "ZANRO INC");
        SetText(HKEY_LOCAL_MACHINE, key, "HardwareID", "PCI\\VEN_5333&DEV_8A22");
        if (board && Join(driver, sizeof driver, "Display\\", board))
            SetText(HKEY_LOCAL_MACHINE, key, "Driver", driver);
        SetZeroFlags(key, "ConfigFlags");
        if (Join(sub, sizeof sub, key, "\\LogConfig"))
            SetZeroFlags(sub, "0000");
    }
    if (Join(key, sizeof key, "Config\\0001\\Enum\\", deviceNo))
        SetZeroFlags(key, "CSConfigFlags");
}

void WriteRecordFiles(const SampleRecord &r, const SampleInstallation &layout)
{
    char path[MAX_PATH];
    for (int i = 0; i < r.fileCount && i < kSampleMaxFiles; ++i) {
        if (!r.files[i] || strlen(r.files[i]) < 3)
            continue;
        if (SampleFilePath(r.files[i], path, sizeof path)) {
            char text[MAX_PATH + 32];
            wsprintfA(text, "installed file %s\r\n", r.files[i]);
            InstallFile(path, nullptr, text);
        }
    }
    char dir[MAX_PATH];
    if (!r.instDir || !SampleExpandPath(r.instDir, dir, sizeof dir) || !UsableName(dir))
        return;
    if (!MakeDirectories(dir))
        Failed("directory", dir);
    if (Join(path, sizeof path, dir, "\\README.TXT"))
        InstallFile(path, nullptr, kReadMeText);
    if (Join(path, sizeof path, dir, "\\ZANDEL.EXE"))
        InstallFile(path, layout.zandelSource, "not a program\r\n");
    if (r.userFile && Join(path, sizeof path, dir, "\\", r.userFile))
        InstallFile(path, nullptr, "the user's own file\r\n");
}

// On Windows 95 a Program Manager group is the Start-menu folder of the same name. Wine
// keeps its groups elsewhere, so the sample makes both: the folder (empty, as the group's
// removal leaves it) and the group with its two items through DDE.
HDDEDATA CALLBACK IgnoreDde(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

bool SendProgman(HCONV conversation, const char *command)
{
    DWORD result = 0;
    HDDEDATA data = DdeClientTransaction(reinterpret_cast<BYTE *>(const_cast<char *>(command)),
                                         static_cast<DWORD>(strlen(command) + 1), conversation, nullptr, CF_TEXT,
                                         XTYP_EXECUTE, 10000, &result);
    return data != nullptr;
}

// Explorer windows that Wine opens on a group when it is created or shown.
BOOL CALLBACK CloseGroupWindow(HWND window, LPARAM)
{
    char className[64];
    if (GetClassNameA(window, className, sizeof className) &&
        (strcmp(className, "CabinetWClass") == 0 || strcmp(className, "ExploreWClass") == 0))
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

void ForEachGroup(const SampleInstallation &layout, bool create)
{
    DWORD instance = 0;
    if (DdeInitializeA(&instance, IgnoreDde, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) {
        if (create)
            Failed("Program Manager groups", "(DDE)");
        return;
    }
    HSZ service = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, service, nullptr);
    if (!conversation) {
        if (create)
            Failed("Program Manager groups", "(no PROGMAN server)");
    } else {
        for (int i = 0; i < layout.recordCount; ++i) {
            const SampleRecord &r = layout.records[i];
            if (!UsableName(r.folderName))
                continue;
            char command[3 * MAX_PATH], dir[MAX_PATH];
            if (!create) {
                wsprintfA(command, "[DeleteGroup(%s)]", r.folderName);
                SendProgman(conversation, command);
                continue;
            }
            wsprintfA(command, "[CreateGroup(%s)]", r.folderName);
            if (!SendProgman(conversation, command))
                Failed("Program Manager group", r.folderName);
            if (r.instDir && SampleExpandPath(r.instDir, dir, sizeof dir)) {
                _snprintf(command, sizeof command, "[AddItem(%s\\ZANDEL.EXE,%s)]", dir, kUninstallerItem);
                command[sizeof command - 1] = '\0';
                SendProgman(conversation, command);
                _snprintf(command, sizeof command, "[AddItem(%s\\README.TXT,%s)]", dir, kReadMeItem);
                command[sizeof command - 1] = '\0';
                SendProgman(conversation, command);
            }
        }
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(instance, service);
    DdeUninitialize(instance);
    Sleep(500);
    EnumWindows(CloseGroupWindow, 0);
}

void WriteSharedPieces(const SampleInstallation &layout)
{
    char key[MAX_PATH];
    for (const Registration &reg : kRegistrations) {
        CreateKey(reg.key);
        if (reg.defaultValue)
            SetText(HKEY_LOCAL_MACHINE, reg.key, "", reg.defaultValue);
        if (reg.server && Join(key, sizeof key, reg.key, "\\InProcServer32")) {
            SetText(HKEY_LOCAL_MACHINE, key, "", reg.server);
            SetText(HKEY_LOCAL_MACHINE, key, "ThreadingModel", "Apartment");
        }
    }
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\S3\\Refresh", "Enabled", "1");
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\S3\\S3GL", "Version", "1.1");
    SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\S3\\BusmasterDevices", "8A22", "1");
    if (Join(key, sizeof key, "SOFTWARE\\S3\\Multimedia", "\\Overlay"))
        SetText(HKEY_LOCAL_MACHINE, key, "Enabled", "1");

    SetText(HKEY_LOCAL_MACHINE, kMonitorClass, "DriverDesc", "ﾌﾟﾗｸﾞ ｱﾝﾄﾞ ﾌﾟﾚｲ ﾓﾆﾀ");
    SetText(HKEY_LOCAL_MACHINE, kMonitorClass, "InfPath", "MONITOR.INF");
    SetText(HKEY_LOCAL_MACHINE, kMonitorDevice, "Class", "Monitor");
    SetText(HKEY_LOCAL_MACHINE, kMonitorDevice, "Driver", "Monitor\\0000");

    SetText(HKEY_LOCAL_MACHINE, kSettings, "ICDMode", "1");
    SetText(HKEY_LOCAL_MACHINE, kSettings, "DDSW", "0");
    SetText(HKEY_LOCAL_MACHINE, kSettings, "BitsPerPixel", "16");
    SetText(HKEY_LOCAL_MACHINE, kSettings, "Resolution", "1024,768");

    WritePrivateProfileStringA("drivers32", "Vids.draw", "ZANDRAW.DLL", "SYSTEM.INI");
    WritePrivateProfileStringA("386Enh", "EMMEXCLUDE", "C000-CFFF", "SYSTEM.INI");

    char path[MAX_PATH];
    for (const char *marker : kMarkerFiles)
        if (PlaceDirectory(0, key, sizeof key) && Join(path, sizeof path, key, marker))
            InstallFile(path, nullptr, "marker\r\n");
    if (SampleExpandPath("%WIN%\\s3gamma.cfg", path, sizeof path))
        InstallFile(path, nullptr, "gamma=1.0\r\n");
    if (SampleExpandPath("%SYS%\\s3color.cfg", path, sizeof path))
        InstallFile(path, nullptr, "color=default\r\n");
    if (SampleExpandPath("%SYS%\\ZANCHG16.DLL", path, sizeof path))
        InstallFile(path, nullptr, "16-bit display-mode library\r\n");
    if (SampleExpandPath("%SYS%\\ZANCHG32.DLL", path, sizeof path))
        InstallFile(path, layout.zanchg32Source, "32-bit display-mode library\r\n");
    if (SampleExpandPath("%ROOT%Program Files\\ZANRO INC\\BACKUP", path, sizeof path) && !MakeDirectories(path))
        Failed("directory", path);

    // Pending renames of an earlier update of the display-mode libraries, and a line of
    // somebody else's.
    char windows[MAX_PATH], list[MAX_PATH];
    WindowsDirectory(windows);
    if (Join(list, sizeof list, windows, "\\wininit.ini")) {
        FILE *file = fopen(list, "w");
        if (!file) {
            Failed("file", list);
        } else {
            fputs("[rename]\n", file);
            for (int i = 0; kSampleWininitLines[i]; ++i) {
                char line[MAX_PATH * 2];
                if (SampleExpandPath(kSampleWininitLines[i], line, sizeof line))
                    fprintf(file, "%s\n", line);
            }
            fclose(file);
        }
    }

}

// The board in the machine, as the display utility finds it: the newest record's device
// with its driver key (and the utility's settings in it), listed as present.
bool BoardAdapter(const SampleInstallation &layout, AdapterLayout *adapter)
{
    static char device[MAX_PATH], driver[MAX_PATH];
    for (int i = layout.recordCount - 1; i >= 0; --i) {
        const SampleRecord &r = layout.records[i];
        if (!UsableName(r.deviceNo) || !UsableName(r.board) || strncmp(r.deviceNo, "PCI\\", 4) != 0)
            continue;
        const char *instance = strrchr(r.deviceNo, '\\');
        size_t length = static_cast<size_t>(instance - (r.deviceNo + 4));
        if (instance <= r.deviceNo + 4 || length >= sizeof device || !Join(driver, sizeof driver, "DISPLAY\\", r.board))
            continue;
        memcpy(device, r.deviceNo + 4, length);
        device[length] = '\0';
        DefaultAdapterLayout(adapter);
        adapter->device = device;
        adapter->instance = instance + 1;
        adapter->driver = driver;
        adapter->present = layout.boardPresent;
        return true;
    }
    return false;
}

void WriteCanaries()
{
    char path[MAX_PATH];
    for (int i = 0; kSampleCanaryKeys[i]; ++i)
        SetText(HKEY_LOCAL_MACHINE, kSampleCanaryKeys[i], "Canary", "keep");
    for (int i = 0; kSampleCanaryValues[i].key; ++i)
        SetText(HKEY_LOCAL_MACHINE, kSampleCanaryValues[i].key, kSampleCanaryValues[i].name, "keep");
    for (int i = 0; kSampleCanaryFiles[i]; ++i)
        if (SampleExpandPath(kSampleCanaryFiles[i], path, sizeof path))
            InstallFile(path, nullptr, "canary\r\n");
    for (int i = 0; kSampleCanaryIniEntries[i].section; ++i)
        WritePrivateProfileStringA(kSampleCanaryIniEntries[i].section, kSampleCanaryIniEntries[i].key,
                                   kSampleCanaryIniEntries[i].value, "SYSTEM.INI");
}

} // namespace

// ----- public tables -----

const char *const kSampleCanaryKeys[] = {
    // Another adapter's class key and another device beside the board.
    "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\0000",
    "Enum\\PCI\\VEN_10EC&DEV_8029&SUBSYS_00000000&REV_00\\BUS_00&DEV_0F&FUNC_00",
    "Config\\0001\\Enum\\PCI\\VEN_10EC&DEV_8029&SUBSYS_00000000&REV_00\\BUS_00&DEV_0F&FUNC_00",
    // Neighbours of the registrations that go.
    "SOFTWARE\\Classes\\CLSID\\{87b9bd00-c65c-11cd-a259-00dd010e8c29}",
    "SOFTWARE\\Classes\\CLSID\\{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F5}",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\S3_REFX",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\DeskPan",
    "System\\CurrentControlSet\\Services\\Class\\Monitor\\0001",
    "Enum\\Monitor\\DEFAULT_MONITOR\\0000",
    "SOFTWARE\\ZANRO",
    nullptr,
};

const SampleCanaryValue kSampleCanaryValues[] = {
    {"Config\\0001\\Display\\Settings", "DPILogicalX"},
    {"Config\\0001\\Display\\Settings", "fonts.fon"},
    {nullptr, nullptr},
};

const char *const kSampleCanaryFiles[] = {
    "%WIN%\\KVX98.ZAN",        // a marker's name, but in the Windows directory
    "%ROOT%ZANKEEP.ZAN",       // beside the markers
    "%SYS%\\s3gamma.cfg",      // the two configuration files, each in the other directory
    "%WIN%\\s3color.cfg",
    "%SYS%\\ZANS3.BAK",        // beside the driver files
    "%HELP%\\ZANUTL.CNT",
    "%INF%\\ZANS3.PNF",
    "%WIN%\\README.TXT",
    "%ROOT%Program Files\\ZANRO SCAN\\SCAN.EXE",
    nullptr,
};

const SampleIniEntry kSampleCanaryIniEntries[] = {
    {"drivers32", "VIDC.MSVC", "msvidc32.dll"},
    {"386Enh", "EMMINCLUDE", "E000-EFFF"},
    {"boot.description", "mouse.drv", "NEC PC-9800 Series Mouse"},
    {nullptr, nullptr, nullptr},
};

const char *const kSampleWininitLines[] = {
    "%SYS%\\ZANCHG16.DLL=%SYS%\\zanchg16.zan",
    "%SYS%\\ZANCHG32.DLL=%SYS%\\zanchg32.zan",
    "%SYS%\\GFXDRV.DRV=%SYS%\\gfxdrv.zan",
    "NUL=%WIN%\\TEMP\\~SETUP1.TMP",
    nullptr,
};

bool SampleExpandPath(const char *name, char *path, size_t size)
{
    size_t used = 0;
    path[0] = '\0';
    while (*name) {
        const Place *place = nullptr;
        for (const Place &p : kPlaces)
            if (strncmp(name, p.token, strlen(p.token)) == 0)
                place = &p;
        if (place) {
            char dir[MAX_PATH];
            if (!PlaceDirectory(place->kind, dir, sizeof dir) || !Append(path, size, &used, dir, strlen(dir)))
                return false;
            name += strlen(place->token);
        } else {
            if (!Append(path, size, &used, name, 1))
                return false;
            ++name;
        }
    }
    return true;
}

bool SampleFileDirectory(const char *entry, bool older, char *dir, size_t size)
{
    size_t length = strlen(entry);
    dir[0] = '\0';
    if (length < 3)
        return true;
    const char *extension = entry + length - 3;
    static const char *const system[] = {"DRV", "VXD", "DLL", "CPL", "LRC", "ICO"};
    static const char *const windows[] = {"INI", "CPD", "EXE"};
    for (const char *e : system)
        if (FoldedEqual(extension, e))
            return (older && FoldedEqual(e, "CPL")) ? true : PlaceDirectory(2, dir, size);
    for (const char *e : windows)
        if (FoldedEqual(extension, e))
            return PlaceDirectory(1, dir, size);
    if (FoldedEqual(extension, "INF"))
        return PlaceDirectory(3, dir, size);
    if (FoldedEqual(extension, "HLP"))
        return PlaceDirectory(4, dir, size);
    return true;
}

bool SampleFilePath(const char *entry, char *path, size_t size)
{
    char dir[MAX_PATH];
    if (!SampleFileDirectory(entry, false, dir, sizeof dir))
        return false;
    if (!dir[0] && !PlaceDirectory(1, dir, sizeof dir))
        return false;
    return Join(path, size, dir, "\\", entry);
}

bool SampleStartMenuFolder(const char *folder, char *path, size_t size)
{
    char windows[MAX_PATH];
    WindowsDirectory(windows);
    return windows[0] && Join(path, size, windows, "\\", kStartMenu, "\\", folder);
}

void SampleSeveralRecords(SampleInstallation *layout)
{
    *layout = SampleInstallation();
    layout->records[0] = SampleRecord{
        "00", "%ROOT%ZANRO", "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ V1", "0001",
        "PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01\\BUS_00&DEV_12&FUNC_00",
        {"ZAN95.DRV", "ZAN95.VXD", "ZAN95.CPL", "ZAN95.INF", "ZAN95.HLP", "ZAN95.INI"}, 6, "MEMO.TXT"};
    layout->records[1] = SampleRecord{
        "01", "%ROOT%Program Files\\ZANRO INC\\TRIO", "ｻﾞﾝﾛ ﾄﾘｵ", "0002",
        "PCI\\VEN_5333&DEV_8A22&SUBSYS_89001033&REV_02\\BUS_00&DEV_0E&FUNC_00",
        {"TRIO.DRV", "TRIO.VXD", "TRIOUTL.DLL", "TRIO.CPL", "TRIO.INF", "TRIO.HLP"}, 6, nullptr};
    layout->records[2] = SampleRecord{
        "02", "%ROOT%Program Files\\ZANRO INC\\DISPLAY", "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ", "0001",
        "PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01\\BUS_00&DEV_13&FUNC_00",
        {"ZANS3.DRV", "ZANS3.VXD", "ZANUTL.DLL", "ZANDISP.CPL", "ZANRES.LRC", "ZANRO.ICO", "ZANS3.INI",
         "ZANS3.CPD", "ZANSET.EXE", "ZANS3.INF", "ZANUTL.HLP", "zanmode.hlp", "ZANPOS.INI", "ZANREAD.TXT",
         nullptr, "ZANLATE.DRV"},
        16, nullptr};
    layout->recordCount = 3;
    layout->counter = "02";
    layout->boardPresent = true;
    layout->progmanGroups = true;
    layout->canaries = true;
}

void SampleSingleRecord(SampleInstallation *layout)
{
    *layout = SampleInstallation();
    layout->records[0] = SampleRecord{
        "00", "%ROOT%Program Files\\ZANRO INC\\DISPLAY", "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ", "0001",
        "PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01\\BUS_00&DEV_13&FUNC_00",
        {"ZANS3.DRV", "ZANS3.VXD", "ZANUTL.DLL", "ZANDISP.CPL", "ZANS3.INF", "ZANUTL.HLP", "ZANS3.INI", "ZANPOS.INI"}, 8,
        nullptr};
    layout->recordCount = 1;
    layout->counter = "0";
    layout->boardPresent = true;
    layout->progmanGroups = true;
    layout->canaries = true;
}

bool WriteSampleInstallation(const SampleInstallation *layout)
{
    ok = true;
    const SampleInstallation &l = *layout;
    installReadOnly = l.readOnly;
    CreateKey(kDriver);
    if (l.counter)
        SetText(HKEY_LOCAL_MACHINE, kDriver, "Counter", l.counter);
    for (int i = 0; i < l.utilityCount && i < kSampleMaxUtilities; ++i) {
        char key[MAX_PATH];
        if (Join(key, sizeof key, kUtility, "\\", l.utilities[i]))
            SetText(HKEY_LOCAL_MACHINE, key, "Version", "1.00");
    }
    for (int i = 0; i < l.recordCount && i < kSampleMaxRecords; ++i) {
        const SampleRecord &r = l.records[i];
        WriteRecordKeys(r);
        if (UsableName(r.board)) {
            char key[MAX_PATH];
            WriteDisplayClassKey(r.board);
            if (Join(key, sizeof key, kCompany, "\\", r.board))
                SetText(HKEY_LOCAL_MACHINE, key, "Version", "1.00");
        }
        if (UsableName(r.deviceNo))
            WriteDeviceKeys(r.deviceNo, r.board);
        WriteRecordFiles(r, l);
        char folder[MAX_PATH];
        if (UsableName(r.folderName) && SampleStartMenuFolder(r.folderName, folder, sizeof folder) &&
            !MakeDirectories(folder))
            Failed("directory", folder);
    }
    WriteSharedPieces(l);
    AdapterLayout adapter;
    if (BoardAdapter(l, &adapter) && !WriteAdapterLayout(&adapter))
        ok = false;
    if (l.canaries)
        WriteCanaries();
    if (l.progmanGroups)
        ForEachGroup(l, true);
    return ok;
}

void RemoveSampleInstallation(const SampleInstallation *layout)
{
    const SampleInstallation &l = *layout;
    char key[MAX_PATH], path[MAX_PATH];
    if (l.progmanGroups)
        ForEachGroup(l, false);
    for (int i = 0; i < l.recordCount && i < kSampleMaxRecords; ++i) {
        const SampleRecord &r = l.records[i];
        if (UsableName(r.board)) {
            if (Join(key, sizeof key, kDisplayClass, "\\", r.board))
                RemoveTree(HKEY_LOCAL_MACHINE, key);
            if (Join(key, sizeof key, kCompany, "\\", r.board))
                RemoveTree(HKEY_LOCAL_MACHINE, key);
        }
        if (UsableName(r.deviceNo)) {
            if (Join(key, sizeof key, "Enum\\", r.deviceNo))
                RemoveTree(HKEY_LOCAL_MACHINE, key);
            if (Join(key, sizeof key, "Config\\0001\\Enum\\", r.deviceNo))
                RemoveTree(HKEY_LOCAL_MACHINE, key);
        }
        for (int f = 0; f < r.fileCount && f < kSampleMaxFiles; ++f)
            if (r.files[f] && strlen(r.files[f]) >= 3 && SampleFilePath(r.files[f], path, sizeof path))
                RemoveFile(path);
        char dir[MAX_PATH];
        if (r.instDir && SampleExpandPath(r.instDir, dir, sizeof dir) && UsableName(dir)) {
            static const char *const names[] = {"README.TXT", "ZANDEL.EXE"};
            for (const char *name : names)
                if (Join(path, sizeof path, dir, "\\", name))
                    RemoveFile(path);
            if (r.userFile && Join(path, sizeof path, dir, "\\", r.userFile))
                RemoveFile(path);
            RemoveDirectoryA(dir);
        }
        if (UsableName(r.folderName) && SampleStartMenuFolder(r.folderName, path, sizeof path))
            RemoveDirectoryA(path);
    }
    RemoveTree(HKEY_LOCAL_MACHINE, kProduct);
    for (const Registration &reg : kRegistrations)
        RemoveTree(HKEY_LOCAL_MACHINE, reg.key);
    RemoveTree(HKEY_LOCAL_MACHINE, kMonitorClass);
    RemoveTree(HKEY_LOCAL_MACHINE, kMonitorDevice);
    HKEY settings;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettings, 0, KEY_ALL_ACCESS, &settings) == ERROR_SUCCESS) {
        static const char *const names[] = {"ICDMode", "DDSW", "BitsPerPixel", "Resolution"};
        for (const char *name : names)
            RegDeleteValueA(settings, name);
        RegCloseKey(settings);
    }
    RemoveIfEmpty(kSettings);
    AdapterLayout adapter;
    if (BoardAdapter(l, &adapter))
        RemoveAdapterLayout(&adapter);
    WritePrivateProfileStringA("drivers32", "Vids.draw", nullptr, "SYSTEM.INI");
    WritePrivateProfileStringA("386Enh", "EMMEXCLUDE", nullptr, "SYSTEM.INI");

    for (const char *marker : kMarkerFiles)
        if (PlaceDirectory(0, key, sizeof key) && Join(path, sizeof path, key, marker))
            RemoveFile(path);
    static const char *const shared[] = {"%WIN%\\s3gamma.cfg", "%SYS%\\s3color.cfg", "%SYS%\\ZANCHG16.DLL",
                                         "%SYS%\\ZANCHG32.DLL", "%WIN%\\ZANDEL.EXE"};
    for (const char *name : shared)
        if (SampleExpandPath(name, path, sizeof path))
            RemoveFile(path);
    if (SampleExpandPath("%ROOT%Program Files\\ZANRO INC\\BACKUP", path, sizeof path))
        RemoveDirectoryA(path);
    if (SampleExpandPath("%ROOT%Program Files\\ZANRO INC", path, sizeof path))
        RemoveDirectoryA(path);

    for (int i = 0; kSampleCanaryKeys[i]; ++i)
        RemoveTree(HKEY_LOCAL_MACHINE, kSampleCanaryKeys[i]);
    HKEY canaryKey;
    for (int i = 0; kSampleCanaryValues[i].key; ++i)
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSampleCanaryValues[i].key, 0, KEY_ALL_ACCESS, &canaryKey) ==
            ERROR_SUCCESS) {
            RegDeleteValueA(canaryKey, kSampleCanaryValues[i].name);
            RegCloseKey(canaryKey);
        }
    RemoveIfEmpty(kSettings);
    for (int i = 0; kSampleCanaryFiles[i]; ++i)
        if (SampleExpandPath(kSampleCanaryFiles[i], path, sizeof path))
            RemoveFile(path);
    if (SampleExpandPath("%ROOT%Program Files\\ZANRO SCAN", path, sizeof path))
        RemoveDirectoryA(path);
    for (int i = 0; kSampleCanaryIniEntries[i].section; ++i)
        WritePrivateProfileStringA(kSampleCanaryIniEntries[i].section, kSampleCanaryIniEntries[i].key, nullptr,
                                   "SYSTEM.INI");

    // Parents that only the sample created.
    static const char *const parents[] = {
        kDriver, kProduct, kCompany, kS3,
        "Enum\\PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01",
        "Enum\\PCI\\VEN_5333&DEV_8A22&SUBSYS_89001033&REV_02",
        "Config\\0001\\Enum\\PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01",
        "Config\\0001\\Enum\\PCI\\VEN_5333&DEV_8A22&SUBSYS_89001033&REV_02",
        "Enum\\PCI\\VEN_10EC&DEV_8029&SUBSYS_00000000&REV_00",
        "Config\\0001\\Enum\\PCI\\VEN_10EC&DEV_8029&SUBSYS_00000000&REV_00",
    };
    for (const char *parent : parents)
        RemoveIfEmpty(parent);
}

// The tool's "uninstall" command:
//   uninstall [--layout several|single] [--zandel PATH] [--zanchg32 PATH] [--utility NAME]
//             [--absent] [--no-groups] [--no-canaries] [--remove]
int SampleUninstallCommand(int argc, char **argv)
{
    SampleInstallation layout;
    SampleSeveralRecords(&layout);
    bool remove = false;
    const char *zandel = nullptr, *zanchg32 = nullptr;
    const char *utility = nullptr;
    bool absent = false, noGroups = false, noCanaries = false;
    for (int i = 0; i < argc; ++i) {
        const char *arg = argv[i];
        const char *next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (strcmp(arg, "--layout") == 0 && next) {
            if (strcmp(next, "single") == 0)
                SampleSingleRecord(&layout);
            else if (strcmp(next, "several") == 0)
                SampleSeveralRecords(&layout);
            else {
                fprintf(stderr, "unknown layout %s (several, single)\n", next);
                return 2;
            }
            ++i;
        } else if (strcmp(arg, "--zandel") == 0 && next) {
            zandel = next;
            ++i;
        } else if (strcmp(arg, "--zanchg32") == 0 && next) {
            zanchg32 = next;
            ++i;
        } else if (strcmp(arg, "--utility") == 0 && next) {
            utility = next;
            ++i;
        } else if (strcmp(arg, "--absent") == 0) {
            absent = true;
        } else if (strcmp(arg, "--no-groups") == 0) {
            noGroups = true;
        } else if (strcmp(arg, "--no-canaries") == 0) {
            noCanaries = true;
        } else if (strcmp(arg, "--remove") == 0) {
            remove = true;
        } else {
            fprintf(stderr, "unknown option %s\n", arg);
            return 2;
        }
    }
    layout.zandelSource = zandel;
    layout.zanchg32Source = zanchg32;
    if (utility) {
        layout.utilities[0] = utility;
        layout.utilityCount = 1;
    }
    if (absent)
        layout.boardPresent = false;
    if (noGroups)
        layout.progmanGroups = false;
    if (noCanaries)
        layout.canaries = false;
    if (remove) {
        RemoveSampleInstallation(&layout);
        return 0;
    }
    return WriteSampleInstallation(&layout) ? 0 : 1;
}
