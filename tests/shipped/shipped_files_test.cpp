// What ships is 32-bit and cannot run here, so it is read instead: it must load on Windows
// 95/98 (subsystem 4.0, nothing imported that those systems lack), and its resources must be
// those of the 64-bit twin that the Wine tests run, so every dialog, text and picture they
// see is the one that ships.
#include "pe_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>

namespace {

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

PeFile Shipped(const std::string &file) { return ReadPeFile(std::string(ZAN_DIST_DIR) + "/" + file); }
PeFile Twin(const std::string &file) { return ReadPeFile(std::string(ZAN_DIST64_DIR) + "/" + file); }

using AllowList = std::map<std::string, std::set<std::string>>;

// What the start-up code of a MinGW program takes from the system and the C runtime.
const std::set<std::string> kMingwStartupKernel = {
    "DeleteCriticalSection", "EnterCriticalSection", "GetLastError", "GetModuleHandleA",
    "GetProcAddress", "GetStartupInfoA", "InitializeCriticalSection", "LeaveCriticalSection",
    "SetUnhandledExceptionFilter", "Sleep", "TlsGetValue", "VirtualProtect", "VirtualQuery",
    "LoadLibraryA", "FreeLibrary", "GetCommandLineA", "ExitProcess", "GetCurrentProcess",
    "GetCurrentProcessId", "GetCurrentThreadId", "GetTickCount", "QueryPerformanceCounter",
    "GetSystemTimeAsFileTime", "TerminateProcess", "UnhandledExceptionFilter",
};
const std::set<std::string> kMingwStartupCrt = {
    "__dllonexit", "__getmainargs", "__initenv", "__lconv_init", "__p__acmdln", "__p__fmode",
    "__set_app_type", "__setusermatherr", "_amsg_exit", "_cexit", "_commode", "_errno",
    "_fmode", "_initterm", "_iob", "_lock", "_onexit", "_unlock", "abort", "calloc", "exit",
    "fprintf", "free", "fwrite", "malloc", "memcpy", "signal", "strlen", "strncmp", "vfprintf",
    "__p___argc", "__p___argv", "__p___initenv", "_controlfp", "__mb_cur_max", "_ismbblead",
    "_acmdln", "realloc",
};

AllowList WithStartup(AllowList list)
{
    list["KERNEL32.DLL"].insert(kMingwStartupKernel.begin(), kMingwStartupKernel.end());
    list["MSVCRT.DLL"].insert(kMingwStartupCrt.begin(), kMingwStartupCrt.end());
    return list;
}

// The stand-in display-mode library: a log file, and the restart it stands in for.
const AllowList kZanchgAllowList = WithStartup({
    {"KERNEL32.DLL", {"CreateFileA", "WriteFile", "CloseHandle", "SetFilePointer",
                      "GetEnvironmentVariableA", "lstrlenA", "lstrcpyA", "lstrcpynA"}},
    {"USER32.DLL", {"ExitWindowsEx", "wsprintfA"}},
});

// What the uninstaller may take from the system: start-up and confirmation, the uninstall
// run, file removal and the rename list, registry subtree removal, the Program Manager DDE
// client and the display configuration reset; plain C-runtime calls from msvcrt.
const AllowList kZandelAllowList = WithStartup({
    {"KERNEL32.DLL", {"CopyFileA", "DeleteFileA", "MoveFileA", "GetCurrentDirectoryA", "GetShortPathNameA",
                      "GetSystemDirectoryA", "GetWindowsDirectoryA", "SetCurrentDirectoryA", "WinExec",
                      "RemoveDirectoryA", "WritePrivateProfileStringA", "GetPrivateProfileStringA",
                      "GetFileAttributesA", "SetFileAttributesA", "lstrlenA", "lstrcpyA", "lstrcpynA",
                      "lstrcatA", "lstrcmpiA", "lstrcmpA", "CreateMutexA", "WaitForSingleObject",
                      "ReleaseMutex", "CloseHandle"}},
    {"USER32.DLL", {"DialogBoxParamA", "EndDialog", "MessageBoxA", "PostMessageA", "SendMessageA",
                    "SetWindowPos", "GetSystemMetrics", "GetWindowRect", "ExitWindowsEx", "FindWindowA",
                    "wsprintfA", "wvsprintfA", "CharNextA", "CharPrevA", "GetDlgItem", "LoadIconA", "DdeInitializeA",
                    "DdeUninitialize", "DdeConnect", "DdeDisconnect", "DdeClientTransaction",
                    "DdeCreateStringHandleA", "DdeFreeStringHandle", "DdeGetLastError", "DdeFreeDataHandle"}},
    {"ADVAPI32.DLL", {"RegOpenKeyA", "RegOpenKeyExA", "RegCreateKeyA", "RegCreateKeyExA", "RegEnumKeyA",
                      "RegEnumKeyExA", "RegEnumValueA", "RegQueryValueExA", "RegQueryInfoKeyA",
                      "RegSetValueExA", "RegDeleteKeyA", "RegDeleteValueA", "RegCloseKey"}},
    {"MSVCRT.DLL", {"fopen", "fclose", "fgets", "fputs", "fputc", "getc", "fread", "ferror", "feof", "fseek",
                    "fflush", "_snprintf", "_vsnprintf", "sprintf", "strstr", "strchr", "strrchr", "strcpy",
                    "strncpy", "strcat", "strcmp", "_stricmp", "_strnicmp", "memset", "memcmp", "memchr",
                    "memmove", "atoi", "strtol", "strtoul", "_itoa", "toupper", "tolower",
                    "__p__commode"}},
    {"ZANCHG32.DLL", {"RestartWindows"}},
});

// The display utility: no C runtime and no start-up code at all, only Windows 95-era ANSI
// functions of the kernel, user, GDI, registry and common-control libraries that its parts
// use (COM server, identification, page, mode change, position engine, controls, hook).
const AllowList kZanutlAllowList = {
    {"KERNEL32.DLL", {"GetVersionExA", "LoadLibraryA", "GetProcAddress", "LocalAlloc", "LocalFree",
                      "GetPrivateProfileStringA", "GetCurrentThreadId", "lstrlenA", "lstrcpyA", "lstrcpynA",
                      "lstrcatA"}},
    {"USER32.DLL", {"GetDC", "ReleaseDC", "LoadCursorA", "LoadIconA", "LoadBitmapA", "RegisterClassA",
                    "UnregisterClassA", "DefWindowProcA", "CallWindowProcA", "GetClientRect", "GetParent",
                    "GetWindow", "GetWindowTextA", "GetWindowLongA", "SetWindowLongA", "GetWindowRect",
                    "SetWindowPos", "GetSystemMetrics", "BeginPaint", "EndPaint", "InvalidateRect",
                    "ShowWindow", "EnableWindow", "GetDlgItem", "SendDlgItemMessageA", "SetDlgItemTextA",
                    "CheckDlgButton", "IsDlgButtonChecked", "SendMessageA", "PostMessageA", "FindWindowA",
                    "DialogBoxParamA", "EndDialog", "MessageBoxA", "SetTimer", "KillTimer",
                    "SetWindowsHookExA", "UnhookWindowsHookEx", "CallNextHookEx", "EnumDisplaySettingsA",
                    "ChangeDisplaySettingsA", "wsprintfA", "IsWindow"}},
    {"GDI32.DLL", {"ExtEscape", "GetObjectA", "DeleteObject", "CreateCompatibleDC", "SelectObject", "BitBlt",
                   "DeleteDC"}},
    {"ADVAPI32.DLL", {"RegOpenKeyExA", "RegEnumKeyA", "RegQueryValueExA", "RegSetValueExA", "RegDeleteValueA",
                      "RegCloseKey"}},
    {"COMCTL32.DLL", {"CreatePropertySheetPageA", "DestroyPropertySheetPage"}},
};

struct ShippedCase {
    const char *file;
    const AllowList *allowed;
    bool dll;
    const char *dialog;  // one resource the file must hold, so that two empty sets cannot pass;
                         // Japanese (1041), as the Windows it is made for
};

const ShippedCase kShipped[] = {
    {"ZANDEL.EXE", &kZandelAllowList, false, "#5/#101/#1041"},
    {"ZANUTL.DLL", &kZanutlAllowList, true, "#5/#101/#1041"},
    {"ZANCHG32.DLL", &kZanchgAllowList, true, nullptr},
};

std::set<std::string> Keys(const PeFile &pe)
{
    std::set<std::string> keys;
    for (const auto &resource : pe.resources)
        keys.insert(resource.first);
    return keys;
}

} // namespace

