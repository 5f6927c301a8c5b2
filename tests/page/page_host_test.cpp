// The page in the Display properties sheet stand-in, on the sample board, with the real
// ZANUTL.DLL: the host and the sample installation run as their own processes and the
// host's log tells what the page showed and what the simulated driver was asked. The same
// test program runs as Windows 98, 95 and NT, and starts the host under the same name.
#include "file_fixture.h"
#include "process_runner.h"
#include "registry_fixture.h"
#include "test_paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char kHandlerKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\ZANUTL";
const char kClassKey[] = "SOFTWARE\\Classes\\CLSID\\{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}";
const char kNtService[] = "System\\CurrentControlSet\\Services\\zanpage";

bool IsNt()
{
    return (GetVersion() & 0x80000000u) == 0;
}

// This program's Windows version, as the suffix of its name: the host runs under it too.
std::string HostName()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name = path;
    if (name.find("_win95.exe") != std::string::npos)
        return "sheethost_win95.exe";
    if (name.find("_nt.exe") != std::string::npos)
        return "sheethost_nt.exe";
    return "sheethost.exe";
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string All(const std::vector<std::string> &lines)
{
    std::string all;
    for (const std::string &l : lines)
        all += l + "\n";
    return all;
}

int CountPrefix(const std::vector<std::string> &lines, const std::string &prefix)
{
    int n = 0;
    for (const std::string &l : lines)
        n += l.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

// Field NAME=VALUE of a logged control line; "items=" and "text=" run to the end or the
// next field the host writes after them.
std::string Field(const std::string &line, const std::string &name)
{
    size_t at = line.find(" " + name + "=");
    if (at == std::string::npos)
        return "";
    size_t begin = at + name.size() + 2;
    size_t end = std::string::npos;
    if (name == "text") {
        for (const char *next : {" sel=", " range=", " checked="}) {
            size_t n = line.find(next, begin);
            if (n < end)
                end = n;
        }
    } else if (name != "items") {
        end = line.find(' ', begin);
    }
    return line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

class PageInHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        logPath_ = std::string(dir) + "page_host_test.log";
        DeleteFileA(logPath_.c_str());
        hostExe_ = StandinPath(HostName().c_str());
        if (HostName() != "sheethost.exe")
            CopyFileA(StandinPath("sheethost.exe").c_str(), hostExe_.c_str(), FALSE);
        ASSERT_TRUE(FileExists(hostExe_));
        RunSample("adapter");
        if (IsNt())
            RegWriteString(HKEY_LOCAL_MACHINE, std::string(kNtService) + "\\Device0", "Marker", "x");
    }
    void TearDown() override
    {
        RunSample("adapter-remove");
        RegRemoveTree(HKEY_LOCAL_MACHINE, kNtService);
        RegRemoveTree(HKEY_LOCAL_MACHINE, kHandlerKey);
        RegRemoveTree(HKEY_LOCAL_MACHINE, kClassKey);
        DeleteFileA(logPath_.c_str());
    }
    void RunSample(const std::string &arguments)
    {
        RunOptions options;
        options.arguments = arguments;
        RunResult r = RunProgram(StandinPath("sampleinstall.exe"), options);
        ASSERT_TRUE(r.started);
        ASSERT_EQ(0u, r.exitCode) << "sampleinstall " << arguments;
    }
    // Runs the host with the script to its end; the log's lines.
    std::vector<std::string> RunHost(const std::string &script, const std::string &more = "")
    {
        DeleteFileA(logPath_.c_str());
        RunOptions options;
        options.arguments = "--log \"" + logPath_ + "\" --sim-log --timeout 40000 " + more;
        if (IsNt())
            options.arguments +=
                " --video-device \\Registry\\Machine\\System\\CurrentControlSet\\Services\\zanpage\\Device0";
        options.arguments += " --do \"" + script + "\"";
        options.timeoutMs = 60000;
        RunResult r = RunProgram(hostExe_, options);
        EXPECT_TRUE(r.started);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(0u, r.exitCode);
        std::string text;
        ReadFileBytes(logPath_, &text);
        std::vector<std::string> lines = Lines(text);
        EXPECT_EQ(1, CountPrefix(lines, "addpages ZANUTL hr=0x00000000 pages=1")) << All(lines);
        return lines;
    }
    // The n-th dump's line of a control (n from 0).
    static std::string Control(const std::vector<std::string> &lines, int id, int n = 0)
    {
        std::string prefix = "dump control " + std::to_string(id) + " ";
        for (const std::string &l : lines)
            if (l.rfind(prefix, 0) == 0 && n-- == 0)
                return l;
        return "";
    }
    static std::vector<std::string> Calls(const std::vector<std::string> &lines, const std::string &kind)
    {
        std::vector<std::string> calls;
        for (const std::string &l : lines)
            if (l.rfind("sim " + kind + " ", 0) == 0)
                calls.push_back(l);
        return calls;
    }

    std::string logPath_;
    std::string hostExe_;
};

