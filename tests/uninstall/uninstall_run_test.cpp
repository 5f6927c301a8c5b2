// Whole runs of the built ZANDEL.EXE over sample installations, started from the install
// directory as a user does, with "はい" and then OK or Cancel pressed. Each test compares
// the registry and drive C: before and after, key by key and file by file: exactly the
// expected pieces go, everything else (the canaries among it) stays.
#include "uninstall_harness.h"

#include "file_fixture.h"
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kDriver[] = "Software\\ZANRO INC\\DISPLAY\\DRIVER";
const char kDisplayClass[] = "System\\CurrentControlSet\\Services\\Class\\DISPLAY";
const char kHandlers[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers";
const char kSettings[] = "Config\\0001\\Display\\Settings";

const char *const kRegistrations[] = {
    "SOFTWARE\\Classes\\CLSID\\{87b9bd00-c65c-11cd-a259-00dd010e8c28}",
    "SOFTWARE\\Classes\\CLSID\\{C4FACD43-6676-11d1-AF9C-00AA00C67CA8}",
    "SOFTWARE\\Classes\\CLSID\\{79cd01c2-912d-11d2-88a9-00600837776e}",
    "SOFTWARE\\Classes\\CLSID\\{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}",
    "SOFTWARE\\S3\\Refresh",
    "SOFTWARE\\S3\\S3COLOR",
    "SOFTWARE\\S3\\S3 Gamma",
    "SOFTWARE\\S3\\S3GL",
    "SOFTWARE\\S3\\Multimedia",
    "SOFTWARE\\S3\\S3switch2",
    "SOFTWARE\\S3\\BusmasterDevices",
    "System\\CurrentControlSet\\Services\\Class\\Display\\S3",
    "System\\CurrentControlSet\\Services\\Class\\Monitor\\0000",
    "Enum\\Monitor\\DEFAULT_MONITOR\\0001",
};
const char *const kHandlerNames[] = {"S3_REF", "S3 Gamma", "S3Gamma", "S3switch2", "ZANUTL"};

std::string Record(const std::string &number) { return std::string(kDriver) + "\\" + number; }
std::string DeviceKey(const char *deviceNo) { return std::string("Enum\\") + deviceNo; }
std::string ConfigDeviceKey(const char *deviceNo) { return std::string("Config\\0001\\Enum\\") + deviceNo; }

// What one run is expected to take away.
struct Expected {
    std::vector<std::string> keys;    // removed with everything below
    std::vector<std::string> values;  // "key|name"
    std::vector<std::string> files;   // files and directories (with everything in them)
};

void AddRecordKeys(Expected *e, const SampleRecord &r)
{
    e->keys.push_back(Record(r.number));
    e->keys.push_back(DeviceKey(r.deviceNo));
    e->keys.push_back(ConfigDeviceKey(r.deviceNo));
}

void AddSharedKeys(Expected *e)
{
    for (const char *key : kRegistrations)
        e->keys.push_back(key);
    for (const char *name : kHandlerNames)
        e->keys.push_back(std::string(kHandlers) + "\\" + name);
    e->values.push_back(std::string(kSettings) + "|ICDMode");
    e->values.push_back(std::string(kSettings) + "|DDSW");
}

// The board's last record with nothing else of the product: its keys, the board's driver
// key, the whole company key (DISPLAY, DRIVER with "Counter", the board's key) and S3's.
void AddLastRecordKeys(Expected *e, const SampleRecord &r)
{
    AddRecordKeys(e, r);
    e->keys.push_back(std::string(kDisplayClass) + "\\0001");
    e->keys.push_back("Software\\ZANRO INC");
    AddSharedKeys(e);
    e->keys.push_back("Software\\S3");
}

void AddSharedFiles(Expected *e)
{
    for (const char *name : {"%ROOT%KVX98.ZAN", "%ROOT%S3_REFRE.ZAN", "%ROOT%S3GAMMA.ZAN", "%ROOT%ZANCHG16.ZAN",
                             "%ROOT%ZANCHG32.ZAN", "%WIN%\\s3gamma.cfg", "%SYS%\\s3color.cfg",
                             "%ROOT%Program Files\\ZANRO INC\\BACKUP"})
        e->files.push_back(Expand(name));
}

void AddInstallDir(Expected *e, const SampleRecord &r, bool dirGoes)
{
    std::string dir = Expand(r.instDir);
    if (dirGoes) {
        e->files.push_back(dir);
    } else {
        e->files.push_back(dir + "\\README.TXT");
        e->files.push_back(dir + "\\ZANDEL.EXE");
    }
    char folder[MAX_PATH];
    ASSERT_TRUE(SampleStartMenuFolder(r.folderName, folder, sizeof folder));
    e->files.push_back(folder);
    e->files.push_back(GroupFolder(r.folderName));
}

std::string FilePath(const char *entry)
{
    char path[MAX_PATH];
    EXPECT_TRUE(SampleFilePath(entry, path, sizeof path)) << entry;
    return path;
}

// Lines the uninstall may write anew without their being a fault: the standard display
// adapter that it writes back, and the display settings.
std::set<std::string> WithoutRestored(const std::set<std::string> &lines, const std::string &classInstance)
{
    std::set<std::string> result = lines;
    std::vector<std::string> areas = {"Enum\\Root", "Config\\0001\\Enum\\Root", "Config\\0001\\Enum\\BIOS"};
    if (!classInstance.empty())
        areas.push_back(std::string(kDisplayClass) + "\\" + classInstance);
    for (const std::string &area : areas)
        for (const std::string &line : RegistryAt(lines, area))
            result.erase(line);
    for (const std::string &line : lines)
        if (line.find("\\BitsPerPixel ") != std::string::npos || line.find("\\Resolution ") != std::string::npos)
            result.erase(line);
    return result;
}

std::set<std::string> ExpectedRegistryLoss(const MachineState &before, const Expected &e)
{
    std::set<std::string> lines;
    for (const std::string &key : e.keys) {
        std::set<std::string> at = RegistryAt(before.registry, key);
        EXPECT_FALSE(at.empty()) << "the sample did not write " << key;
        lines.insert(at.begin(), at.end());
    }
    for (const std::string &value : e.values) {
        size_t bar = value.find('|');
        std::string prefix = "V " + value.substr(0, bar) + "\\" + value.substr(bar + 1) + " ";
        bool found = false;
        for (const std::string &line : before.registry)
            if (line.compare(0, prefix.size(), prefix) == 0) {
                lines.insert(line);
                found = true;
            }
        EXPECT_TRUE(found) << "the sample did not write " << value;
    }
    return lines;
}

std::set<std::string> ExpectedFileLoss(const MachineState &before, const Expected &e)
{
    std::set<std::string> lines;
    for (const std::string &path : e.files) {
        std::set<std::string> at = FilesAt(before.files, path);
        EXPECT_FALSE(at.empty()) << "the sample did not install " << path;
        lines.insert(at.begin(), at.end());
    }
    return lines;
}

// The whole comparison: exactly the expected keys, values and files are gone; nothing was
// added or changed except by the display restore and in the run's own files.
void ExpectExactLoss(const MachineState &before, const MachineState &after, const Expected &e)
{
    std::string restored = RestoredInstance();
    EXPECT_FALSE(restored.empty()) << "no standard display adapter written back";
    std::set<std::string> lost = WithoutRestored(Minus(before.registry, after.registry), restored);
    std::set<std::string> gained = WithoutRestored(Minus(after.registry, before.registry), restored);
    std::set<std::string> expectedLost = WithoutRestored(ExpectedRegistryLoss(before, e), restored);
    EXPECT_EQ(Join(expectedLost), Join(lost)) << "registry lines removed";
    EXPECT_EQ("", Join(gained)) << "registry lines added or changed";

    std::set<std::string> filesLost = WithoutRunFiles(Minus(before.files, after.files));
    std::set<std::string> filesGained = WithoutRunFiles(Minus(after.files, before.files));
    EXPECT_EQ(Join(ExpectedFileLoss(before, e)), Join(filesLost)) << "files removed";
    EXPECT_EQ("", Join(filesGained)) << "files added or changed";
}

// The canaries of the sample, one by one (the exact comparison covers them too; this
// names the one that went).
void ExpectCanariesSurvive()
{
    for (int i = 0; kSampleCanaryKeys[i]; ++i)
        EXPECT_EQ("keep", RegReadString(HKEY_LOCAL_MACHINE, kSampleCanaryKeys[i], "Canary")) << kSampleCanaryKeys[i];
    for (int i = 0; kSampleCanaryValues[i].key; ++i)
        EXPECT_EQ("keep", RegReadString(HKEY_LOCAL_MACHINE, kSampleCanaryValues[i].key, kSampleCanaryValues[i].name))
            << kSampleCanaryValues[i].key << "\\" << kSampleCanaryValues[i].name;
    for (int i = 0; kSampleCanaryFiles[i]; ++i)
        EXPECT_TRUE(FileExists(Expand(kSampleCanaryFiles[i]))) << kSampleCanaryFiles[i];
    char value[256];
    for (int i = 0; kSampleCanaryIniEntries[i].section; ++i) {
        GetPrivateProfileStringA(kSampleCanaryIniEntries[i].section, kSampleCanaryIniEntries[i].key, "", value,
                                 sizeof value, "SYSTEM.INI");
        EXPECT_STREQ(kSampleCanaryIniEntries[i].value, value) << kSampleCanaryIniEntries[i].key;
    }
}

std::string IniValue(const char *section, const char *key)
{
    char value[256];
    GetPrivateProfileStringA(section, key, "(none)", value, sizeof value, "SYSTEM.INI");
    return value;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void ExpectUninstalled(const UninstallRun &run, int answer)
{
    EXPECT_TRUE(run.firstEnded);
    EXPECT_EQ(1u, run.firstExit) << "the instance in the install directory relaunches and ends with 1";
    ASSERT_TRUE(run.answered) << run.failure;
    EXPECT_EQ("ｱﾝｲﾝｽﾄｰﾙを実行します。よろしいですか？", run.confirmation.Control(-1) ? run.confirmation.Control(-1)->text : "");
    // The own copy in the Windows directory cannot go while it runs: the restart question.
    EXPECT_TRUE(run.finalMessage.HasTextContaining(
        "ｱﾝｲﾝｽﾄｰﾙが終了しました。\nｱﾝｲﾝｽﾄｰﾙを完了するには再起動が必要です。\n再起動しますか？"))
        << run.finalMessage.AllTexts();
    EXPECT_NE(nullptr, run.finalMessage.Control(IDOK));
    EXPECT_NE(nullptr, run.finalMessage.Control(IDCANCEL));
    EXPECT_TRUE(run.copyEnded);
    EXPECT_EQ(1u, run.copyExit);
    if (answer == IDOK)
        EXPECT_EQ("RestartWindows\r\n", run.libraryLog);
    else
        EXPECT_EQ("", run.libraryLog);
    std::printf("uninstall sequence: %lu ms\n", static_cast<unsigned long>(run.sequenceMs));
}

// One whole run started from startDir, answered "はい" and OK: the machine it leaves.
MachineState UninstallFrom(const std::string &startDir)
{
    RunChoices choices;
    choices.startDir = startDir;
    ExpectUninstalled(RunUninstaller(choices), IDOK);
    return TakeMachineState();
}

void ExpectRestoredDisplay(const std::string &instance)
{
    std::string key = std::string(kDisplayClass) + "\\" + instance;
    EXPECT_EQ("ｽﾀﾝﾀﾞｰﾄﾞ ﾃﾞｨｽﾌﾟﾚｲ ｱﾀﾞﾌﾟﾀ (9821 ｼﾘｰｽﾞ)", RegReadString(HKEY_LOCAL_MACHINE, key, "DriverDesc"));
    EXPECT_EQ("MSDISP.INF", RegReadString(HKEY_LOCAL_MACHINE, key, "InfPath")) << "the board's values are gone";
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, key + "\\MODES\\16")) << "the board's modes are gone";
    EXPECT_EQ("8", RegReadString(HKEY_LOCAL_MACHINE, kSettings, "BitsPerPixel"));
    EXPECT_EQ("ｽﾀﾝﾀﾞｰﾄﾞ ﾃﾞｨｽﾌﾟﾚｲ ｱﾀﾞﾌﾟﾀ (9821 ｼﾘｰｽﾞ)", IniValue("boot.description", "display.drv"));
    EXPECT_EQ("(none)", IniValue("drivers32", "Vids.draw"));
    EXPECT_EQ("(none)", IniValue("386Enh", "EMMEXCLUDE"));
}

