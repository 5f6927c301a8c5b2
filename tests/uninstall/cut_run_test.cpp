// A whole uninstall cut short by a power cut, then started again. The runs are in-process
// (the test program is the uninstaller) over the sample installation; every call of the
// program that changes the machine goes through its import table, where it is counted and,
// from the cut on, no longer made: nothing more reaches the registry, the disk or Program
// Manager, as when the power goes; a write the power goes in puts half its bytes down. The
// second start has no fault. However early or late the cut came, the machine must then be
// the one a whole run leaves, line for line and file for file.
#include "uninstall_harness.h"

#include "file_fixture.h"
#include "import_patch.h"
#include "process_state.h"
#include "registry_fixture.h"
#include "uninstall_sequence.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct PowerCut {
    bool armed = false;
    int target = 0;  // the counted call the power goes before, from 1; 0: it stays on
    int calls = 0;
    bool off = false;
};
PowerCut power;

enum Turn {
    kGo,
    kTorn,  // the call the power goes in: a write puts the first half of its bytes down
    kOff,
};

// How a call goes; `changes` says whether it is one of the counted ones.
Turn Next(bool changes = true)
{
    if (!power.armed)
        return kGo;
    if (power.off)
        return kOff;
    if (changes && ++power.calls == power.target) {
        power.off = true;
        return kTorn;
    }
    return kGo;
}

bool Goes(bool changes = true) { return Next(changes) == kGo; }

decltype(&RegSetValueExA) realSetValue;
decltype(&RegDeleteKeyA) realDeleteKey;
decltype(&RegDeleteValueA) realDeleteValue;
decltype(&RegCreateKeyA) realCreateKey;
decltype(&DeleteFileA) realDeleteFile;
decltype(&RemoveDirectoryA) realRemoveDirectory;
decltype(&CopyFileA) realCopyFile;
decltype(&MoveFileA) realMoveFile;
decltype(&SetFileAttributesA) realSetAttributes;
decltype(&WritePrivateProfileStringA) realWriteProfile;
decltype(&CreateFileA) realCreateFile;
decltype(&WriteFile) realWriteFile;
decltype(&WinExec) realWinExec;
decltype(&DdeClientTransaction) realTransaction;

LONG WINAPI CutSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    Turn turn = Next();
    if (turn == kGo)
        return realSetValue(key, name, reserved, type, data, size);
    if (turn == kTorn)
        realSetValue(key, name, reserved, type, data, size / 2);
    return ERROR_NOT_READY;
}

LONG WINAPI CutDeleteKey(HKEY key, LPCSTR name)
{
    return Goes() ? realDeleteKey(key, name) : ERROR_NOT_READY;
}

LONG WINAPI CutDeleteValue(HKEY key, LPCSTR name)
{
    return Goes() ? realDeleteValue(key, name) : ERROR_NOT_READY;
}

// Opening a key that is there changes nothing.
LONG WINAPI CutCreateKey(HKEY parent, LPCSTR name, PHKEY key)
{
    HKEY existing;
    bool there = RegOpenKeyExA(parent, name, 0, KEY_READ, &existing) == ERROR_SUCCESS;
    if (there)
        RegCloseKey(existing);
    return Goes(!there) ? realCreateKey(parent, name, key) : ERROR_NOT_READY;
}

BOOL WINAPI CutDeleteFile(LPCSTR path) { return Goes() && realDeleteFile(path); }
BOOL WINAPI CutRemoveDirectory(LPCSTR path) { return Goes() && realRemoveDirectory(path); }
BOOL WINAPI CutCopyFile(LPCSTR from, LPCSTR to, BOOL failIfExists) { return Goes() && realCopyFile(from, to, failIfExists); }
BOOL WINAPI CutMoveFile(LPCSTR from, LPCSTR to) { return Goes() && realMoveFile(from, to); }
BOOL WINAPI CutSetAttributes(LPCSTR path, DWORD attributes) { return Goes() && realSetAttributes(path, attributes); }

BOOL WINAPI CutWriteProfile(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    return Goes() && realWriteProfile(section, key, value, file);
}

// Opening a file that is there, to read it, changes nothing.
HANDLE WINAPI CutCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                            DWORD disposition, DWORD flags, HANDLE model)
{
    bool changes = disposition != OPEN_EXISTING || (access & GENERIC_WRITE);
    if (!Goes(changes))
        return INVALID_HANDLE_VALUE;
    return realCreateFile(path, access, share, security, disposition, flags, model);
}

