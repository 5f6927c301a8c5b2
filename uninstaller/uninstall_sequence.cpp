// The uninstall run. Every step is attempted whatever the earlier ones achieved, and none
// reports a failure: the user sees only the final message.
//
// What may be removed is decided by values the board's installer wrote. A path built from
// a value that could not be read, or that names nothing (empty, or only separators), would
// name the parent of what was meant - the display class, the company key, the Programs
// folder - so such a path is never used; nor is a path that does not fit its buffer, since
// a cut path names something else.
#include "uninstall_sequence.h"

#include <string.h>

#include "bounded_format.h"
#include "display_restore_once.h"
#include "file_removal.h"
#include "process_state.h"
#include "progman_client.h"
#include "registry_layout.h"
#include "registry_tree.h"
#include "removal_names.h"
#include "run_note.h"
#include "standard_display.h"
#include "zanchg32.h"

namespace {

enum {
    kValueSize = 256,
    kKeySize = 256,
    kMaxFileEntries = 50,
};

const char kProductKey[] = "SOFTWARE\\ZANRO INC\\DISPLAY";
const char kUtilityKey[] = "SOFTWARE\\ZANRO INC\\DISPLAY\\UTILITY";
const char kDriverKey[] = "SOFTWARE\\ZANRO INC\\DISPLAY\\DRIVER";
const char kRecordKeyBase[] = "Software\\ZANRO INC\\DISPLAY\\DRIVER\\";
const char kDisplayClassBase[] = "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\";
const char kCompanyBase[] = "Software\\ZANRO INC\\";
const char kConfigEnumBase[] = "Config\\0001\\Enum\\";
const char kEnumBase[] = "Enum\\";

// Keys 4 to 20 of the selected record's list: the registrations of the chip maker's and
// the maker's display utilities. Keys 1 to 3 are the record's own.
const char *const kSharedKeys[] = {
    "SOFTWARE\\Classes\\CLSID\\{87b9bd00-c65c-11cd-a259-00dd010e8c28}",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\S3_REF",
    "SOFTWARE\\Classes\\CLSID\\{C4FACD43-6676-11d1-AF9C-00AA00C67CA8}",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\S3 Gamma",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\S3Gamma",
    "SOFTWARE\\S3\\Refresh",
    "SOFTWARE\\S3\\S3COLOR",
    "SOFTWARE\\S3\\S3 Gamma",
    "SOFTWARE\\S3\\S3GL",
    "SOFTWARE\\S3\\Multimedia",
    "System\\CurrentControlSet\\Services\\Class\\Display\\S3",
    "SOFTWARE\\Classes\\CLSID\\{79cd01c2-912d-11d2-88a9-00600837776e}",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\S3switch2",
    "SOFTWARE\\S3\\S3switch2",
    "SOFTWARE\\S3\\BusmasterDevices",
    "SOFTWARE\\Classes\\CLSID\\{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\ZANUTL",
};

const char *const kMarkerFiles[] = {"KVX98.ZAN", "S3_REFRE.ZAN", "S3GAMMA.ZAN", "ZANCHG16.ZAN", "ZANCHG32.ZAN"};

const char kCaption[] = "ｱﾝｲﾝｽﾄｰﾙ";
const char kFinished[] = "ｱﾝｲﾝｽﾄｰﾙが終了しました。";
const char kFinishedRestart[] =
    "ｱﾝｲﾝｽﾄｰﾙが終了しました。\nｱﾝｲﾝｽﾄｰﾙを完了するには再起動が必要です。\n再起動しますか？";
const char kUninstallerItem[] = "ｱﾝｲﾝｽﾄｰﾗ";
const char kReadMeItem[] = "Read Me";
const char kStartMenuFormat[] = "%s\\ｽﾀｰﾄ ﾒﾆｭｰ\\ﾌﾟﾛｸﾞﾗﾑ\\";

// Reads a REG_SZ value into `value` (`size` bytes); "" when it cannot be read. Text that
// fills the whole buffer without its terminating zero does not fit and counts as unread:
// cutting it short would name something else.
bool ReadText(const char *key, const char *name, char *value, DWORD size)
{
    memset(value, 0, size);
    if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, key, name, value, size) || value[size - 1] != '\0') {
        value[0] = '\0';
        return false;
    }
    return true;
}

bool ReadRecordValue(const char *key, const char *name, char *value)
{
    return ReadText(key, name, value, kValueSize);
}

void RemoveKeyBelow(const char *base, const char *name)
{
    char key[kKeySize];
    if (NamesKey(name) && Compose(key, sizeof key, base, name))
        DeleteRegistryTree(key);
}