// The rename list after a run: the pending renames of the display-mode libraries dropped,
// somebody else's line kept, and the run's own deferred deletions appended.
void ExpectRenameList(const MachineState &after, const std::vector<std::string> &scheduled)
{
    ASSERT_TRUE(after.wininitExists);
    std::vector<std::string> expected = {"[rename]", Expand("NUL=%WIN%\\TEMP\\~SETUP1.TMP")};
    for (const std::string &path : scheduled)
        expected.push_back("NUL=" + path);
    EXPECT_EQ(expected, Lines(after.wininit));
}

SampleRecord AboveRecord()
{
    return SampleRecord{"03", "%ROOT%Program Files\\ZANRO INC\\DISPLAY2", "ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ 2", "0001",
                        "PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01\\BUS_00&DEV_14&FUNC_00",
                        {"ZANNEW.DRV", "ZANNEW.CPL", "ZANNEW.INF"}, 3, nullptr};
}

} // namespace

// The realistic machine: an older record of the board, a record of another board, the
// record the uninstaller is started from, and a newer record of the board above it.
TEST(UninstallRun, RemovesTheSelectedAndOlderRecordsOfTheBoardAndRestartsOnOk)
{
    SampleInstallation layout;
    SampleSeveralRecords(&layout);
    layout.records[layout.recordCount++] = AboveRecord();
    layout.counter = "03";
    SampleMachine machine(layout);
    ASSERT_TRUE(machine.written());
    const SampleRecord &older = layout.records[0], &other = layout.records[1], &selected = layout.records[2],
                       &above = layout.records[3];

    MachineState before = TakeMachineState();
    ASSERT_TRUE(FileExists(GroupFolder(above.folderName) + "\\ｱﾝｲﾝｽﾄｰﾗ.lnk"));
    MachineState after = UninstallFrom(Expand(selected.instDir));

    Expected e;
    AddRecordKeys(&e, selected);
    AddRecordKeys(&e, older);
    e.keys.push_back(std::string(kDisplayClass) + "\\0001");  // the board's driver key
    e.keys.push_back("Software\\ZANRO INC\\0001");
    AddSharedKeys(&e);
    e.keys.push_back("Software\\S3");  // nothing else was left in it
    AddSharedFiles(&e);
    // Selected record: every listed file but the unknown extension and those after the
    // hole; lower-case "hlp" from the Help folder; its control-panel file too.
    for (const char *entry : {"ZANS3.DRV", "ZANS3.VXD", "ZANUTL.DLL", "ZANDISP.CPL", "ZANRES.LRC", "ZANRO.ICO",
                              "ZANS3.INI", "ZANS3.CPD", "ZANSET.EXE", "ZANS3.INF", "ZANUTL.HLP", "zanmode.hlp",
                              "ZANPOS.INI"})
        e.files.push_back(FilePath(entry));
    AddInstallDir(&e, selected, true);
    // Older record of the board: the same but for its control-panel file; its install
    // directory stays for the user's own file in it.
    for (const char *entry : {"ZAN95.DRV", "ZAN95.VXD", "ZAN95.INF", "ZAN95.HLP", "ZAN95.INI"})
        e.files.push_back(FilePath(entry));
    AddInstallDir(&e, older, false);
    ExpectExactLoss(before, after, e);
    ExpectCanariesSurvive();
    ExpectRestoredDisplay("0001");

    EXPECT_TRUE(FileExists(FilePath("ZANREAD.TXT")));
    EXPECT_TRUE(FileExists(FilePath("ZANLATE.DRV"))) << "listed after the hole";
    EXPECT_TRUE(FileExists(FilePath("ZAN95.CPL"))) << "an older record's control-panel file stays";
    EXPECT_TRUE(FileExists(Expand(older.instDir) + "\\" + older.userFile));
    // Another board's record and the newer record stay whole, and with them the shared
    // pieces of the product.
    for (const SampleRecord *r : {&other, &above}) {
        EXPECT_EQ(RegistryAt(before.registry, Record(r->number)), RegistryAt(after.registry, Record(r->number)));
        EXPECT_TRUE(HasKey(after, DeviceKey(r->deviceNo)));
        EXPECT_TRUE(FileExists(Expand(r->instDir) + "\\ZANDEL.EXE"));
        EXPECT_TRUE(FileExists(GroupFolder(r->folderName) + "\\ｱﾝｲﾝｽﾄｰﾗ.lnk")) << r->folderName;
        EXPECT_TRUE(FileExists(GroupFolder(r->folderName) + "\\Read Me.lnk")) << r->folderName;
    }
    EXPECT_EQ("03", RegReadString(HKEY_LOCAL_MACHINE, kDriver, "Counter"));
    EXPECT_TRUE(FileExists(Expand("%SYS%\\ZANCHG16.DLL")));
    EXPECT_TRUE(FileExists(Expand("%SYS%\\ZANCHG32.DLL")));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\ZANRO INC\\DISPLAY", "BootDir"));

    std::string ownCopy = WindowsDir() + "\\ZANDEL.EXE";
    ASSERT_TRUE(FileExists(ownCopy)) << "the running copy could not go at once";
    std::string shortCopy = ShortPath(ownCopy);
    ExpectRenameList(after, {shortCopy});

    // The next boot carries the list out.
    ASSERT_TRUE(BootMachine());
    EXPECT_FALSE(FileExists(ownCopy));
    EXPECT_FALSE(FileExists(WindowsDir() + "\\wininit.ini"));
}