BOOL WINAPI CutWriteFile(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    Turn turn = Next();
    if (turn == kGo)
        return realWriteFile(file, data, size, written, overlapped);
    if (turn == kTorn)
        realWriteFile(file, data, size / 2, written, overlapped);
    if (written)
        *written = 0;
    return FALSE;
}

// Nothing starts once the power is off.
UINT WINAPI CutWinExec(LPCSTR command, UINT show) { return Goes(false) ? realWinExec(command, show) : 0; }

HDDEDATA WINAPI CutTransaction(LPBYTE data, DWORD size, HCONV conversation, HSZ item, UINT format, UINT type,
                               DWORD timeout, LPDWORD result)
{
    return Goes() ? realTransaction(data, size, conversation, item, format, type, timeout, result) : nullptr;
}

// The final message is not what is tested here: it is answered at once, without a restart.
int WINAPI AnswerCancel(HWND, LPCSTR, LPCSTR, UINT) { return IDCANCEL; }
BOOL WINAPI NoDialogToEnd(HWND, INT_PTR) { return TRUE; }

// A start as a user makes it: from the install directory while its uninstaller is there,
// which stores that directory as the boot directory when the product's key opens, else from
// the Windows directory, which stores nothing. Then the working instance: its paths, the
// restart flag as a new process has it, the run. The counted calls it made.
int StartAndRun(const std::string &installDir, int cutBefore, bool *cut)
{
    const char product[] = "SOFTWARE\\ZANRO INC\\DISPLAY";
    if (FileExists(installDir + "\\ZANDEL.EXE") && RegKeyExists(HKEY_LOCAL_MACHINE, product)) {
        EXPECT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, product, "BootDir", installDir));
    }
    lstrcpynA(windowsDir, WindowsDir().c_str(), MAX_PATH);
    lstrcpynA(systemDir, SystemDir().c_str(), MAX_PATH);
    lstrcpynA(infDir, (WindowsDir() + "\\INF").c_str(), MAX_PATH);
    restartRequired = 1;
    power = PowerCut();
    power.target = cutBefore;
    power.armed = true;
    RunUninstall(nullptr);
    power.armed = false;
    *cut = power.off;
    return power.calls;
}

std::string Differences(const MachineState &whole, const MachineState &now)
{
    std::string text;
    auto add = [&text](const char *what, const std::set<std::string> &lines) {
        if (!lines.empty())
            text += std::string(what) + ":\n" + Join(lines);
    };
    add("registry lines missing", Minus(whole.registry, now.registry));
    add("registry lines left or added", Minus(now.registry, whole.registry));
    std::set<std::string> wholeFiles = WithoutRunFiles(whole.files), nowFiles = WithoutRunFiles(now.files);
    add("files missing", Minus(wholeFiles, nowFiles));
    add("files left or added", Minus(nowFiles, wholeFiles));
    if (whole.wininitExists != now.wininitExists || whole.wininit != now.wininit)
        text += "rename list:\n" + now.wininit + "\n";
    if (whole.systemIni != now.systemIni)
        text += "SYSTEM.INI:\n" + now.systemIni + "\n";
    return text;
}

// Of the sample's records, the older one of the board and the one started from: nothing of
// the product is left afterwards, so the run also takes the product's key and the shared
// libraries.
void OlderAndSelectedRecords(SampleInstallation *layout)
{
    SampleSeveralRecords(layout);
    layout->records[1] = layout->records[2];
    layout->recordCount = 2;
}

// Program Manager's groups as Wine keeps them, a folder each with the two items, written
// directly: asking Program Manager for them takes a second each time.
void WriteGroups(const SampleInstallation &layout, bool write)
{
    for (int i = 0; i < layout.recordCount; ++i) {
        std::string group = GroupFolder(layout.records[i].folderName);
        if (!write) {
            RemovePath(group);
            continue;
        }
        EXPECT_TRUE(MakeDirs(group));
        for (const char *item : {"\\ｱﾝｲﾝｽﾄｰﾗ.lnk", "\\Read Me.lnk"})
            EXPECT_TRUE(WriteFileBytes(group + item, "link"));
    }
}

} // namespace

extern "C" int WINAPI RestartWindows(void) { return 1; }