TEST_F(PageInHost, ShowsTheSampleBoardsModeAndAppliesIt)
{
    std::vector<std::string> log = RunHost("300 page 1; 400 dump; 200 ok");
    const std::string colour = Control(log, 1000);
    ASSERT_FALSE(colour.empty()) << All(log);
    if (IsNt())
        EXPECT_EQ("256 色|65536 色|16777216 色|True Color", Field(colour, "items")) << colour;
    else
        EXPECT_EQ("256 色|32768 色|65536 色|16777216 色|True Color", Field(colour, "items")) << colour;
    EXPECT_EQ(IsNt() ? "1" : "2", Field(colour, "sel")) << colour;
    EXPECT_EQ("800 x 600 ﾋﾟｸｾﾙ", Field(Control(log, 1003), "text"));
    EXPECT_EQ("0-4", Field(Control(log, 1002), "range"));
    EXPECT_EQ("1", Field(Control(log, 1002), "pos"));
    const std::string refresh = Control(log, 1001);
    if (IsNt()) {
        EXPECT_EQ("60 ﾍﾙﾂ|75 ﾍﾙﾂ|85 ﾍﾙﾂ", Field(refresh, "items")) << refresh;
        EXPECT_EQ("1", Field(refresh, "sel"));
    } else {
        EXPECT_EQ("ﾊｰﾄﾞｳｪｱの既定の設定を使用|60 ﾍﾙﾂ|75 ﾍﾙﾂ|85 ﾍﾙﾂ", Field(refresh, "items")) << refresh;
    }
    // The Direct3D colour box: on the 95 family with the 565 format at 64K colours it is
    // shown, unchecked and fixed; Windows NT has none.
    const std::string box = Control(log, 1021);
    EXPECT_EQ(IsNt() ? "0" : "1", Field(box, "vis")) << box;
    EXPECT_EQ(IsNt() ? "0" : "1", Field(Control(log, 1020), "vis"));
    if (!IsNt()) {
        EXPECT_EQ("0", Field(box, "checked")) << box;
        EXPECT_EQ("0", Field(box, "en")) << box;
    }
    EXPECT_TRUE(std::find(log.begin(), log.end(), "dump apply enabled=0") != log.end()) << All(log);

    // OK with the mode unchanged: the system page (seen first, then subclassed) is kept
    // from setting a mode; the utility sets the same mode again on the 95 family only.
    EXPECT_EQ(0, CountPrefix(log, "system PSN_APPLY")) << All(log);
    std::vector<std::string> changes = Calls(log, "change");
    if (IsNt()) {
        EXPECT_TRUE(changes.empty()) << All(changes);
    } else {
        ASSERT_EQ(1u, changes.size()) << All(changes);
        EXPECT_EQ("0x00000001", Field(changes[0], "flags"));
        EXPECT_EQ("16,800,600,0", Field(changes[0], "mode"));
    }
}

TEST_F(PageInHost, ColourAndAreaChoicesRefillTheControls)
{
    std::vector<std::string> log =
        RunHost("300 page 1; 300 combo 1000 0; 200 slider 1002 4; 200 dump; 200 cancel");
    const std::string colour = Control(log, 1000);
    EXPECT_EQ("0", Field(colour, "sel")) << colour;
    EXPECT_EQ("1280 x 1024 ﾋﾟｸｾﾙ", Field(Control(log, 1003), "text")) << All(log);
    EXPECT_EQ("4", Field(Control(log, 1002), "pos"));
    EXPECT_TRUE(std::find(log.begin(), log.end(), "dump apply enabled=1") != log.end()) << All(log);
    if (!IsNt()) {
        EXPECT_EQ("ﾊｰﾄﾞｳｪｱの既定の設定を使用|60 ﾍﾙﾂ|75 ﾍﾙﾂ", Field(Control(log, 1001), "items"));
        // 256 colours: the Direct3D choice is the user's.
        EXPECT_EQ("1", Field(Control(log, 1021), "en"));
    }
    EXPECT_TRUE(Calls(log, "change").empty()) << "Cancel sets nothing";
}

TEST_F(PageInHost, AltLeftStepsThePositionAndEscapeReturnsIt)
{
    if (IsNt())
        GTEST_SKIP() << "the sample's position file belongs to the 95 family's driver key";
    std::vector<std::string> log =
        RunHost("300 page 1; 300 key alt+left*3; 300 dump; 200 key escape; 300 log after escape; 200 cancel");
    std::vector<std::string> moves = Calls(log, "setposition");
    ASSERT_GE(moves.size(), 4u) << All(log);
    // Two repeats and the release: three steps along the horizontal list.
    EXPECT_EQ("0x00140020", Field(moves[0], "position"));
    EXPECT_EQ("0x00180020", Field(moves[1], "position"));
    EXPECT_EQ("0x001C0020", Field(moves[2], "position"));
    // Escape goes back to the start; in the sheet it also cancels, which resets once more.
    for (size_t i = 3; i < moves.size(); ++i)
        EXPECT_EQ("0x00100020", Field(moves[i], "position")) << moves[i];
    EXPECT_TRUE(std::find(log.begin(), log.end(), "dump apply enabled=1") != log.end()) << All(log);
}

TEST_F(PageInHost, TheSystemPageVisitedLastSetsTheModeAlone)
{
    std::vector<std::string> log = RunHost("300 page 1; 300 page 0; 300 ok");
    EXPECT_EQ(1, CountPrefix(log, "system PSN_APPLY")) << All(log);
    EXPECT_TRUE(Calls(log, "change").empty()) << "the utility leaves the mode alone\n" << All(log);
}

} // namespace