TEST(ShippedFiles, LoadOnWindows95AndHoldTheTwinsResources)
{
    for (const ShippedCase &c : kShipped) {
        SCOPED_TRACE(c.file);
        PeFile image = Shipped(c.file);
        ASSERT_TRUE(image.valid) << "missing or malformed";
        EXPECT_EQ(kMachineI386, image.machine);
        EXPECT_FALSE(image.plus);
        EXPECT_EQ(4u, image.subsystemMajor);
        EXPECT_EQ(0u, image.subsystemMinor);
        EXPECT_EQ(c.dll, bool(image.characteristics & kImageDll));
        EXPECT_FALSE(image.imports.empty());
        for (const PeImport &imp : image.imports) {
            auto dll = c.allowed->find(Upper(imp.dll));
            ASSERT_NE(dll, c.allowed->end()) << "imports from " << imp.dll;
            EXPECT_TRUE(dll->second.count(imp.function)) << "imports " << imp.dll << "!" << imp.function;
        }

        // The twin must really be the other build, or the comparison below proves nothing.
        PeFile twin = Twin(c.file);
        ASSERT_TRUE(twin.valid) << "twin missing or malformed";
        EXPECT_EQ(kMachineAmd64, twin.machine);
        EXPECT_TRUE(twin.plus);
        if (c.dialog) {
            EXPECT_EQ(1u, image.resources.count(c.dialog)) << c.dialog;
        }
        EXPECT_EQ(Keys(twin), Keys(image));
        for (const auto &resource : image.resources) {
            auto other = twin.resources.find(resource.first);
            if (other != twin.resources.end()) {
                EXPECT_TRUE(other->second == resource.second) << resource.first << " differs from the twin's";
            }
        }
    }
}