TEST(CutRun, SecondStartAfterACutAtAnyCallLeavesWhatAWholeRunLeaves)
{
    ImportPatch patches[] = {
        {"advapi32.dll", "RegSetValueExA", reinterpret_cast<void *>(CutSetValue)},
        {"advapi32.dll", "RegDeleteKeyA", reinterpret_cast<void *>(CutDeleteKey)},
        {"advapi32.dll", "RegDeleteValueA", reinterpret_cast<void *>(CutDeleteValue)},
        {"advapi32.dll", "RegCreateKeyA", reinterpret_cast<void *>(CutCreateKey)},
        {"kernel32.dll", "DeleteFileA", reinterpret_cast<void *>(CutDeleteFile)},
        {"kernel32.dll", "RemoveDirectoryA", reinterpret_cast<void *>(CutRemoveDirectory)},
        {"kernel32.dll", "CopyFileA", reinterpret_cast<void *>(CutCopyFile)},
        {"kernel32.dll", "MoveFileA", reinterpret_cast<void *>(CutMoveFile)},
        {"kernel32.dll", "SetFileAttributesA", reinterpret_cast<void *>(CutSetAttributes)},
        {"kernel32.dll", "WritePrivateProfileStringA", reinterpret_cast<void *>(CutWriteProfile)},
        {"kernel32.dll", "CreateFileA", reinterpret_cast<void *>(CutCreateFile)},
        {"kernel32.dll", "WriteFile", reinterpret_cast<void *>(CutWriteFile)},
        {"kernel32.dll", "WinExec", reinterpret_cast<void *>(CutWinExec)},
        {"user32.dll", "DdeClientTransaction", reinterpret_cast<void *>(CutTransaction)},
        {"user32.dll", "MessageBoxA", reinterpret_cast<void *>(AnswerCancel)},
        {"user32.dll", "EndDialog", reinterpret_cast<void *>(NoDialogToEnd)},
    };
    for (const ImportPatch &patch : patches)
        ASSERT_TRUE(patch.installed());
    void **reals[] = {
        reinterpret_cast<void **>(&realSetValue),      reinterpret_cast<void **>(&realDeleteKey),
        reinterpret_cast<void **>(&realDeleteValue),   reinterpret_cast<void **>(&realCreateKey),
        reinterpret_cast<void **>(&realDeleteFile),    reinterpret_cast<void **>(&realRemoveDirectory),
        reinterpret_cast<void **>(&realCopyFile),      reinterpret_cast<void **>(&realMoveFile),
        reinterpret_cast<void **>(&realSetAttributes), reinterpret_cast<void **>(&realWriteProfile),
        reinterpret_cast<void **>(&realCreateFile),    reinterpret_cast<void **>(&realWriteFile),
        reinterpret_cast<void **>(&realWinExec),       reinterpret_cast<void **>(&realTransaction),
    };
    for (size_t i = 0; i < sizeof reals / sizeof reals[0]; ++i)
        *reals[i] = patches[i].original();

    // The sample as the uninstaller is usually started on it (another board's record keeps
    // the product's key), and the machine from which the product goes whole.
    struct Layout {
        const char *what;
        void (*make)(SampleInstallation *);
    } layouts[] = {
        {"several records", SampleSeveralRecords},
        {"older and selected records", OlderAndSelectedRecords},
    };
    for (const Layout &l : layouts) {
        SampleInstallation layout;
        l.make(&layout);
        layout.progmanGroups = false;
        const std::string installDir = Expand(layout.records[layout.recordCount - 1].instDir);
        SampleMachine machine(layout);
        ASSERT_TRUE(machine.written()) << l.what;
        WriteGroups(layout, true);
        bool cut = false;
        int calls = StartAndRun(installDir, 0, &cut);
        const MachineState whole = TakeMachineState();
        ASSERT_FALSE(HasKey(whole, "Software\\ZANRO INC\\DISPLAY\\DRIVER\\02")) << l.what << ": no whole run";
        ASSERT_FALSE(HasFile(whole, GroupFolder(layout.records[0].folderName))) << l.what;

        auto start = std::chrono::steady_clock::now();
        int differing = 0;
        MachineState now = whole;
        for (int target = 1; target <= calls; ++target) {
            SCOPED_TRACE(std::string(l.what) + ", cut before call " + std::to_string(target));
            ASSERT_TRUE(machine.Rewrite(now));
            WriteGroups(layout, true);
            StartAndRun(installDir, target, &cut);
            EXPECT_TRUE(cut);
            StartAndRun(installDir, 0, &cut);
            now = TakeMachineState();
            std::string differences = Differences(whole, now);
            EXPECT_EQ("", differences);
            differing += !differences.empty();
        }
        WriteGroups(layout, false);
        long seconds = static_cast<long>(
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count());
        std::printf("%s: %d calls cut, %d rows differ from a whole run, %ld s\n", l.what, calls, differing, seconds);
    }
}
