#include "uninstall_harness.h"

#include "file_fixture.h"
#include "process_runner.h"
#include "registry_fixture.h"
#include "test_paths.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

const char *const kWatchedKeys[] = {
    "Software\\ZANRO INC",
    "Software\\ZANRO",
    "Software\\S3",
    "Software\\Classes\\CLSID",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Controls Folder",
    "System\\CurrentControlSet\\Services\\Class",
    "Enum",
    "Config",
    nullptr,
};

namespace {

const char kDisplayClassKey[] = "System\\CurrentControlSet\\Services\\Class\\DISPLAY";

std::string Fold(std::string text)
{
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void ListFiles(const std::string &dir, std::set<std::string> *lines, const char *skip = nullptr)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || (skip && lstrcmpiA(name.c_str(), skip) == 0))
            continue;
        std::string path = dir + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            lines->insert("D " + path);
            ListFiles(path, lines);
        } else {
            lines->insert("F " + path + " " + std::to_string(found.nFileSizeLow));
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::string ReadText(const std::string &path, bool *exists)
{
    std::string text;
    *exists = ReadFileBytes(path, &text);
    return text;
}

// "F C:\x\y 12" -> "C:\x\y"
std::string FilePathOf(const std::string &line)
{
    std::string rest = line.substr(2);
    if (line[0] == 'F') {
        size_t space = rest.rfind(' ');
        if (space != std::string::npos)
            rest = rest.substr(0, space);
    }
    return rest;
}

// "V a\b\name type hex" -> key "a\b", name "name"
bool SplitValueLine(const std::string &line, std::string *key, std::string *name)
{
    size_t typeSpace = line.rfind(' ', line.rfind(' ') - 1);
    if (typeSpace == std::string::npos)
        return false;
    std::string full = line.substr(2, typeSpace - 2);
    size_t slash = full.rfind('\\');
    if (slash == std::string::npos)
        return false;
    *key = full.substr(0, slash);
    *name = full.substr(slash + 1);
    return true;
}

BOOL CALLBACK CloseExplorerWindow(HWND window, LPARAM)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "CabinetWClass" || std::string(name) == "ExploreWClass")
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Wine opens a window on a group when it is created or shown; they stay otherwise.
void CloseExplorerWindows() { EnumWindows(CloseExplorerWindow, 0); }

std::set<DWORD> RunningProcesses()
{
    std::set<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        ids.insert(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

// Programs that a run started and left running: a Program Manager that the uninstaller
// started when the shell did not answer at once (Wine's does not take the "Progman"
// window's WM_CLOSE), or a folder window. They would hold the test's output open, so they
// are ended here, and named.
void EndLeftoverProcesses(const std::set<DWORD> &before)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    DWORD self = GetCurrentProcessId();
    // Wine's desktop is an explorer.exe too, started by whichever program first needs it;
    // it is the Program Manager DDE server, so it stays even when a run started it.
    DWORD desktop = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktop);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (before.count(entry.th32ProcessID) || entry.th32ProcessID == self || entry.th32ProcessID == desktop)
            continue;
        std::string name = Fold(entry.szExeFile);
        if (name.find("progman") == std::string::npos && name.find("explorer") == std::string::npos &&
            name.find("zandel") == std::string::npos)
            continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (process) {
            std::printf("note: ended %s, left running by the run\n", entry.szExeFile);
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
}

} // namespace

MachineState TakeMachineState()
{
    MachineState state;
    for (int i = 0; kWatchedKeys[i]; ++i)
        for (const std::string &line : RegSnapshot(HKEY_LOCAL_MACHINE, kWatchedKeys[i]))
            state.registry.insert(line);
    // All of drive C: but the user profiles, whose folders Wine links to the host's home;
    // of those only the Programs folder, where Wine keeps the Program Manager groups.
    std::string root = WindowsDir().substr(0, 2);
    ListFiles(root, &state.files, "users");
    std::string programs = GroupFolder("");
    programs.pop_back();
    ListFiles(programs, &state.files);
    state.wininit = ReadText(WindowsDir() + "\\wininit.ini", &state.wininitExists);
    bool iniExists = false;
    state.systemIni = ReadText(WindowsDir() + "\\system.ini", &iniExists);
    return state;
}

std::set<std::string> Minus(const std::set<std::string> &a, const std::set<std::string> &b)
{
    std::set<std::string> result;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(result, result.end()));
    return result;
}