TEST(ShippedFiles, DisplayUtilityHasNoRuntimeAndExportsOnlyTheComEntries)
{
    PeFile image = Shipped("ZANUTL.DLL");
    ASSERT_TRUE(image.valid);
    for (const PeImport &imp : image.imports) {
        std::string dll = Upper(imp.dll);
        EXPECT_NE("MSVCRT.DLL", dll) << "ZANUTL.DLL takes " << imp.function << " from the C runtime";
        EXPECT_NE(0u, dll.rfind("LIBGCC", 0)) << dll;
        EXPECT_NE(0u, dll.rfind("LIBSTDC", 0)) << dll;
    }
    std::map<std::string, unsigned> exports;
    for (const PeExport &e : image.exports)
        exports[e.name] = e.ordinal;
    EXPECT_EQ((std::map<std::string, unsigned>{{"DllCanUnloadNow", 2}, {"DllGetClassObject", 3}}), exports);
}

TEST(ShippedFiles, StandInDisplayModeLibraryExportsUndecoratedNames)
{
    PeFile image = Shipped("ZANCHG32.DLL");
    ASSERT_TRUE(image.valid);
    std::set<std::string> names;
    for (const PeExport &e : image.exports)
        names.insert(e.name);
    EXPECT_EQ((std::set<std::string>{"CheckQuickRes", "QuickResChange", "RestartWindows"}), names);
}
