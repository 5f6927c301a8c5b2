// The 32K/64K change in the Display properties sheet stand-in, with the real ZANUTL.DLL:
// the restart request makes the sheet apply once more (Windows 98 presses Apply, OK applies
// on every platform), and the colour format waiting for the restart must survive that.
#include "file_fixture.h"
#include "process_runner.h"
#include "program_road.h"
#include "registry_fixture.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kDriverKey[] = "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\0001\\UTILITY";
const char kHandlerKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\ZANUTL";
const char kClassKey[] = "SOFTWARE\\Classes\\CLSID\\{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}";

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

size_t Count(const std::vector<std::string> &lines, const std::string &prefix)
{
    size_t n = 0;
    for (const std::string &l : lines) n += l.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    return n;
}

void RunSample(const std::string &arguments)
{
    RunOptions options;
    options.arguments = arguments;
    RunResult r = RunProgram(StandinPath("sampleinstall.exe"), options);
    ASSERT_TRUE(r.started);
    ASSERT_EQ(0u, r.exitCode) << "sampleinstall " << arguments;
}

}  // namespace

TEST(ModeChangeInTheSheet, ColourFormatWaitingForTheRestartSurvivesTheSheetsNextApply)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    const std::string logPath = std::string(dir) + "modechange_sheet_test.log";
    DeleteFileA(logPath.c_str());
    // As Windows 95: a copy of the host under the name that runs as Windows 95.
    const bool win95 = ProgramRoad() == kRoadWin95;
    const std::string host = StandinPath(win95 ? "sheethost_win95.exe" : "sheethost.exe");
    if (win95) {
        ASSERT_TRUE(CopyFileA(StandinPath("sheethost.exe").c_str(), host.c_str(), FALSE));
    }
    RunSample("adapter --555or565 1");

    // The page's colour combo: 256, 32768, 65536, ... colours; 64K colours are in force.
    RunOptions options;
    options.arguments = "--log \"" + logPath + "\" --sim-log --timeout 30000 --do \"500 page 1; 500 combo 1000 1; "
                        "300 apply; 1500 dump-dialog; 300 press 1; 1500 log pressed; 300 ok\"";
    RunResult r = RunProgram(host, options);
    if (win95)
        DeleteFileA(host.c_str());
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    std::string text;
    ReadFileBytes(logPath, &text);
    const std::vector<std::string> log = Lines(text);
    std::string all;
    for (const std::string &l : log) all += l + "\n";

    EXPECT_EQ(1u, Count(log, win95 ? "start platform=1 version=4.0" : "start platform=1 version=4.10")) << all;
    // The 32K/64K message was shown and answered, the restart asked for.
    EXPECT_EQ(1u, Count(log, "dump-dialog control 1 Button")) << all;
    EXPECT_EQ(1u, Count(log, "sheet PSM_RESTARTWINDOWS")) << all;
    // The script's own press, and as Windows 98 also the restart request's.
    EXPECT_EQ(win95 ? 1u : 2u, Count(log, "sheet PSM_PRESSBUTTON 4")) << all;
    // No mode was set, then or at the applies that followed.
    EXPECT_EQ(0u, Count(log, "sim change")) << all;
    DWORD format = 9;
    EXPECT_TRUE(RegReadDword(HKEY_LOCAL_MACHINE, kDriverKey, "555or565", &format));
    EXPECT_EQ(0u, format) << "the 32K-colour format waits for the restart";

    RunSample("adapter-remove");
    RegRemoveTree(HKEY_LOCAL_MACHINE, kHandlerKey);
    RegRemoveTree(HKEY_LOCAL_MACHINE, kClassKey);
    DeleteFileA(logPath.c_str());
}
