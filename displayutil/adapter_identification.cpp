#include "adapter_identification.h"

#include <windows.h>

#include "adapter_state.h"
#include "page_procs.h"
#include "position_engine.h"

namespace {

const DWORD kTextBuffer = 256;

const char kStaticClass[] = "ZanStatic";
const char kButtonClass[] = "ZanButton";

// Whole strings, byte for byte (no locale folding, unlike lstrcmpA).
bool SameText(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        if (*a != *b)
            return false;
        if (!*a)
            return true;
    }
}

// Appends to a zero-terminated buffer; false (buffer unchanged) when it would not fit.
bool AppendText(char *buffer, DWORD size, const char *text)
{
    DWORD length = 0;
    while (buffer[length])
        ++length;
    DWORD extra = 0;
    while (text[extra])
        ++extra;
    if (length + extra + 1 > size)
        return false;
    for (DWORD i = 0; i <= extra; ++i)
        buffer[length + i] = text[i];
    return true;
}

bool JoinText(char *buffer, DWORD size, const char *a, const char *b, const char *c = "", const char *d = "")
{
    buffer[0] = '\0';
    return AppendText(buffer, size, a) && AppendText(buffer, size, b) && AppendText(buffer, size, c) &&
           AppendText(buffer, size, d);
}

// A registry text of at most size - 1 bytes, always zero-terminated inside the buffer;
// a missing, unreadable or overlong value reads as empty (false).
bool ReadRegistryText(HKEY key, const char *name, char *buffer, DWORD size)
{
    DWORD length = size - 1;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name, NULL, &type, reinterpret_cast<BYTE *>(buffer), &length);
    if (status != ERROR_SUCCESS || length > size - 1) {
        buffer[0] = '\0';
        return false;
    }
    buffer[length] = '\0';
    return true;
}

// A 32-bit value of at most 4 bytes (shorter data fills the low bytes).
bool ReadRegistryDword(HKEY key, const char *name, DWORD *value)
{
    DWORD data = 0;
    DWORD length = sizeof data;
    if (RegQueryValueExA(key, name, NULL, NULL, reinterpret_cast<BYTE *>(&data), &length) != ERROR_SUCCESS)
        return false;
    *value = data;
    return true;
}

void CloseDriverKey()
{
    if (driverKey) {
        RegCloseKey(driverKey);
        driverKey = NULL;
    }
}

bool IsDisplayClass(const char *className)
{
    return SameText(className, "Display") || SameText(className, "DISPLAY");
}

bool IsBoardMaker(const char *maker)
{
    return SameText(maker, "ｻﾞﾝﾛ") || SameText(maker, "ザンロ") || SameText(maker, "ZANRO INC.");
}

// The device is in the current hardware configuration and its driver has a "UTILITY" key
// that opens for reading and writing: that key becomes driverKey.
bool OpenPresentDriverKey(const char *hardwareName, const char *driver)
{
    if (!driver[0])
        return false;
    char utilityPath[kTextBuffer];
    if (!JoinText(utilityPath, sizeof utilityPath, "System\\CurrentControlSet\\Services\\Class\\", driver,
                  "\\UTILITY"))
        return false;
    HKEY present;
    if (RegOpenKeyExA(HKEY_DYN_DATA, "Config Manager\\Enum", 0, KEY_READ, &present) != ERROR_SUCCESS)
        return false;
    bool opened = false;
    char entry[kTextBuffer];
    for (DWORD n = 0; !opened && RegEnumKeyA(present, n, entry, sizeof entry) == ERROR_SUCCESS; ++n) {
        HKEY entryKey;
        if (RegOpenKeyExA(present, entry, 0, KEY_READ, &entryKey) != ERROR_SUCCESS)
            continue;
        char hardwareKey[kTextBuffer];
        bool named = ReadRegistryText(entryKey, "HardWareKey", hardwareKey, sizeof hardwareKey) &&
                     SameText(hardwareKey, hardwareName);
        RegCloseKey(entryKey);
        if (!named)
            continue;
        HKEY utility;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, utilityPath, 0, KEY_READ | KEY_SET_VALUE, &utility) ==
            ERROR_SUCCESS) {
            driverKey = utility;
            opened = true;
        }
    }
    RegCloseKey(present);
    return opened;
}

// One PCI instance: a display device of the board's maker that is present now.
bool IsBoardInstance(HKEY deviceKey, const char *device, const char *instance)
{
    HKEY instanceKey;
    if (RegOpenKeyExA(deviceKey, instance, 0, KEY_READ, &instanceKey) != ERROR_SUCCESS)
        return false;
    char className[kTextBuffer], maker[kTextBuffer], driver[kTextBuffer];
    ReadRegistryText(instanceKey, "Class", className, sizeof className);
    ReadRegistryText(instanceKey, "Mfg", maker, sizeof maker);
    ReadRegistryText(instanceKey, "Driver", driver, sizeof driver);
    RegCloseKey(instanceKey);
    char hardwareName[kTextBuffer];
    if (!JoinText(hardwareName, sizeof hardwareName, "PCI\\", device, "\\", instance))
        return false;
    if (!IsDisplayClass(className) || !IsBoardMaker(maker))
        return false;
    return OpenPresentDriverKey(hardwareName, driver);
}

