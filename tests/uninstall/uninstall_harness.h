// Running the real ZANDEL.EXE over a sample installation the way a user does, and taking
// the machine's state before and after: registry lines (as RegSnapshot writes them), files
// and directories of drive C:, the rename list and SYSTEM.INI.
#ifndef UNINSTALL_HARNESS_H
#define UNINSTALL_HARNESS_H

#include "dialog_answerer.h"
#include "uninstall_layout.h"

#include <windows.h>

#include <set>
#include <string>
#include <vector>

// The parts of HKEY_LOCAL_MACHINE the uninstall reads or writes, and their neighbourhood.
extern const char *const kWatchedKeys[];

struct MachineState {
    std::set<std::string> registry;  // "K path" / "V path\name type hex"
    std::set<std::string> files;     // "F path size" / "D path" for everything on drive C:
    std::string wininit;             // empty when the list does not exist
    bool wininitExists = false;
    std::string systemIni;
};

MachineState TakeMachineState();

// Lines of `a` not in `b`.
std::set<std::string> Minus(const std::set<std::string> &a, const std::set<std::string> &b);
// The lines of a state at or below a key ("K X" and "K X\...", "V X\..."), or of a file path.
std::set<std::string> RegistryAt(const std::set<std::string> &lines, const std::string &key);
std::set<std::string> FilesAt(const std::set<std::string> &lines, const std::string &path);
bool HasKey(const MachineState &state, const std::string &key);
bool HasFile(const MachineState &state, const std::string &path);  // file or directory
std::string Join(const std::set<std::string> &lines);              // for failure messages

// Files that a run itself writes or changes (rename list, SYSTEM.INI, the uninstaller's
// copy, TEMP) and Wine's bookkeeping in the user profile: compared on their own.
bool IsRunFile(const std::string &line);
std::set<std::string> WithoutRunFiles(const std::set<std::string> &lines);
// The display-class instance that holds the standard display adapter; "" when none does.
std::string RestoredInstance();

// Expands "%WIN%\..." names (see uninstall_layout.h).
std::string Expand(const std::string &name);
// Where Wine keeps a Program Manager group.
std::string GroupFolder(const std::string &group);

// The outcome of one run of the uninstaller.
struct UninstallRun {
    bool firstEnded = false;    // the instance started from the install directory
    DWORD firstExit = 0;
    bool answered = false;      // both dialogs seen and answered
    std::string failure;        // the answerer's
    SeenDialog confirmation;    // dialog 101
    SeenDialog finalMessage;
    bool copyEnded = false;     // the working copy in the Windows directory
    DWORD copyExit = 0;
    DWORD sequenceMs = 0;       // from "はい" to the final message
    std::string libraryLog;     // what the stand-in display-mode library was asked to do
};

struct RunChoices {
    std::string startDir;          // the directory ZANDEL.EXE is started from
    int finalAnswer = IDOK;        // IDOK or IDCANCEL
    std::string confirmationBmp;   // screenshots, when wanted
    std::string finalBmp;
};

UninstallRun RunUninstaller(const RunChoices &choices);

// Sets up a sample installation with the built ZANDEL.EXE and the stand-in ZANCHG32.DLL,
// remembers the machine's state for the clean-up, and takes it all away again: what the
// sample wrote, what the uninstall left in its place, the rename list and SYSTEM.INI as
// they were.
class SampleMachine {
public:
    explicit SampleMachine(const SampleInstallation &layout);
    ~SampleMachine();
    SampleMachine(const SampleMachine &) = delete;
    SampleMachine &operator=(const SampleMachine &) = delete;

    bool written() const { return written_; }
    const MachineState &pristine() const { return pristine_; }
    // Takes away what a run in this process left (`now`, taken since) and writes the sample
    // again, without waiting for other programs: for many runs over one sample.
    bool Rewrite(const MachineState &now);

private:
    // What the sample and the runs over it added to the pristine machine, by `now`.
    void TakeAway(const MachineState &now);

    SampleInstallation layout_;
    MachineState pristine_;
    std::set<DWORD> processes_;  // running before the sample was written
    bool written_ = false;
};

// Carries out the rename list as a boot does ("wineboot -r"); true when it ran.
bool BootMachine();

#endif