// One record and no utility installation: nothing of the product is left, so the shared
// pieces go too; the library in use waits for the boot. Cancel: no restart. Started from an
// MS-DOS prompt on Windows 95, the current directory is the folder's short (8.3) form,
// recorded as "BootDir": the record whose "InstDir" is the long form is the one.
TEST(UninstallRun, LastRecordTakesTheSharedPiecesAndCancelDoesNotRestart)
{
    for (bool fromShortForm : {false, true}) {
        SCOPED_TRACE(fromShortForm ? "started from the 8.3 folder" : "started from the folder");
        SampleInstallation layout;
        SampleSingleRecord(&layout);
        SampleMachine machine(layout);
        ASSERT_TRUE(machine.written());
        const SampleRecord &selected = layout.records[0];

        MachineState before = TakeMachineState();
        RunChoices choices;
        choices.startDir = Expand(selected.instDir);
        if (fromShortForm) {
            choices.startDir = ShortPath(choices.startDir);
            ASSERT_NE(std::string::npos, choices.startDir.find('~')) << choices.startDir;
        }
        choices.finalAnswer = IDCANCEL;
        UninstallRun run = RunUninstaller(choices);
        ExpectUninstalled(run, IDCANCEL);
        MachineState after = TakeMachineState();

        Expected e;
        AddLastRecordKeys(&e, selected);
        AddSharedFiles(&e);
        for (const char *entry : {"ZANS3.DRV", "ZANS3.VXD", "ZANUTL.DLL", "ZANDISP.CPL", "ZANS3.INF", "ZANUTL.HLP",
                                  "ZANS3.INI", "ZANPOS.INI"})
            e.files.push_back(FilePath(entry));
        AddInstallDir(&e, selected, true);
        e.files.push_back(Expand("%ROOT%Program Files\\ZANRO INC"));
        e.files.push_back(Expand("%SYS%\\ZANCHG16.DLL"));
        ExpectExactLoss(before, after, e);
        ExpectCanariesSurvive();
        ExpectRestoredDisplay("0001");

        // The display-mode library is loaded by the running uninstaller: it waits for the boot.
        std::string library = Expand("%SYS%\\ZANCHG32.DLL");
        std::string ownCopy = WindowsDir() + "\\ZANDEL.EXE";
        ASSERT_TRUE(FileExists(library));
        ExpectRenameList(after, {ShortPath(library), ShortPath(ownCopy)});
        ASSERT_TRUE(BootMachine());
        EXPECT_FALSE(FileExists(library));
        EXPECT_FALSE(FileExists(ownCopy));
    }
}