void DeleteFileIn(const char *dir, const char *name)
{
    char path[MAX_PATH];
    if (Compose(path, sizeof path, dir, name))
        DeleteOrScheduleFile(path);
}

// ----- a record's pieces -----

// Deletes the files of a record's list "0", "1", ... up to the first missing entry.
void RemoveRecordFiles(const char *recordKey, bool withControlPanel)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, recordKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    for (int i = 0; i < kMaxFileEntries; ++i) {
        char name[16], entry[kValueSize], dir[MAX_PATH], path[MAX_PATH];
        wsprintfA(name, "%d", i);
        DWORD size = sizeof entry;
        memset(entry, 0, sizeof entry);
        if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(entry), &size) != ERROR_SUCCESS)
            break;
        if (entry[sizeof entry - 1] != '\0')
            continue;  // a name without its end: it does not fit, so it names no file
        if (IsPlainName(entry) && FileDirectory(entry, withControlPanel, dir, sizeof dir) &&
            Compose(path, sizeof path, dir, entry))
            DeleteOrScheduleFile(path);
    }
    RegCloseKey(key);
}

// README.TXT and the installation's copy of the uninstaller, then the directory itself
// when nothing else is left in it.
void RemoveInstallDirectory(const char *instDir)
{
    if (!NamesFolder(instDir))
        return;
    DeleteFileIn(instDir, "\\README.TXT");
    DeleteFileIn(instDir, "\\ZANDEL.EXE");
    RemoveEmptyDirectory(instDir);
}

void RemoveProgramGroup(ProgmanClient *progman, const char *folderName)
{
    if (!NamesFolder(folderName) || !progman->Connect())
        return;
    progman->DeleteGroup(folderName);
    progman->ShowGroup(folderName, 1);
    progman->DeleteItem(kUninstallerItem);
    progman->DeleteItem(kReadMeItem);

    progman->Disconnect();
}

void RemoveStartMenuFolder(const char *folderName)
{
    char base[MAX_PATH], folder[MAX_PATH], shortPath[MAX_PATH];
    if (!NamesFolder(folderName))
        return;
    if (!FormatBounded(base, sizeof base, kStartMenuFormat, windowsDir) ||
        !Compose(folder, sizeof folder, base, folderName))
        return;
    DWORD length = GetShortPathNameA(folder, shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath)
        return;
    RemoveEmptyDirectory(shortPath);
}

// The three keys of a record: its configuration device key, its enumeration device key and
// the record key itself.
void RemoveRecordKeys(const char *deviceNo, const char *recordKey)
{
    RemoveKeyBelow(kConfigEnumBase, deviceNo);
    RemoveKeyBelow(kEnumBase, deviceNo);
    DeleteRegistryTree(recordKey);
}

// Records numbered below the selected one that belong to the same board. With a note of the
// run, each is noted before anything of it goes: a run cut short after its key went finds
// what is left of it there.
void RemoveOlderRecords(ProgmanClient *progman, int selected, const char *board, bool noted)
{
    for (int m = selected - 1; m >= 0; --m) {
        RunNote older;
        char recordKey[kKeySize];
        memset(&older, 0, sizeof older);
        FormatRecordNumber(m, older.numberText);
        if (!Compose(recordKey, sizeof recordKey, kRecordKeyBase, older.numberText))
            continue;
        HKEY key;
        bool there = RegOpenKeyExA(HKEY_LOCAL_MACHINE, recordKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (there)
            RegCloseKey(key);
        if (ReadRecordValue(recordKey, "Board", older.board) && NamesEqual(older.board, board)) {
            ReadRecordValue(recordKey, "InstDir", older.instDir);
            ReadRecordValue(recordKey, "DeviceNo", older.deviceNo);
            ReadRecordValue(recordKey, "FolderName", older.folderName);
            if (noted)
                NoteOlderRecord(older);
        } else if (there || !noted || !TakeNotedOlderRecord(older.numberText, &older)) {
            continue;
        }
        RemoveRecordFiles(recordKey, false);
        RemoveRecordKeys(older.deviceNo, recordKey);
        RemoveInstallDirectory(older.instDir);
        RemoveProgramGroup(progman, older.folderName);
        RemoveStartMenuFolder(older.folderName);
    }
}

// Removes the key when it opens and has no subkey; its values do not count.
void RemoveIfNoSubkeys(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    char name[kValueSize];
    bool empty = RegEnumKeyA(key, 0, name, sizeof name) != ERROR_SUCCESS;
    RegCloseKey(key);
    if (empty)
        DeleteRegistryTree(path);
}

void DeleteValues(const char *path, const char *first, const char *second)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, first);
    if (second)
        RegDeleteValueA(key, second);
    RegCloseKey(key);
}

