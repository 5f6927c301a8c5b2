// Starting a built program as a separate process, the way a user or another program would,
// and waiting for it to end.
//
//   RunOptions options;
//   options.currentDir = "C:\\ZANTEST";                   // empty: the test's own
//   options.env.push_back({"ZANCHG32_LOG", "C:\\log.txt"}); // added to (or replacing in) the test's environment
//   RunResult r = RunProgram("C:\\ZANTEST\\ZANDEL.EXE", options);
//   EXPECT_TRUE(r.started); EXPECT_FALSE(r.timedOut); EXPECT_EQ(0u, r.exitCode);
//
// A program that runs alongside the test (e.g. while a DialogAnswerer presses its buttons)
// is started with StartProgram and collected with WaitProgram. A process started by
// someone else (the copy a program started with WinExec, say) is waited for by its id
// with WaitProcessId, or found by the image name with FindProcessIds.
// On a timeout the process is killed (exit code 0xDEAD) and timedOut is set.
#ifndef PROCESS_RUNNER_H
#define PROCESS_RUNNER_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct RunOptions {
    std::string currentDir;                                 // empty: inherit
    std::vector<std::pair<std::string, std::string>> env;  // extra variables (name, value)
    std::string arguments;                                  // appended to the quoted program path
    DWORD timeoutMs = 60000;
    WORD showCommand = SW_SHOWNORMAL;
};

struct RunResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    DWORD processId = 0;
    DWORD startError = 0;  // GetLastError of CreateProcessA when it failed
};

const DWORD kKilledExitCode = 0xDEAD;

// Runs the program and waits for its end (at most options.timeoutMs).
RunResult RunProgram(const std::string &exe, const RunOptions &options = RunOptions());

// A running program; the handle belongs to the caller until WaitProgram or CloseProgram.
struct RunningProgram {
    HANDLE process = nullptr;
    DWORD processId = 0;
    DWORD startError = 0;
    bool started() const { return process != nullptr; }
};
RunningProgram StartProgram(const std::string &exe, const RunOptions &options = RunOptions());
// Waits for the end, kills the process on timeout, closes the handle.
RunResult WaitProgram(RunningProgram *program, DWORD timeoutMs);
void CloseProgram(RunningProgram *program);

// Waits for a process given by id (false result.started when it cannot be opened, e.g. it
// has already ended and no handle kept it). Kills it on timeout.
RunResult WaitProcessId(DWORD processId, DWORD timeoutMs);
// Waits on a handle the caller keeps (does not close it). Kills the process on timeout.
RunResult WaitProcessHandle(HANDLE process, DWORD timeoutMs);

// Ids of running processes whose image file name (no path, case-insensitive) is name.
std::vector<DWORD> FindProcessIds(const std::string &imageName);
// Kills every process with that image name (for cleaning up after a failed test).
void KillProcessesNamed(const std::string &imageName);

#endif