// Files copied from a CD-ROM are read-only, and so is the uninstaller's copy in the Windows
// directory, which CopyFileA gives the attribute. In each folder the run deletes from, one
// such file is free, one is held by another program with deletion refused and waits for the
// boot (which passes over a read-only file), and the running program holds two. A file that
// does not even open for reading is left alone, read-only as it was, like every canary.
TEST(UninstallRun, ReadOnlyFilesGoAtOnceOrAtTheBoot)
{
    enum Hold { kFree, kHeld, kLocked };  // kHeld: others may read; kLocked: nobody may open it
    enum Fate { kGone, kWaits, kStays };  // kWaits: there, not read-only, listed for the boot
    const struct {
        const char *path;
        Hold hold;
        Fate afterRun, afterBoot;
    } rows[] = {
        {"%SYS%\\ZANS3.VXD", kFree, kGone, kGone},
        {"%SYS%\\ZANS3.DRV", kHeld, kWaits, kGone},
        {"%SYS%\\ZANLOCK.DLL", kLocked, kStays, kStays},
        {"%SYS%\\ZANCHG32.DLL", kFree, kWaits, kGone},  // loaded by the uninstaller
        {"%SYS%\\ZANCHG16.DLL", kFree, kGone, kGone},
        {"%SYS%\\s3color.cfg", kFree, kGone, kGone},
        {"%SYS%\\ZANS3.BAK", kFree, kStays, kStays},    // a canary
        {"%WIN%\\ZANPOS.INI", kFree, kGone, kGone},
        {"%WIN%\\ZANS3.INI", kHeld, kWaits, kGone},
        {"%WIN%\\s3gamma.cfg", kFree, kGone, kGone},
        {"%WIN%\\ZANDEL.EXE", kFree, kWaits, kGone},    // the running copy
        {"%WIN%\\README.TXT", kFree, kStays, kStays},
        {"%INF%\\ZANMON.INF", kFree, kGone, kGone},
        {"%INF%\\ZANS3.INF", kHeld, kWaits, kGone},
        {"%INF%\\ZANS3.PNF", kFree, kStays, kStays},
        {"%HELP%\\ZANPOS.HLP", kFree, kGone, kGone},
        {"%HELP%\\ZANUTL.HLP", kHeld, kWaits, kGone},
        {"%HELP%\\ZANUTL.CNT", kFree, kStays, kStays},
        {"%ROOT%Program Files\\ZANRO INC\\DISPLAY\\ZANDEL.EXE", kFree, kGone, kGone},
        {"%ROOT%Program Files\\ZANRO INC\\DISPLAY\\README.TXT", kHeld, kWaits, kGone},
        {"%ROOT%S3GAMMA.ZAN", kFree, kGone, kGone},
        {"%ROOT%KVX98.ZAN", kHeld, kWaits, kGone},
        {"%ROOT%ZANKEEP.ZAN", kFree, kStays, kStays},
    };
    SampleInstallation layout;
    SampleSingleRecord(&layout);
    SampleRecord &selected = layout.records[0];
    for (const char *entry : {"ZANMON.INF", "ZANPOS.HLP", "ZANLOCK.DLL"})
        selected.files[selected.fileCount++] = entry;
    layout.readOnly = true;
    SampleMachine machine(layout);
    ASSERT_TRUE(machine.written());
    std::vector<HANDLE> holders;
    for (const auto &row : rows)
        if (row.hold != kFree) {
            HANDLE h = CreateFileA(Expand(row.path).c_str(), GENERIC_READ, row.hold == kHeld ? FILE_SHARE_READ : 0,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, h) << row.path;
            holders.push_back(h);
        }

    MachineState before = TakeMachineState();
    for (const auto &row : rows) {
        if (std::string(row.path) != "%WIN%\\ZANDEL.EXE") {  // copied there by the run
            EXPECT_TRUE(GetFileAttributesA(Expand(row.path).c_str()) & FILE_ATTRIBUTE_READONLY) << row.path;
        }
    }
    RunChoices choices;
    choices.startDir = Expand(selected.instDir);
    choices.finalAnswer = IDCANCEL;
    UninstallRun run = RunUninstaller(choices);
    ExpectUninstalled(run, IDCANCEL);
    MachineState after = TakeMachineState();
    for (HANDLE h : holders)
        CloseHandle(h);

    Expected e;
    AddLastRecordKeys(&e, selected);
    for (const char *name : {"%ROOT%S3_REFRE.ZAN", "%ROOT%ZANCHG16.ZAN", "%ROOT%ZANCHG32.ZAN",
                             "%ROOT%Program Files\\ZANRO INC\\BACKUP", "%SYS%\\ZANUTL.DLL", "%SYS%\\ZANDISP.CPL"})
        e.files.push_back(Expand(name));
    for (const auto &row : rows)
        if (row.afterRun == kGone)
            e.files.push_back(Expand(row.path));
    char folder[MAX_PATH];
    ASSERT_TRUE(SampleStartMenuFolder(selected.folderName, folder, sizeof folder));
    e.files.push_back(folder);
    e.files.push_back(GroupFolder(selected.folderName));
    ExpectExactLoss(before, after, e);
    ExpectCanariesSurvive();

    std::vector<std::string> scheduled;
    for (const auto &row : rows) {
        DWORD attributes = GetFileAttributesA(Expand(row.path).c_str());
        if (row.afterRun == kGone)
            continue;
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes) << row.path;
        EXPECT_EQ(row.afterRun == kStays, (attributes & FILE_ATTRIBUTE_READONLY) != 0) << row.path;
    }
    // In the order the run came to them: the record's files, the install folder's, the
    // markers, the library, the own copy.
    for (const char *path : {"%SYS%\\ZANS3.DRV", "%INF%\\ZANS3.INF", "%HELP%\\ZANUTL.HLP", "%WIN%\\ZANS3.INI",
                             "%ROOT%Program Files\\ZANRO INC\\DISPLAY\\README.TXT", "%ROOT%KVX98.ZAN",
                             "%SYS%\\ZANCHG32.DLL", "%WIN%\\ZANDEL.EXE"})
        scheduled.push_back(ShortPath(Expand(path)));
    ExpectRenameList(after, scheduled);
    // The install folder waits for its README.TXT, and with it the company's folder.
    EXPECT_TRUE(DirExists(Expand(selected.instDir)));

    ASSERT_TRUE(BootMachine());
    for (const auto &row : rows) {
        DWORD attributes = GetFileAttributesA(Expand(row.path).c_str());
        if (row.afterBoot == kGone) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, attributes) << row.path;
        } else {
            EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) << row.path;
        }
    }
    // Nothing removes a folder at the boot: the install folder stays, empty.
    EXPECT_TRUE(DirExists(Expand(selected.instDir)));
    EXPECT_FALSE(FileExists(WindowsDir() + "\\wininit.ini"));
}

