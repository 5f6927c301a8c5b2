// What ships is 32-bit and cannot run here, so it is read instead: it must load on Windows
// 95/98 (subsystem 4.0, nothing imported that those systems lack, no C runtime), run on
// every PC-9821 processor (no instruction the i486 lacks), and its resources must be those
// of the 64-bit twin that the Wine tests run, so every dialog, text and picture they see is
// the one that ships.
#include "i486_code.h"
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

// What the start-up code of a MinGW program takes from the system and the C runtime (the
// stand-in display-mode library has it; the shipped files do not).
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

// What the uninstaller may take from the system: its own entry point (no C runtime),
// start-up and confirmation, the uninstall run and the note of a run in progress, file
// removal and the rename list with its file stream and the stream's heap block, registry
// subtree removal, the Program Manager DDE client and the display configuration reset.
const AllowList kZandelAllowList = {
    {"KERNEL32.DLL", {"GetModuleHandleA", "GetStartupInfoA", "ExitProcess", "CopyFileA", "DeleteFileA",
                      "MoveFileA", "GetCurrentDirectoryA", "GetShortPathNameA", "GetSystemDirectoryA",
                      "GetWindowsDirectoryA", "SetCurrentDirectoryA", "WinExec", "RemoveDirectoryA",
                      "WritePrivateProfileStringA", "GetPrivateProfileStringA", "GetFileAttributesA",
                      "SetFileAttributesA", "CreateFileA", "ReadFile", "WriteFile", "SetFilePointer",
                      "FlushFileBuffers", "GetFileSize", "CloseHandle", "CreateMutexA", "WaitForSingleObject",
                      "ReleaseMutex", "LocalAlloc", "LocalFree", "lstrlenA", "lstrcpyA",
                      "lstrcpynA", "lstrcatA", "lstrcmpiA", "lstrcmpA"}},
    {"USER32.DLL", {"DialogBoxParamA", "EndDialog", "MessageBoxA", "PostMessageA", "SendMessageA",
                    "SetWindowPos", "GetSystemMetrics", "GetWindowRect", "ExitWindowsEx", "FindWindowA",
                    "wsprintfA", "wvsprintfA", "CharNextA", "CharPrevA", "GetDlgItem", "LoadIconA", "DdeInitializeA",
                    "DdeUninitialize", "DdeConnect", "DdeDisconnect", "DdeClientTransaction",
                    "DdeCreateStringHandleA", "DdeFreeStringHandle", "DdeGetLastError", "DdeFreeDataHandle"}},
    {"ADVAPI32.DLL", {"RegOpenKeyA", "RegOpenKeyExA", "RegCreateKeyA", "RegCreateKeyExA", "RegEnumKeyA",
                      "RegEnumKeyExA", "RegEnumValueA", "RegQueryValueExA", "RegQueryInfoKeyA",
                      "RegSetValueExA", "RegDeleteKeyA", "RegDeleteValueA", "RegFlushKey", "RegCloseKey"}},
    {"ZANCHG32.DLL", {"RestartWindows"}},
};

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

// What a stock Windows 95 has in its system folder, of what the shipped files may need, and
// the board's display-mode library. MSVCRT.DLL is not among them: it came with Visual C++ 4.2
// in 1996, then Internet Explorer 4 and Windows 98.
const std::set<std::string> kWindows95Dlls = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL",
                                              "SHELL32.DLL", "COMCTL32.DLL", "ZANCHG32.DLL"};
const char *const kDeliverables[] = {"ZANDEL.EXE", "ZANUTL.DLL"};

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

// Windows 95 as first released refuses to start a program whose DLLs are not there; a C
// runtime's start-up would also leave its TLS directory and its .CRT section.
TEST(ShippedFiles, NeedOnlyWhatWindows95HasAndNoCRuntime)
{
    for (const char *file : kDeliverables) {
        SCOPED_TRACE(file);
        PeFile image = Shipped(file);
        ASSERT_TRUE(image.valid) << "missing or malformed";
        std::set<std::string> dlls;
        for (const PeImport &imp : image.imports)
            dlls.insert(Upper(imp.dll));
        EXPECT_FALSE(dlls.empty());
        for (const std::string &dll : dlls)
            EXPECT_TRUE(kWindows95Dlls.count(dll)) << file << " imports from " << dll << ", which Windows 95 lacks";
        EXPECT_EQ(0u, image.tlsDirectory) << file << " has a TLS directory";
        for (const std::string &section : image.sections) {
            EXPECT_NE(".tls", section) << file;
            EXPECT_NE(".CRT", section) << file;
        }
    }
}

// Most PC-9821 models with PCI slots have a Pentium or a Pentium MMX, some a 486; each
// raises an invalid-opcode fault on what came later (CMOV first of all, the compilers' own
// default). No run here can show it: the emulated machine's processor has them all.
TEST(ShippedFiles, CodeRunsOnTheI486AndEveryPentium)
{
    for (const char *file : kDeliverables) {
        SCOPED_TRACE(file);
        CodeCheck check = CheckI486Code(ZAN_OBJDUMP, std::string(ZAN_DIST_DIR) + "/" + file);
        ASSERT_TRUE(check.ran) << check.error;
        EXPECT_LT(1000u, check.instructions) << "too little code was read to tell";
        std::string list;
        for (size_t i = 0; i < check.newer.size() && i < 40; ++i)
            list += "\n  " + check.newer[i];
        EXPECT_TRUE(check.newer.empty())
            << file << ": " << check.newer.size() << " instructions the i486 lacks, of " << check.instructions << list;
    }
}

TEST(ShippedFiles, CheckOfTheCodeKnowsWhatCameAfterTheI486)
{
    const struct {
        const char *mnemonic, *operands;
        bool newer;
    } cases[] = {
        {"cmove", "eax,edx", true},        {"fcmovb", "st,st(1)", true},   {"fucomip", "st,st(1)", true},
        {"fcomi", "st,st(2)", true},       {"cmpxchg8b", "QWORD PTR [esi]", true},
        {"rdtsc", "", true},               {"cpuid", "", true},            {"emms", "", true},
        {"movq", "mm0,QWORD PTR [eax]", true}, {"movd", "eax,mm1", true}, {"pxor", "xmm0,xmm0", true},
        {"movaps", "XMMWORD PTR [esp],xmm7", true}, {"vmovdqu", "ymm1,YMMWORD PTR [eax]", true},
        {"nop", "DWORD PTR [eax+0x0]", true}, {"prefetchnta", "BYTE PTR [eax]", true}, {"sfence", "", true},
        {"mov", "eax,DWORD PTR [esp+0x4]", false}, {"cmpxchg", "DWORD PTR [ecx],edx", false},
        {"xadd", "DWORD PTR [ecx],eax", false}, {"bswap", "eax", false}, {"nop", "", false},
        {"sete", "al", false}, {"call", "401000 <comm0>", false}, {"fld", "QWORD PTR [esp]", false},
        {"xchg", "ax,ax", false}, {"imul", "eax,DWORD PTR [ebx+0x8],0xa", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.newer, NewerThanI486(c.mnemonic, c.operands)) << c.mnemonic << " " << c.operands;
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