void FinalMessage(HWND dialog)
{
    if (restartRequired != 1) {
        MessageBoxA(dialog, kFinished, kCaption, MB_OK | MB_ICONINFORMATION);
        EndDialog(dialog, 1);
        return;
    }
    int answer = MessageBoxA(dialog, kFinishedRestart, kCaption, MB_OKCANCEL | MB_ICONINFORMATION);
    EndDialog(dialog, 1);
    if (answer == IDOK)
        RestartWindows();
}

} // namespace

int RunUninstall(HWND dialog)
{
    ProgmanClient progman;
    FilterWininit();
    int utilityCount = CountSubkeys(kUtilityKey);

    char bootDir[MAX_PATH];
    bool haveBootDir = ReadText(kProductKey, "BootDir", bootDir, sizeof bootDir);

    // The record of the installation the program was started from. Once a run has removed
    // its key, the note of that run, cut short, stands in for it. Without either, only the
    // steps that need no record are carried out.
    DriverRecord record;
    RunNote note;
    memset(&note, 0, sizeof note);
    bool haveRecord = haveBootDir && NamesFolder(bootDir) && SelectDriverRecord(bootDir, &record);
    bool noted = false;
    if (haveRecord) {
        memcpy(note.numberText, record.numberText, sizeof note.numberText);
        memcpy(note.instDir, record.instDir, sizeof note.instDir);
        ReadRecordValue(record.key, "FolderName", note.folderName);
        ReadRecordValue(record.key, "Board", note.board);
        ReadRecordValue(record.key, "DeviceNo", note.deviceNo);
        noted = WriteRunNote(note);
    } else {
        haveRecord = noted = TakeRunNote(haveBootDir ? bootDir : nullptr, &record, &note);
    }
    const char *folderName = note.folderName, *board = note.board, *deviceNo = note.deviceNo;

    if (haveRecord)
        RemoveRecordFiles(record.key, true);
    RemoveKeyBelow(kDisplayClassBase, board);
    RemoveKeyBelow(kCompanyBase, board);
    if (haveRecord)
        RemoveRecordKeys(deviceNo, record.key);
    for (const char *key : kSharedKeys)
        DeleteRegistryTree(key);

    DeleteValues("Config\\0001\\Display\\Settings", "ICDMode", "DDSW");
    WritePrivateProfileStringA("drivers32", "Vids.draw", nullptr, "SYSTEM.INI");
    WritePrivateProfileStringA("386Enh", "EMMEXCLUDE", nullptr, "SYSTEM.INI");

    DeleteFileIn(windowsDir, "\\s3gamma.cfg");
    DeleteFileIn(systemDir, "\\s3color.cfg");
    if (haveRecord) {
        RemoveInstallDirectory(record.instDir);
        RemoveProgramGroup(&progman, folderName);
        RemoveStartMenuFolder(folderName);
        if (NamesKey(board))
            RemoveOlderRecords(&progman, record.number, board, noted);
    }

    if (noted)
        RestoreStandardDisplayOnce();
    else
        RestoreStandardDisplay();
    DeleteRegistryTree("System\\CurrentControlSet\\Services\\Class\\Monitor\\0000");
    DeleteRegistryTree("Enum\\Monitor\\DEFAULT_MONITOR\\0001");

    char root[4] = {windowsDir[0], windowsDir[1], windowsDir[2], '\0'};
    for (const char *marker : kMarkerFiles)
        DeleteFileIn(root, marker);
    char dir[MAX_PATH];
    if (Compose(dir, sizeof dir, root, "Program Files\\ZANRO INC\\BACKUP"))
        RemoveEmptyDirectory(dir);
    if (Compose(dir, sizeof dir, root, "Program Files\\ZANRO INC"))
        RemoveEmptyDirectory(dir);

    if (CountSubkeys(kDriverKey) == 0) {
        DeleteRegistryTree(kDriverKey);
        if (utilityCount == 0) {
            DeleteRegistryTree(kProductKey);
            RemoveKeyBelow(kCompanyBase, board);
            DeleteFileIn(systemDir, "\\ZANCHG16.DLL");
            DeleteFileIn(systemDir, "\\ZANCHG32.DLL");
        }
    }
    RemoveIfNoSubkeys("Software\\S3");
    RemoveIfNoSubkeys("Software\\ZANRO INC");

    DeleteFileIn(windowsDir, "\\ZANDEL.EXE");
    DeleteValues(kProductKey, "BootDir", nullptr);
    RemoveRunNote();

    FinalMessage(dialog);
    return 1;
}