// Names whose second byte is that of "\" (表 95 5C, ソ 83 5C, 能 94 5C) in the file list, the
// install folder and the group name, read by character; beside them an entry that leads out
// of its folder and "好LL", whose last three bytes "DLL" begin with the second byte of 好
// (8D 44), so that it has no three-letter extension: both name nothing.
TEST(UninstallRun, DoubleByteNamesEndingInTheBackslashByteAreNames)
{
    SampleInstallation layout;
    SampleSingleRecord(&layout);
    layout.records[0] = SampleRecord{
        "00", "%ROOT%Program Files\\ZANRO INC\\表示ソ", "ｻﾞﾝﾛ 能力表示ソ", "0001",
        "PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01\\BUS_00&DEV_13&FUNC_00",
        {"表示.HLP", "..\\ZANTRAP.DLL", "ソフト.INI", "能力.DLL", "好LL", "ZANS3.DRV"}, 6, nullptr};
    SampleMachine machine(layout);
    ASSERT_TRUE(machine.written());
    const SampleRecord &selected = layout.records[0];
    const std::string outside = WindowsDir() + "\\ZANTRAP.DLL", noExtension = SystemDir() + "\\好LL";
    ASSERT_TRUE(FileExists(outside));
    ASSERT_TRUE(FileExists(noExtension));

    MachineState before = TakeMachineState();
    MachineState after = UninstallFrom(Expand(selected.instDir));

    Expected e;
    AddLastRecordKeys(&e, selected);
    AddSharedFiles(&e);
    for (const char *entry : {"表示.HLP", "ソフト.INI", "能力.DLL", "ZANS3.DRV"})
        e.files.push_back(FilePath(entry));
    AddInstallDir(&e, selected, true);
    e.files.push_back(Expand("%ROOT%Program Files\\ZANRO INC"));
    e.files.push_back(Expand("%SYS%\\ZANCHG16.DLL"));
    ExpectExactLoss(before, after, e);
    ExpectCanariesSurvive();
    EXPECT_TRUE(FileExists(outside)) << "named by an entry with a path in it";
    EXPECT_TRUE(FileExists(noExtension));
}

