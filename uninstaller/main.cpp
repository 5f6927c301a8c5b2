// Program entry of ZANDEL.EXE. The user starts it from the installation folder, which the
// uninstall is going to delete; so the first start only records that folder, copies the
// program into the Windows directory and starts the copy there. The copy, finding itself
// in the Windows directory, asks for confirmation and does the work.
#include <windows.h>

#include <string.h>

#include "bounded_format.h"
#include "hardware_presence.h"
#include "process_state.h"
#include "read_only_attribute.h"
#include "registry_layout.h"
#include "resource.h"
#include "startup_dialog.h"

namespace {

const char kProductKey[] = "Software\\ZANRO INC\\DISPLAY";
const char kCannotStart[] = "ｱﾝｲﾝｽﾄｰﾗを起動できません。\nｱﾝｲﾝｽﾄｰﾙを中止します。";
const char kCannotSetDirectory[] = "カレントディレクトリをセットできません。\nｱﾝｲﾝｽﾄｰﾙを中止します。";

int Stop(const char *text)
{
    MessageBoxA(NULL, text, UNINSTALL_CAPTION, MB_OK | MB_ICONHAND);
    return 0;
}

// A directory name as the system reports it; false when it could not be had or was cut.
bool Fits(DWORD length, DWORD size)
{
    return length > 0 && length < size;
}

void RememberBootDir(const char *currentDir)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, "BootDir", 0, REG_SZ, reinterpret_cast<const BYTE *>(currentDir),
                   static_cast<DWORD>(strlen(currentDir) + 1));
    RegCloseKey(key);
}

// The first start, from the installation folder.
int Relocate(const char *currentDir)
{
    RememberBootDir(currentDir);
    char source[MAX_PATH], target[MAX_PATH], command[MAX_PATH + 2];
    if (!FormatBounded(source, sizeof source, "%s\\ZANDEL.EXE", currentDir) ||
        !FormatBounded(target, sizeof target, "%s\\ZANDEL.EXE", windowsDir))
        return Stop(kCannotStart);
    // A copy left by an earlier start (answered "いいえ") took the attribute of a read-only
    // source, a CD-ROM's, and would refuse to be copied over.
    DWORD earlierCopy = ClearReadOnly(target);
    if (!CopyFileA(source, target, FALSE)) {
        PutAttributesBack(target, earlierCopy);
        return Stop(kCannotStart);
    }
    if (!SetCurrentDirectoryA(windowsDir))
        return Stop(kCannotSetDirectory);
    // Quoted, so that a Windows directory with a space in it names the copy and nothing else.
    if (!FormatBounded(command, sizeof command, "\"%s\"", target) || WinExec(command, SW_SHOW) < 31)
        return Stop(kCannotStart);
    return 1;
}

// The copy, running in the Windows directory.
int Confirm(HINSTANCE instance)
{
    if (!IsDevicePresent(BOARD_HARDWARE_ID))
        restartRequired = 0;
    if (!Fits(GetWindowsDirectoryA(windowsDir, sizeof windowsDir), sizeof windowsDir) ||
        !Fits(GetSystemDirectoryA(systemDir, sizeof systemDir), sizeof systemDir))
        return Stop(kCannotStart);
    FormatBounded(infDir, sizeof infDir, "%s\\INF", windowsDir);
    appInstance = instance;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_UNINSTALL), NULL, UninstallDlgProc, 0);
    return 1;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char currentDir[MAX_PATH];
    // Without both names there is nothing safe to compare, copy or start.
    if (!Fits(GetCurrentDirectoryA(sizeof currentDir, currentDir), sizeof currentDir) ||
        !Fits(GetWindowsDirectoryA(windowsDir, sizeof windowsDir), sizeof windowsDir))
        return Stop(kCannotStart);
    if (!NamesEqual(currentDir, windowsDir))
        return Relocate(currentDir);
    return Confirm(instance);
}

// Where the process starts: the program carries no C runtime (Windows 95 ships none), so
// nothing runs before this. WinMain gets what the C runtime's start-up would give it but the
// command line, which it never reads.
extern "C" void ProgramEntry()
{
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    char noArguments[] = "";
    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(nullptr), nullptr, noArguments, show)));
}
