// The display utility as the Display properties sheet meets it: the sample installation
// writes the board's registry, the sheet host registers and creates the extension through
// COM and shows what it adds. Black-box: both run as their own processes; the host's log
// tells what happened.
#include "file_fixture.h"
#include "process_runner.h"
#include "registry_fixture.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kHandlerKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Controls Folder\\Display\\shellex\\PropertySheetHandlers\\ZANUTL";
const char kClassKey[] = "SOFTWARE\\Classes\\CLSID\\{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}";

std::string TempFile(const char *name)
{
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    return std::string(dir) + name;
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

class SheetHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        logPath = TempFile("sheethost_test.log");
        DeleteFileA(logPath.c_str());
    }

    void TearDown() override
    {
        RunSample("adapter-remove");
        DeleteFileA(logPath.c_str());
        RegRemoveTree(HKEY_LOCAL_MACHINE, kHandlerKey);
        RegRemoveTree(HKEY_LOCAL_MACHINE, kClassKey);
    }

    void RunSample(const std::string &arguments)
    {
        RunOptions options;
        options.arguments = arguments;
        RunResult r = RunProgram(StandinPath("sampleinstall.exe"), options);
        ASSERT_TRUE(r.started);
        ASSERT_EQ(0u, r.exitCode) << "sampleinstall " << arguments;
    }

    // Runs the host to its end; the log's lines.
    std::vector<std::string> RunHost(const std::string &arguments, const char *exe = "sheethost.exe")
    {
        RunOptions options;
        options.arguments = "--log \"" + logPath + "\" --timeout 30000 " + arguments;
        RunResult r = RunProgram(StandinPath(exe), options);
        EXPECT_TRUE(r.started);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(0u, r.exitCode) << "the sheet ended by itself";
        std::string text;
        ReadFileBytes(logPath, &text);
        return Lines(text);
    }

    static bool Has(const std::vector<std::string> &lines, const std::string &line)
    {
        for (const std::string &l : lines) {
            if (l == line)
                return true;
        }
        return false;
    }

    static std::string All(const std::vector<std::string> &lines)
    {
        std::string all;
        for (const std::string &l : lines)
            all += l + "\n";
        return all;
    }

    std::string logPath;
};

TEST_F(SheetHost, BoardShowsTheUtilityPageBesideTheSystemPage)
{
    RunSample("adapter");
    std::vector<std::string> log = RunHost("--do \"300 page 1; 500 dump; 300 ok\"");
    const char *expected[] = {
        "create ZANUTL hr=0x00000000",
        "sim installed=1 other-vendor=0",
        "page added",
        "addpages ZANUTL hr=0x00000000 pages=1",
        "sheet shown 画面のプロパティ",
        "tab 0 ﾃﾞｨｽﾌﾟﾚｲの詳細",
        "tab 1 ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ",
        "dump page ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ",
        "propertysheet result=1",
        "release ZANUTL count=0",
        "canunload ZANUTL hr=0x00000000",
        "end",
    };
    for (const char *line : expected)
        EXPECT_TRUE(Has(log, line)) << line << "\n--- log:\n" << All(log);
    EXPECT_FALSE(Has(log, "tab 2"));
}

TEST_F(SheetHost, AnotherVendorsAdapterGetsNoPage)
{
    RunSample("adapter");
    std::vector<std::string> log = RunHost("--other-vendor --do \"300 ok\"");
    EXPECT_TRUE(Has(log, "sim installed=1 other-vendor=1")) << All(log);
    EXPECT_TRUE(Has(log, "addpages ZANUTL hr=0x80004005 pages=0")) << All(log);
    EXPECT_TRUE(Has(log, "tab 0 ﾃﾞｨｽﾌﾟﾚｲの詳細")) << All(log);
    EXPECT_TRUE(Has(log, "system PSN_APPLY")) << "the system page applies alone\n" << All(log);
    for (const std::string &line : log)
        EXPECT_NE(0u, line.rfind("tab 1", 0)) << "a second tab: " << line;
    EXPECT_TRUE(Has(log, "release ZANUTL count=0")) << All(log);
    EXPECT_TRUE(Has(log, "canunload ZANUTL hr=0x00000000")) << All(log);
}