template <typename Proc>
Proc LibraryEntry(HMODULE library, const char *name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// The board's display-mode library lives in the system directory; the bare name lets the
// platform's search order find it. It is never unloaded.
void BindDisplayModeLibrary()
{
    HMODULE library = LoadLibraryA("ZANCHG32.DLL");
    if (library) {
        pfnCheckQuickRes = LibraryEntry<CheckQuickResProc>(library, "CheckQuickRes");
        pfnQuickResChange = LibraryEntry<QuickResChangeProc>(library, "QuickResChange");
    }
    quickResAvailable = 0;
    if (pfnCheckQuickRes)
        quickResAvailable = static_cast<DWORD>(pfnCheckQuickRes());
}

int DriverHasEscape()
{
    HDC screen = GetDC(NULL);
    DWORD escape = ESC_DISPLAYUTIL;
    int result = ExtEscape(screen, QUERYESCSUPPORT, sizeof escape, reinterpret_cast<LPCSTR>(&escape), 0, NULL);
    if (screen)
        ReleaseDC(NULL, screen);
    // A negative answer is an error, not support.
    return result > 0 ? result : 0;
}

} // namespace

int FindAdapterKey9x()
{
    HKEY pci;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Enum\\PCI", 0, KEY_READ, &pci) != ERROR_SUCCESS)
        return 0;
    bool found = false;
    char device[kTextBuffer];
    for (DWORD d = 0; !found && RegEnumKeyA(pci, d, device, sizeof device) == ERROR_SUCCESS; ++d) {
        HKEY deviceKey;
        if (RegOpenKeyExA(pci, device, 0, KEY_READ, &deviceKey) != ERROR_SUCCESS)
            continue;
        char instance[kTextBuffer];
        for (DWORD i = 0; !found && RegEnumKeyA(deviceKey, i, instance, sizeof instance) == ERROR_SUCCESS; ++i)
            found = IsBoardInstance(deviceKey, device, instance);
        RegCloseKey(deviceKey);
    }
    RegCloseKey(pci);
    return found ? 1 : 0;
}

int FindAdapterKeyNT()
{
    HKEY video;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\VIDEO", 0, KEY_READ, &video) != ERROR_SUCCESS)
        return 0;
    char devicePath[kTextBuffer];
    bool read = ReadRegistryText(video, "\\DEVICE\\VIDEO0", devicePath, sizeof devicePath);
    RegCloseKey(video);
    if (!read)
        return 0;
    // \Registry\Machine\System\CurrentControlSet\Services\<service>\Device0: the tail after
    // the sixth backslash is the service's device key. A shorter path names no service.
    const char *tail = NULL;
    int backslashes = 0;
    for (int i = 0; i < 128 && devicePath[i]; ++i) {
        if (devicePath[i] == '\\' && ++backslashes == 6) {
            tail = devicePath + i + 1;
            break;
        }
    }
    if (!tail)
        return 0;
    char servicePath[kTextBuffer];
    if (!JoinText(servicePath, sizeof servicePath, "System\\CurrentControlSet\\Services\\", tail))
        return 0;
    HKEY service;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, servicePath, 0, KEY_READ | KEY_SET_VALUE, &service) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, servicePath, 0, KEY_READ, &service) != ERROR_SUCCESS)
        return 0;
    driverKey = service;
    return 1;
}

int ReadColorFormatSettings()
{
    DWORD format;
    if (!driverKey || !ReadRegistryDword(driverKey, "555or565", &format))
        return 0;
    d3dFullSupport = 0;
    ReadRegistryDword(driverKey, "D3DFullSupport", &d3dFullSupport);
    useDirect3DColor = format == 0 ? 1 : 0;
    return 1;
}

int IdentifyAdapter()
{
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    isWin9x = version.dwPlatformId != VER_PLATFORM_WIN32_NT ? 1 : 0;
    isWin98 = isWin9x && version.dwMinorVersion == 10 ? 1 : 0;

    // Each request for pages identifies afresh; the key of an earlier one is not kept open.
    CloseDriverKey();
    int found;
    if (isWin9x) {
        found = FindAdapterKey9x();
        has555or565 = static_cast<DWORD>(ReadColorFormatSettings());
        BindDisplayModeLibrary();
    } else {
        found = FindAdapterKeyNT();
    }
    if (!found)
        return 0;
    return DriverHasEscape();
}

int RegisterControlClasses()
{
    int identified = IdentifyAdapter();
    if (!identified)
        return 0;
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.hInstance = moduleInstance;
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.lpfnWndProc = MonitorPictureProc;
    windowClass.lpszClassName = kStaticClass;
    RegisterClassA(&windowClass);
    windowClass.lpfnWndProc = ArrowButtonProc;
    windowClass.lpszClassName = kButtonClass;
    RegisterClassA(&windowClass);
    return identified;
}

int ReleasePageResources()
{
    UnregisterClassA(kStaticClass, moduleInstance);
    UnregisterClassA(kButtonClass, moduleInstance);
    CloseDriverKey();
    return 1;
}