// A utility installation keeps the product key and the display-mode libraries although no
// driver record is left; the empty "DRIVER" key goes with its "Counter".
TEST(UninstallRun, UtilityInstallationKeepsTheSharedPieces)
{
    SampleInstallation layout;
    SampleSingleRecord(&layout);
    layout.utilities[0] = "00";
    layout.utilityCount = 1;
    layout.canaries = false;
    layout.progmanGroups = false;
    SampleMachine machine(layout);
    ASSERT_TRUE(machine.written());

    RunChoices choices;
    choices.startDir = Expand(layout.records[0].instDir);
    choices.finalAnswer = IDCANCEL;
    UninstallRun run = RunUninstaller(choices);
    ExpectUninstalled(run, IDCANCEL);

    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kDriver));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\ZANRO INC\\DISPLAY\\UTILITY\\00"));
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\ZANRO INC\\DISPLAY", "BootDir"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\ZANRO INC\\0001")) << "removed with the record";
    EXPECT_TRUE(FileExists(Expand("%SYS%\\ZANCHG16.DLL")));
    EXPECT_TRUE(FileExists(Expand("%SYS%\\ZANCHG32.DLL")));
    EXPECT_FALSE(FileExists(FilePath("ZANS3.DRV")));
}

// Started from a directory that no record names: the steps that need no record run, every
// record and everything built from one stays.
TEST(UninstallRun, NoMatchingRecordLeavesEveryRecordAlone)
{
    SampleInstallation layout;
    SampleSeveralRecords(&layout);
    SampleMachine machine(layout);
    ASSERT_TRUE(machine.written());
    std::string elsewhere = Expand("%ROOT%ZANCOPY");
    ASSERT_TRUE(MakeDirs(elsewhere));
    ASSERT_TRUE(CopyFileA(Expand(std::string(layout.records[2].instDir) + "\\ZANDEL.EXE").c_str(),
                          (elsewhere + "\\ZANDEL.EXE").c_str(), FALSE));

    MachineState before = TakeMachineState();
    MachineState after = UninstallFrom(elsewhere);
    RemovePath(elsewhere);

    Expected e;
    AddSharedKeys(&e);
    e.keys.push_back("Software\\S3");
    AddSharedFiles(&e);
    ExpectExactLoss(before, after, e);
    ExpectCanariesSurvive();
    for (int i = 0; i < layout.recordCount; ++i) {
        const SampleRecord &r = layout.records[i];
        EXPECT_EQ(RegistryAt(before.registry, Record(r.number)), RegistryAt(after.registry, Record(r.number)));
        EXPECT_TRUE(FileExists(GroupFolder(r.folderName) + "\\ｱﾝｲﾝｽﾄｰﾗ.lnk")) << r.folderName;
    }
    EXPECT_FALSE(RegValueExists(HKEY_LOCAL_MACHINE, "Software\\ZANRO INC\\DISPLAY", "BootDir"));
    EXPECT_EQ("0003", RestoredInstance()) << "the board's driver keys stay, so the adapter takes the next name";
}