std::set<std::string> RegistryAt(const std::set<std::string> &lines, const std::string &key)
{
    std::string k = Fold(key);
    std::set<std::string> result;
    for (const std::string &line : lines) {
        std::string f = Fold(line);
        if (f == "k " + k || f.compare(0, k.size() + 3, "k " + k + "\\") == 0 ||
            f.compare(0, k.size() + 3, "v " + k + "\\") == 0)
            result.insert(line);
    }
    return result;
}

std::set<std::string> FilesAt(const std::set<std::string> &lines, const std::string &path)
{
    std::string p = Fold(path);
    std::set<std::string> result;
    for (const std::string &line : lines) {
        std::string f = Fold(FilePathOf(line));
        if (f == p || f.compare(0, p.size() + 1, p + "\\") == 0)
            result.insert(line);
    }
    return result;
}

bool HasKey(const MachineState &state, const std::string &key)
{
    std::string wanted = "k " + Fold(key);
    for (const std::string &line : state.registry)
        if (line[0] == 'K' && Fold(line) == wanted)
            return true;
    return false;
}

bool HasFile(const MachineState &state, const std::string &path)
{
    std::string p = Fold(path);
    for (const std::string &line : state.files)
        if (Fold(FilePathOf(line)) == p)
            return true;
    return false;
}

std::string Join(const std::set<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += "  " + line + "\n";
    return text;
}

std::string Expand(const std::string &name)
{
    char path[1024];
    if (!SampleExpandPath(name.c_str(), path, sizeof path))
        return std::string();
    return path;
}

std::string GroupFolder(const std::string &group)
{
    char programs[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE);
    return std::string(programs) + "\\" + group;
}

bool BootMachine()
{
    RunOptions options;
    options.arguments = "-r";
    options.timeoutMs = 120000;
    RunResult r = RunProgram(SystemDir() + "\\wineboot.exe", options);
    return r.started && !r.timedOut;
}

namespace {

HWND FindFinalMessage(HWND dialog)
{
    for (HWND window : FindTopLevelWindows("ｱﾝｲﾝｽﾄｰﾙ"))
        if (window != dialog && DescribeWindow(window).HasTextContaining("終了しました"))
            return window;
    return nullptr;
}

} // namespace

UninstallRun RunUninstaller(const RunChoices &choices)
{
    UninstallRun run;
    std::string log = WindowsDir() + "\\TEMP\\zanchg32-uninstall.log";
    CreateDirectoryA((WindowsDir() + "\\TEMP").c_str(), nullptr);
    DeleteFileA(log.c_str());

    // Dialog 101 is recorded first and answered only once the instance started from the
    // install directory has gone, as it has by the time a user gets to click.
    ExpectedDialog confirmation = PressButtonText("ｱﾝｲﾝｽﾄｰﾙ", "はい", "よろしいですか");
    confirmation.method = PressMethod::None;
    confirmation.screenshotBmp = choices.confirmationBmp;
    DialogAnswerer first({confirmation});

    RunOptions options;
    options.currentDir = choices.startDir;
    options.env.push_back({"ZANCHG32_LOG", log});
    RunResult started = RunProgram(choices.startDir + "\\ZANDEL.EXE", options);
    run.firstEnded = started.started && !started.timedOut;
    run.firstExit = started.exitCode;
    if (!first.Wait(30000)) {
        run.failure = "dialog 101: " + first.Failure();
        return run;
    }
    run.confirmation = first.Seen()[0];
    const SeenControl *yes = run.confirmation.ControlWithText("はい");
    if (!yes) {
        run.failure = "no はい button in dialog 101";
        return run;
    }
    HWND yesButton = GetDlgItem(run.confirmation.window, yes->id);

    DWORD start = GetTickCount();
    PostMessageA(yesButton, BM_CLICK, 0, 0);
    HWND message = nullptr;
    while (!message && GetTickCount() - start < 120000) {
        message = FindFinalMessage(run.confirmation.window);
        if (!message)
            Sleep(5);
    }
    run.sequenceMs = GetTickCount() - start;
    if (!message) {
        run.failure = "no final message";
        return run;
    }

    ExpectedDialog final = PressButton("ｱﾝｲﾝｽﾄｰﾙ", choices.finalAnswer, "終了しました");
    final.screenshotBmp = choices.finalBmp;
    DialogAnswerer second({final});
    if (!second.Wait(30000)) {
        run.failure = "final message: " + second.Failure();
        return run;
    }
    run.finalMessage = second.Seen()[0];
    run.answered = true;
    RunResult copy = second.WaitProcess(0, 60000);
    run.copyEnded = copy.started && !copy.timedOut;
    run.copyExit = copy.exitCode;
    bool exists = false;
    run.libraryLog = ReadText(log, &exists);
    DeleteFileA(log.c_str());
    CloseExplorerWindows();
    return run;
}