TEST_F(SheetHost, MachineWithoutTheBoardGetsNoPage)
{
    std::vector<std::string> log = RunHost("--do \"300 cancel\"");
    EXPECT_TRUE(Has(log, "addpages ZANUTL hr=0x80004005 pages=0")) << All(log);
    EXPECT_FALSE(Has(log, "page added")) << All(log);
    EXPECT_TRUE(Has(log, "system PSN_RESET")) << All(log);
}

TEST_F(SheetHost, BoardListedButNotPresentGetsNoPage)
{
    RunSample("adapter --absent");
    std::vector<std::string> log = RunHost("--do \"300 ok\"");
    EXPECT_TRUE(Has(log, "addpages ZANUTL hr=0x80004005 pages=0")) << All(log);
}

TEST_F(SheetHost, RegistrationKeysAreTheShellsWayToTheServer)
{
    RunSample("adapter");
    std::string dll = DistPath("ZANUTL.DLL");
    std::vector<std::string> log = RunHost("--keep-registration --dll \"" + dll + "\" --do \"300 ok\"");
    EXPECT_TRUE(Has(log, "register " + dll + " ok=1")) << All(log);
    EXPECT_TRUE(Has(log, "addpages ZANUTL hr=0x00000000 pages=1")) << All(log);
    EXPECT_EQ("{4E27A9C1-5D3B-11d0-9A6E-0040C71B82F4}", RegReadString(HKEY_LOCAL_MACHINE, kHandlerKey, nullptr));
    std::string server = std::string(kClassKey) + "\\InProcServer32";
    EXPECT_EQ(dll, RegReadString(HKEY_LOCAL_MACHINE, server, nullptr));
    EXPECT_EQ("Apartment", RegReadString(HKEY_LOCAL_MACHINE, server, "ThreadingModel"));

    // Without being told to keep them, the host takes away what it wrote.
    RunHost("--do \"300 ok\"");
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kHandlerKey));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kClassKey));
}

TEST_F(SheetHost, RefusedPageIsNotShown)
{
    RunSample("adapter");
    std::vector<std::string> log = RunHost("--refuse-pages --do \"300 ok\"");
    EXPECT_TRUE(Has(log, "page refused")) << All(log);
    EXPECT_TRUE(Has(log, "addpages ZANUTL hr=0x80004005 pages=0")) << All(log);
    EXPECT_TRUE(Has(log, "release ZANUTL count=0")) << All(log);
}

