// What the board's installer leaves on a Windows 95/98 machine, as far as the uninstaller
// is concerned: the product's registry layout with its driver records, the installed files,
// the install directories, Start-menu folders and Program Manager groups, the device and
// class keys, the utilities' shell-extension registrations, SYSTEM.INI entries, pending
// rename-list lines and the marker files at the root of the Windows drive. Beside them it
// puts canaries: keys, values and files next to every place the uninstaller touches that
// belong to somebody else and must survive an uninstall.
//
// Used by the sample-installation tool (command "uninstall") and linked into tests, which
// build their own variations of the layout.
#ifndef UNINSTALL_LAYOUT_H
#define UNINSTALL_LAYOUT_H

#include <windows.h>

enum {
    kSampleMaxRecords = 8,
    kSampleMaxFiles = 20,
    kSampleMaxUtilities = 4,
};

// One driver record, "SOFTWARE\ZANRO INC\DISPLAY\DRIVER\<number>". A null text means the
// value is not written at all; "" writes an empty value.
struct SampleRecord {
    const char *number;      // record subkey name, e.g. "02"
    const char *instDir;     // "InstDir"
    const char *folderName;  // "FolderName": Program Manager group and Start-menu folder
    const char *board;       // "Board": the driver key's name under Class\DISPLAY
    const char *deviceNo;    // "DeviceNo": the device path below Enum and Config\0001\Enum
    // File list: value "i" holds files[i]; a null entry is a hole (no value "i").
    const char *files[kSampleMaxFiles];
    int fileCount;           // entries considered in files[]
    // A file of the user's in the install directory (null: none), which keeps it from going.
    const char *userFile;
};

struct SampleInstallation {
    SampleRecord records[kSampleMaxRecords];
    int recordCount;
    const char *counter;                        // "Counter"; null: not written
    const char *utilities[kSampleMaxUtilities];  // subkeys of "...\DISPLAY\UTILITY"
    int utilityCount;
    bool boardPresent;       // the board's chip listed under HKEY_DYN_DATA "Config Manager\Enum"
    bool progmanGroups;      // create the records' groups through Program Manager's DDE
    bool canaries;           // write the canaries as well
    bool readOnly;           // every file read-only, as copied from a CD-ROM
    const char *zandelSource;    // copied into every install directory; null: a dummy file
    const char *zanchg32Source;  // copied into the system directory; null: a dummy file
};

// The layouts the tool offers. "several": an older record of the same board, a record of
// another board and the newest record of the board (the one the uninstaller is started
// from), no utility installation. "single": one record, nothing else of the product.
void SampleSeveralRecords(SampleInstallation *layout);
void SampleSingleRecord(SampleInstallation *layout);

// Writes the installation; returns false when a part of it could not be written (the
// failing piece is named on stderr). The directory part of every path comes from the
// running machine (Windows, system, INF and Help directories, the Windows drive's root).
bool WriteSampleInstallation(const SampleInstallation *layout);
// Takes away everything WriteSampleInstallation may have written, canaries included, and
// what an uninstall adds in their place (the rename list itself is left to the caller).
void RemoveSampleInstallation(const SampleInstallation *layout);

// The directory a record's file entry is installed in ("" for entries the uninstaller
// does not know, which the sample puts into the Windows directory). `older` applies the
// older-record rule, under which control-panel files have no directory.
bool SampleFileDirectory(const char *entry, bool older, char *dir, size_t size);
// Where the sample installs an entry (always somewhere, see above).
bool SampleFilePath(const char *entry, char *path, size_t size);
// "<Windows>\ｽﾀｰﾄ ﾒﾆｭｰ\ﾌﾟﾛｸﾞﾗﾑ\<folder>".
bool SampleStartMenuFolder(const char *folder, char *path, size_t size);

// Canaries: keys below HKEY_LOCAL_MACHINE (and one below HKEY_DYN_DATA), values in keys the
// uninstall edits, and files. Null-terminated lists; file names are relative to the place
// named by their prefix: "%WIN%\", "%SYS%\", "%ROOT%" (root of the Windows drive, ends in
// a backslash), "%HELP%\", "%INF%\".
extern const char *const kSampleCanaryKeys[];
struct SampleCanaryValue {
    const char *key;
    const char *name;
};
extern const SampleCanaryValue kSampleCanaryValues[];
extern const char *const kSampleCanaryFiles[];
struct SampleIniEntry {
    const char *section;
    const char *key;
    const char *value;
};
extern const SampleIniEntry kSampleCanaryIniEntries[];  // in SYSTEM.INI
// Expands a "%WIN%\..." style name into a full path.
bool SampleExpandPath(const char *name, char *path, size_t size);

// Lines the sample puts into "wininit.ini" before the uninstall; the first three name the
// display-mode library markers, the last one does not.
extern const char *const kSampleWininitLines[];

// The tool's "uninstall" command (arguments after the command word); exit code.
int SampleUninstallCommand(int argc, char **argv);

#endif