// Values that name nothing: an empty board and device number, no folder name, entries too
// short to have an extension, one whose path does not fit and one that leads out of its
// directory. None of them may lead to the parent keys or folders or to somebody else's
// file; everything else of the record still goes.
TEST(UninstallRun, EmptyAndOversizedValuesNameNothing)
{
    static const std::string longEntry = std::string(240, 'A') + ".DLL";
    SampleInstallation layout;
    SampleSingleRecord(&layout);
    layout.progmanGroups = false;
    // Older records without a board, or with an empty one: neither counts as "the same
    // board" as the selected record's empty one.
    layout.records[0] = SampleRecord{"00", "%ROOT%ZANRO0", nullptr, nullptr, nullptr, {"ZAN90.DRV"}, 1, nullptr};
    layout.records[1] = SampleRecord{"01", "%ROOT%ZANRO", nullptr, "", "", {"ZAN95.DRV"}, 1, nullptr};
    // The selected record, its install directory recorded in other letter case.
    layout.records[2] = SampleRecord{"02", "%ROOT%PROGRAM FILES\\zanro inc\\Display", "", "", "",
                                     {"ZANS3.DRV", "DL", "", longEntry.c_str(), "..\\ZANTRAP.DLL", "ZANS3.INF"},
                                     6, nullptr};
    layout.recordCount = 3;
    layout.counter = "2";
    SampleMachine machine(layout);
    ASSERT_TRUE(machine.written());
    // Somebody else's files where a cut or missing name would point.
    std::string cut = (SystemDir() + "\\" + longEntry).substr(0, MAX_PATH - 1);
    ASSERT_TRUE(WriteFileBytes(cut, "canary"));
    ASSERT_TRUE(WriteFileBytes(SystemDir() + "\\DL", "canary"));
    const std::string outside = SystemDir().substr(0, SystemDir().rfind('\\')) + "\\ZANTRAP.DLL";
    ASSERT_TRUE(WriteFileBytes(outside, "canary"));
    // The Start-menu's Programs folder, empty: an empty folder name must not take it.
    std::string programs = WindowsDir() + "\\ｽﾀｰﾄ ﾒﾆｭｰ\\ﾌﾟﾛｸﾞﾗﾑ";
    ASSERT_TRUE(MakeDirs(programs));

    MachineState before = TakeMachineState();
    MachineState after = UninstallFrom(Expand("%ROOT%Program Files\\ZANRO INC\\DISPLAY"));
    DeleteFileA(cut.c_str());
    DeleteFileA((SystemDir() + "\\DL").c_str());

    Expected e;
    e.keys.push_back(Record("02"));
    AddSharedKeys(&e);
    e.keys.push_back("Software\\S3");
    AddSharedFiles(&e);
    e.files.push_back(FilePath("ZANS3.DRV"));
    e.files.push_back(FilePath("ZANS3.INF"));
    e.files.push_back(Expand("%ROOT%Program Files\\ZANRO INC"));  // with the install directory
    ExpectExactLoss(before, after, e);
    ExpectCanariesSurvive();
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\ZANRO INC"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, "Config\\0001\\Enum"));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kDisplayClass));
    EXPECT_TRUE(FileExists(outside)) << "named by an entry with a path in it";
    EXPECT_TRUE(DirExists(programs));
    EXPECT_TRUE(DirExists(GroupFolder(""))) << "Wine's own Programs folder";
    EXPECT_TRUE(FileExists(FilePath("ZAN95.DRV"))) << "a record without a board is not the board's";
    EXPECT_TRUE(FileExists(FilePath("ZAN90.DRV")));
}