TEST_F(SheetHost, SampleInstallationWritesAndRemovesTheAdapterLayout)
{
    RunSample("adapter --555or565 0 --d3d 1 --posdata ZANPOSD.INI");
    const std::string instance = "Enum\\PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01\\BUS_00&DEV_13&FUNC_00";
    EXPECT_EQ("DISPLAY", RegReadString(HKEY_LOCAL_MACHINE, instance, "Class"));
    EXPECT_EQ("ZANRO INC.", RegReadString(HKEY_LOCAL_MACHINE, instance, "Mfg"));
    EXPECT_EQ("DISPLAY\\0001", RegReadString(HKEY_LOCAL_MACHINE, instance, "Driver"));
    EXPECT_EQ("PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01\\BUS_00&DEV_13&FUNC_00",
              RegReadString(HKEY_DYN_DATA, "Config Manager\\Enum\\C29A3C40", "HardWareKey"));
    const std::string utility = "System\\CurrentControlSet\\Services\\Class\\DISPLAY\\0001\\UTILITY";
    DWORD value = 99;
    EXPECT_TRUE(RegReadDword(HKEY_LOCAL_MACHINE, utility, "555or565", &value));
    EXPECT_EQ(0u, value);
    EXPECT_TRUE(RegReadDword(HKEY_LOCAL_MACHINE, utility, "D3DFullSupport", &value));
    EXPECT_EQ(1u, value);
    std::vector<unsigned char> codes;
    EXPECT_TRUE(RegReadValue(HKEY_LOCAL_MACHINE, utility, "16_1024_0768_L", &codes));
    EXPECT_EQ((std::vector<unsigned char>{1, 60, 75, 85}), codes);
    EXPECT_TRUE(RegReadValue(HKEY_LOCAL_MACHINE, utility, "32_1280_1024_L", &codes));
    EXPECT_EQ((std::vector<unsigned char>{1, 60, 75}), codes);
    EXPECT_EQ("ZANPOSD.INI", RegReadString(HKEY_LOCAL_MACHINE, utility, "PosData"));
    EXPECT_EQ("ZANPOS.INI", RegReadString(HKEY_LOCAL_MACHINE, utility, "POSINI"));
    // The position file, read as the profile functions read it.
    std::string file = WindowsDir() + "\\ZANPOSD.INI";
    char text[256] = "";
    GetPrivateProfileStringA("POS_H", "16_0800_0600_001", "", text, sizeof text, file.c_str());
    EXPECT_NE(std::string::npos, std::string(text).find("0010")) << text;
    GetPrivateProfileStringA("POS_V", "15_1024_0768_075", "", text, sizeof text, file.c_str());
    EXPECT_NE(std::string::npos, std::string(text).find("0020")) << text;

    RunSample("adapter-remove --posdata ZANPOSD.INI");
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "Enum\\PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000&REV_01"));
    EXPECT_FALSE(RegKeyExists(HKEY_DYN_DATA, "Config Manager\\Enum\\C29A3C40"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, utility));
    EXPECT_FALSE(FileExists(file));
}

// The same host, run under the other platforms' names: Windows 95 finds the board as 98
// does; Windows NT finds the video device through the device map.
std::string PlatformCopy(const char *name)
{
    std::string copy = StandinPath(name);
    CopyFileA(StandinPath("sheethost.exe").c_str(), copy.c_str(), FALSE);
    return copy;
}

TEST_F(SheetHost, Windows95ShowsThePageToo)
{
    ASSERT_TRUE(FileExists(PlatformCopy("sheethost_win95.exe")));
    RunSample("adapter");
    std::vector<std::string> log = RunHost("--do \"300 ok\"", "sheethost_win95.exe");
    EXPECT_TRUE(Has(log, "addpages ZANUTL hr=0x00000000 pages=1")) << All(log);
    EXPECT_TRUE(Has(log, "tab 1 ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ")) << All(log);
    DeleteFileA(StandinPath("sheethost_win95.exe").c_str());
}

TEST_F(SheetHost, WindowsNTShowsThePageForAnyVideoDeviceWithTheEscape)
{
    ASSERT_TRUE(FileExists(PlatformCopy("sheethost_nt.exe")));
    const char service[] = "System\\CurrentControlSet\\Services\\zanhost";
    RegWriteString(HKEY_LOCAL_MACHINE, std::string(service) + "\\Device0", "Marker", "x");
    // Wine writes its own device map at each program start; the host sets it afterwards.
    const std::string device =
        "--video-device \\Registry\\Machine\\System\\CurrentControlSet\\Services\\zanhost\\Device0 ";
    std::vector<std::string> log = RunHost(device + "--do \"300 ok\"", "sheethost_nt.exe");
    EXPECT_TRUE(Has(log, "addpages ZANUTL hr=0x00000000 pages=1")) << All(log);
    EXPECT_TRUE(Has(log, "tab 1 ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ﾕｰﾃｨﾘﾃｨ")) << All(log);
    std::vector<std::string> other = RunHost(device + "--other-vendor --do \"300 ok\"", "sheethost_nt.exe");
    EXPECT_TRUE(Has(other, "addpages ZANUTL hr=0x80004005 pages=0")) << All(other);
    RegRemoveTree(HKEY_LOCAL_MACHINE, service);
    DeleteFileA(StandinPath("sheethost_nt.exe").c_str());
}

} // namespace
