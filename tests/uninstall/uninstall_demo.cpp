// The uninstall as tools/demo shows it: writes the sample installation with several
// records, starts ZANDEL.EXE from the install directory of the newest one, answers "はい"
// and OK, saves screenshots of dialog 101 and of the final message, and reports what went,
// what waits for the next boot and what stayed; then carries the rename list out as a boot
// does. Texts are printed in the ANSI code page.
//
//   uninstall_demo.exe OUTDIR      (a Windows path; dialog101.bmp and final.bmp go there)
#include "uninstall_harness.h"

#include "file_fixture.h"
#include "registry_fixture.h"
#include "test_paths.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

std::string Parent(const std::string &path)
{
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// "K path" / "D path" / "F path size" -> path; "V key\name type hex" -> "key\name"
std::string PathOf(const std::string &line)
{
    std::string rest = line.substr(2);
    if (line[0] == 'F' || line[0] == 'V') {
        size_t space = rest.rfind(' ');
        rest = rest.substr(0, space);
        if (line[0] == 'V')
            rest = rest.substr(0, rest.rfind(' '));
    }
    return rest;
}

// The topmost of the lines: a key or directory whose parent went too is not listed again.
std::vector<std::string> Topmost(const std::set<std::string> &lines, char kind, const std::set<std::string> &gone)
{
    std::vector<std::string> result;
    for (const std::string &line : lines) {
        if (line[0] != kind)
            continue;
        std::string path = PathOf(line);
        if (!gone.count(Parent(path)))
            result.push_back(path);
    }
    return result;
}

std::set<std::string> Paths(const std::set<std::string> &lines, const char *kinds)
{
    std::set<std::string> result;
    for (const std::string &line : lines)
        if (std::string(kinds).find(line[0]) != std::string::npos)
            result.insert(PathOf(line));
    return result;
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
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void Heading(const char *text, size_t count) { std::printf("  %s (%u)\n", text, static_cast<unsigned>(count)); }

void Item(const std::string &text) { std::printf("    %s\n", text.c_str()); }

bool HasRecordPiece(const MachineState &state, const SampleRecord &r, std::string *what)
{
    std::string key = std::string("Software\\ZANRO INC\\DISPLAY\\DRIVER\\") + r.number;
    if (!HasKey(state, key))
        return false;
    int files = 0, present = 0;
    for (int i = 0; i < r.fileCount; ++i) {
        char path[MAX_PATH];
        if (r.files[i] && SampleFilePath(r.files[i], path, sizeof path)) {
            ++files;
            present += HasFile(state, path) ? 1 : 0;
        }
    }
    char line[512];
    std::snprintf(line, sizeof line, "record %s (board %s, %s): key, %d of %d files, group \"%s\"", r.number,
                  r.board, Expand(r.instDir).c_str(), present, files, r.folderName);
    *what = line;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: uninstall_demo OUTDIR\n");
        return 2;
    }
    std::string out = argv[1];

    SampleInstallation layout;
    SampleSeveralRecords(&layout);
    // Whatever an earlier demo step left of the product goes first.
    RemoveSampleInstallation(&layout);
    SampleMachine machine(layout);
    if (!machine.written()) {
        std::printf("the sample installation could not be written\n");
        return 1;
    }
    const SampleRecord &selected = layout.records[2];
    std::printf("sample installation: %d driver records, \"Counter\" = %s, no utility installation\n",
                layout.recordCount, layout.counter);
    for (int i = 0; i < layout.recordCount; ++i) {
        const SampleRecord &r = layout.records[i];
        std::printf("  record %s: board %s, %s, group \"%s\", %d files\n", r.number, r.board,
                    Expand(r.instDir).c_str(), r.folderName, r.fileCount);
    }

    MachineState before = TakeMachineState();
    RunChoices choices;
    choices.startDir = Expand(selected.instDir);
    choices.confirmationBmp = out + "\\dialog101.bmp";
    choices.finalBmp = out + "\\final.bmp";
    std::printf("ZANDEL.EXE started from %s; はい, then OK\n", choices.startDir.c_str());
    UninstallRun run = RunUninstaller(choices);
    if (!run.answered) {
        std::printf("the run did not go as expected: %s\n", run.failure.c_str());
        return 1;
    }
    MachineState after = TakeMachineState();
    std::printf("  dialog 101: %s\n", run.confirmation.AllTexts().c_str());
    std::printf("  final message: %s\n", run.finalMessage.AllTexts().c_str());
    std::printf("  display-mode library: %s\n", run.libraryLog.empty() ? "(not called)" : run.libraryLog.c_str());
    std::printf("  the sequence took %lu ms under Wine (from はい to the final message)\n",
                static_cast<unsigned long>(run.sequenceMs));

    // The board's driver key went with everything in it, and the display restore took its
    // name again for the standard adapter: it is reported as removed, not as changed.
    std::string restoredKey = "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\" + RestoredInstance();
    bool boardKeyReused = !RegistryAt(before.registry, restoredKey).empty();
    std::set<std::string> lostKeys = Minus(before.registry, after.registry);
    for (const std::string &line : RegistryAt(lostKeys, restoredKey))
        lostKeys.erase(line);
    std::set<std::string> goneKeys = Paths(lostKeys, "K");
    std::vector<std::string> keys = Topmost(lostKeys, 'K', goneKeys);
    if (boardKeyReused)
        keys.push_back(restoredKey + "   (the board's driver key; its name now holds the standard adapter)");
    std::printf("\nremoved:\n");
    Heading("registry keys, each with everything below it", keys.size());
    for (const std::string &key : keys)
        Item(key);
    std::vector<std::string> values;
    for (const std::string &line : lostKeys)
        if (line[0] == 'V') {
            std::string path = PathOf(line);
            bool rewritten = path.find("\\BitsPerPixel") != std::string::npos ||
                             path.find("\\Resolution") != std::string::npos;
            if (!goneKeys.count(Parent(path)) && !rewritten)
                values.push_back(path);
        }
    Heading("registry values in keys that stay", values.size());
    for (const std::string &value : values)
        Item(value);

    std::set<std::string> lostFiles = WithoutRunFiles(Minus(before.files, after.files));
    std::set<std::string> goneDirs = Paths(lostFiles, "D");
    std::vector<std::string> files = Topmost(lostFiles, 'F', goneDirs);
    std::vector<std::string> dirs = Topmost(lostFiles, 'D', goneDirs);
    Heading("files deleted", files.size());
    for (const std::string &file : files)
        Item(file);
    Heading("directories removed (with what was in them)", dirs.size());
    for (const std::string &dir : dirs)
        Item(dir);

    std::vector<std::string> oldList = Lines(before.wininit), newList = Lines(after.wininit);
    std::set<std::string> oldSet(oldList.begin(), oldList.end()), newSet(newList.begin(), newList.end());
    std::vector<std::string> dropped, scheduled;
    for (const std::string &line : oldList)
        if (!newSet.count(line))
            dropped.push_back(line);
    for (const std::string &line : newList)
        if (!oldSet.count(line))
            scheduled.push_back(line);
    std::printf("\nwininit.ini:\n");
    Heading("pending renames of the display-mode libraries dropped", dropped.size());
    for (const std::string &line : dropped)
        Item(line);
    Heading("deletions scheduled for the next boot", scheduled.size());
    for (const std::string &line : scheduled)
        Item(line);

    std::printf("\nwritten back: the standard display adapter as %s\\%s\n",
                "System\\CurrentControlSet\\Services\\Class\\DISPLAY", RestoredInstance().c_str());
    std::printf("  Config\\0001\\Display\\Settings: BitsPerPixel=%s Resolution=%s\n",
                RegReadString(HKEY_LOCAL_MACHINE, "Config\\0001\\Display\\Settings", "BitsPerPixel").c_str(),
                RegReadString(HKEY_LOCAL_MACHINE, "Config\\0001\\Display\\Settings", "Resolution").c_str());
    char value[256];
    GetPrivateProfileStringA("boot.description", "display.drv", "", value, sizeof value, "SYSTEM.INI");
    std::printf("  SYSTEM.INI [boot.description] display.drv=%s\n", value);

    std::printf("\nstayed:\n");
    for (int i = 0; i < layout.recordCount; ++i) {
        std::string what;
        if (HasRecordPiece(after, layout.records[i], &what))
            Item(what);
    }
    std::printf("    \"Counter\" = %s; %s; %s\n",
                RegReadString(HKEY_LOCAL_MACHINE, "Software\\ZANRO INC\\DISPLAY\\DRIVER", "Counter").c_str(),
                RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\ZANRO INC\\0002") ? "Software\\ZANRO INC\\0002"
                                                                             : "no Software\\ZANRO INC\\0002",
                FileExists(Expand("%SYS%\\ZANCHG32.DLL")) ? "ZANCHG16.DLL and ZANCHG32.DLL (another board's "
                                                            "record is left)"
                                                          : "the display-mode libraries are gone");
    struct Kept {
        const char *entry;
        const char *why;
    };
    for (const Kept &kept : {Kept{"ZAN95.CPL", "an older record's control-panel file"},
                             Kept{"ZANREAD.TXT", "no known extension"},
                             Kept{"ZANLATE.DRV", "listed after a hole in the file list"}}) {
        char path[MAX_PATH];
        if (SampleFilePath(kept.entry, path, sizeof path) && FileExists(path))
            Item(std::string(path) + "   (" + kept.why + ")");
    }
    std::string olderDir = Expand(layout.records[0].instDir);
    if (DirExists(olderDir))
        Item(olderDir + "   (the older installation's folder: it holds the user's " + layout.records[0].userFile +
             ")");
    int canaries = 0, alive = 0;
    for (int i = 0; kSampleCanaryKeys[i]; ++i, ++canaries)
        alive += RegReadString(HKEY_LOCAL_MACHINE, kSampleCanaryKeys[i], "Canary") == "keep";
    for (int i = 0; kSampleCanaryValues[i].key; ++i, ++canaries)
        alive += RegReadString(HKEY_LOCAL_MACHINE, kSampleCanaryValues[i].key, kSampleCanaryValues[i].name) == "keep";
    for (int i = 0; kSampleCanaryFiles[i]; ++i, ++canaries)
        alive += FileExists(Expand(kSampleCanaryFiles[i]));
    std::printf("    canaries beside what the run touched (other keys, values, files): %d of %d intact\n", alive,
                canaries);

    std::printf("\nnext boot (wineboot -r):\n");
    bool booted = BootMachine();
    for (const std::string &line : scheduled) {
        std::string path = line.substr(line.find('=') + 1);
        Item(path + (FileExists(path) ? "   still there" : "   deleted"));
    }
    std::printf("    wininit.ini %s\n", FileExists(WindowsDir() + "\\wininit.ini") ? "still there" : "carried out");
    bool ok = booted && alive == canaries && run.copyExit == 1;
    return ok ? 0 : 1;
}
