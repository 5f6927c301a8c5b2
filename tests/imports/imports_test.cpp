// The shipped binaries must load on Windows 95/98: subsystem 4.0 and nothing imported
// that those systems lack (Unicode-only or later kernel functions, the C++ runtime).
#include "pe_image.h"

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

AllowList Merge(AllowList base, const AllowList &more)
{
    for (const auto &entry : more)
        base[entry.first].insert(entry.second.begin(), entry.second.end());
    return base;
}

AllowList StartupAllowList()
{
    return {{"KERNEL32.DLL", kMingwStartupKernel}, {"MSVCRT.DLL", kMingwStartupCrt}};
}

void ExpectLoadableOnWin95(const std::string &file, const AllowList &allowed)
{
    PeImage image = ReadPeImage(std::string(ZAN_DIST_DIR) + "\\" + file);
    ASSERT_TRUE(image.valid) << file << " is missing or not a 32-bit PE image";
    EXPECT_EQ(4u, image.subsystemMajor) << file;
    EXPECT_EQ(0u, image.subsystemMinor) << file;
    EXPECT_FALSE(image.imports.empty()) << file;
    for (const PeImport &imp : image.imports) {
        auto dll = allowed.find(Upper(imp.dll));
        ASSERT_NE(dll, allowed.end()) << file << " imports from " << imp.dll;
        EXPECT_TRUE(dll->second.count(imp.function))
            << file << " imports " << imp.dll << "!" << imp.function;
    }
}

} // namespace

TEST(Imports, StandInDisplayModeLibraryExportsUndecoratedNames)
{
    PeImage image = ReadPeImage(std::string(ZAN_DIST_DIR) + "\\ZANCHG32.DLL");
    ASSERT_TRUE(image.valid);
    std::set<std::string> names;
    for (const PeExport &e : image.exports)
        names.insert(e.name);
    EXPECT_EQ((std::set<std::string>{"CheckQuickRes", "QuickResChange", "RestartWindows"}), names);
    ExpectLoadableOnWin95("ZANCHG32.DLL",
        Merge(StartupAllowList(),
              {{"KERNEL32.DLL", {"CreateFileA", "WriteFile", "CloseHandle", "SetFilePointer",
                                 "GetEnvironmentVariableA", "lstrlenA", "lstrcpyA", "lstrcpynA"}},
               {"USER32.DLL", {"ExitWindowsEx", "wsprintfA"}}}));
}

// What the uninstaller may take from the system: start-up and confirmation, the uninstall
// run, file removal and the rename list, registry subtree removal, the Program Manager DDE
// client and the display configuration reset; plain C-runtime calls from msvcrt.
const AllowList kZandelAllowList = {
    {"KERNEL32.DLL", {"CopyFileA", "DeleteFileA", "GetCurrentDirectoryA", "GetShortPathNameA",
                      "GetSystemDirectoryA", "GetWindowsDirectoryA", "SetCurrentDirectoryA", "WinExec",
                      "RemoveDirectoryA", "WritePrivateProfileStringA", "GetPrivateProfileStringA",
                      "GetFileAttributesA", "SetFileAttributesA", "lstrlenA", "lstrcpyA", "lstrcpynA",
                      "lstrcatA", "lstrcmpiA", "lstrcmpA"}},
    {"USER32.DLL", {"DialogBoxParamA", "EndDialog", "MessageBoxA", "PostMessageA", "SendMessageA",
                    "SetWindowPos", "GetSystemMetrics", "GetWindowRect", "ExitWindowsEx", "FindWindowA",
                    "wsprintfA", "wvsprintfA", "GetDlgItem", "LoadIconA", "DdeInitializeA",
                    "DdeUninitialize", "DdeConnect", "DdeDisconnect", "DdeClientTransaction",
                    "DdeCreateStringHandleA", "DdeFreeStringHandle", "DdeGetLastError", "DdeFreeDataHandle"}},
    {"ADVAPI32.DLL", {"RegOpenKeyA", "RegOpenKeyExA", "RegCreateKeyA", "RegCreateKeyExA", "RegEnumKeyA",
                      "RegEnumKeyExA", "RegEnumValueA", "RegQueryValueExA", "RegQueryInfoKeyA",
                      "RegSetValueExA", "RegDeleteKeyA", "RegDeleteValueA", "RegCloseKey"}},
    {"MSVCRT.DLL", {"fopen", "fclose", "fgets", "fputs", "fputc", "getc", "fread", "ferror", "feof",
                    "fflush", "_snprintf", "_vsnprintf", "sprintf", "strstr", "strchr", "strrchr", "strcpy",
                    "strncpy", "strcat", "strcmp", "_stricmp", "_strnicmp", "memset", "memcmp", "memchr",
                    "memmove", "atoi", "strtol", "strtoul", "_itoa", "toupper", "tolower",
                    "__p__commode"}},
    {"ZANCHG32.DLL", {"RestartWindows"}},
};

TEST(Imports, UninstallerLoadsOnWindows95)
{
    ExpectLoadableOnWin95("ZANDEL.EXE", Merge(StartupAllowList(), kZandelAllowList));
}

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

TEST(Imports, DisplayUtilityHasNoRuntimeAndLoadsOnWindows95)
{
    ExpectLoadableOnWin95("ZANUTL.DLL", kZanutlAllowList);
    PeImage image = ReadPeImage(std::string(ZAN_DIST_DIR) + "\\ZANUTL.DLL");
    ASSERT_TRUE(image.valid);
    EXPECT_TRUE(image.characteristics & 0x2000) << "a DLL";
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