SampleMachine::SampleMachine(const SampleInstallation &layout) : layout_(layout)
{
    static std::string zandel, zanchg32;
    zandel = DistPath("ZANDEL.EXE");
    zanchg32 = DistPath("ZANCHG32.DLL");
    layout_.zandelSource = zandel.c_str();
    layout_.zanchg32Source = zanchg32.c_str();
    processes_ = RunningProcesses();
    pristine_ = TakeMachineState();
    written_ = WriteSampleInstallation(&layout_);
    CloseExplorerWindows();
}

SampleMachine::~SampleMachine()
{
    EndLeftoverProcesses(processes_);
    RemoveSampleInstallation(&layout_);
    CloseExplorerWindows();
    Sleep(500);
    EndLeftoverProcesses(processes_);
    TakeAway(TakeMachineState());
}

bool SampleMachine::Rewrite(const MachineState &now)
{
    RemoveSampleInstallation(&layout_);
    TakeAway(now);
    written_ = WriteSampleInstallation(&layout_);
    return written_;
}

void SampleMachine::TakeAway(const MachineState &now)
{
    // Keys and values the run added (the standard adapter it wrote back, for one): the
    // topmost new keys go with everything below them.
    std::set<std::string> added = Minus(now.registry, pristine_.registry);
    std::vector<std::string> newKeys;
    for (const std::string &line : added)
        if (line[0] == 'K')
            newKeys.push_back(line.substr(2));
    for (const std::string &key : newKeys) {
        size_t slash = key.rfind('\\');
        bool parentNew = slash != std::string::npos &&
                         std::find(newKeys.begin(), newKeys.end(), key.substr(0, slash)) != newKeys.end();
        if (!parentNew)
            RegRemoveTree(HKEY_LOCAL_MACHINE, key);
    }
    for (const std::string &line : added) {
        std::string key, name;
        if (line[0] == 'V' && SplitValueLine(line, &key, &name) && RegKeyExists(HKEY_LOCAL_MACHINE, key) &&
            !RegistryAt(pristine_.registry, key).empty()) {
            HKEY handle;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &handle) == ERROR_SUCCESS) {
                RegDeleteValueA(handle, name.c_str());
                RegCloseKey(handle);
            }
        }
    }

    // Files the run left (the uninstaller's copy, the rename list's backup), deepest first.
    std::string users = Fold(WindowsDir().substr(0, 2) + "\\users\\");
    std::set<std::string> known;
    for (const std::string &line : pristine_.files)
        known.insert(FilePathOf(line));
    std::set<std::string> newFiles = Minus(now.files, pristine_.files);
    std::vector<std::string> paths;
    for (const std::string &line : newFiles) {
        std::string path = FilePathOf(line);
        if (known.count(path) || Fold(path).compare(0, users.size(), users) == 0)
            continue;
        if (line[0] == 'F')
            DeleteFileA(path.c_str());
        else
            paths.push_back(path);
    }
    std::sort(paths.rbegin(), paths.rend());
    for (const std::string &dir : paths)
        RemoveDirectoryA(dir.c_str());

    std::string list = WindowsDir() + "\\wininit.ini";
    if (pristine_.wininitExists)
        WriteFileBytes(list, pristine_.wininit);
    else
        DeleteFileA(list.c_str());
    WriteFileBytes(WindowsDir() + "\\system.ini", pristine_.systemIni);
}

bool IsRunFile(const std::string &line)
{
    std::string lower = Fold(line), win = Fold(WindowsDir());
    for (const char *name : {"\\wininit.ini", "\\system.ini", "\\zandel.exe", "\\temp"})
        if (lower.compare(2, win.size() + strlen(name), win + name) == 0)
            return true;
    // Wine's own bookkeeping in the user profile (the groups are checked on their own).
    return lower.compare(2, 9, "c:\\users\\") == 0 &&
           lower.find("\\start menu\\programs\\") == std::string::npos;
}

std::set<std::string> WithoutRunFiles(const std::set<std::string> &lines)
{
    std::set<std::string> result;
    for (const std::string &line : lines)
        if (!IsRunFile(line))
            result.insert(line);
    return result;
}

std::string RestoredInstance()
{
    for (const std::string &name : RegSubkeys(HKEY_LOCAL_MACHINE, kDisplayClassKey))
        if (RegReadString(HKEY_LOCAL_MACHINE, std::string(kDisplayClassKey) + "\\" + name, "InfSection") == "NEC_PEGC")
            return name;
    return std::string();
}

