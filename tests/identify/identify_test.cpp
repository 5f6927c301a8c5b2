// Adapter identification of the display utility, on the road of the platform this
// program runs as (Windows 98, 95 or NT), with the board's driver simulated.
#include "adapter_identification.h"
#include "adapter_state.h"
#include "board_registry.h"
#include "driver_sim.h"
#include "file_fixture.h"
#include "import_patch.h"
#include "page_procs.h"
#include "program_road.h"
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// --- registry keys the identification opens and closes (this program's imports) -------

void *realOpen, *realClose;
bool countingKeys;
std::vector<HKEY> keysOpen;

LONG WINAPI CountingOpen(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key)
{
    LONG rc = reinterpret_cast<LONG(WINAPI *)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY)>(realOpen)(root, path, options,
                                                                                             access, key);
    if (countingKeys && rc == ERROR_SUCCESS)
        keysOpen.push_back(*key);
    return rc;
}

LONG WINAPI CountingClose(HKEY key)
{
    if (countingKeys) {
        for (auto it = keysOpen.begin(); it != keysOpen.end(); ++it) {
            if (*it == key) {
                keysOpen.erase(it);
                break;
            }
        }
    }
    return reinterpret_cast<LONG(WINAPI *)(HKEY)>(realClose)(key);
}

// --- the display-mode library in the system directory -------------------------------

std::string LibraryInSystem() { return SystemDir() + "\\ZANCHG32.DLL"; }

std::string ProgramDir()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\'));
}

// As in a fresh process: the library unloaded and its entry points forgotten.
void ForgetLibrary()
{
    for (int i = 0; i < 100; ++i) {
        HMODULE loaded = GetModuleHandleA("ZANCHG32.DLL");
        if (!loaded)
            break;
        FreeLibrary(loaded);
    }
    pfnCheckQuickRes = nullptr;
    pfnQuickResChange = nullptr;
    quickResAvailable = 0;
}

void InstallLibrary(const std::string &source)
{
    ForgetLibrary();
    ASSERT_TRUE(CopyFileA(source.c_str(), LibraryInSystem().c_str(), FALSE)) << source;
}

void RemoveLibrary()
{
    ForgetLibrary();
    DeleteFileA(LibraryInSystem().c_str());
}

std::string FullLibrary() { return std::string(ZAN_DIST_DIR) + "\\ZANCHG32.DLL"; }
[[maybe_unused]] std::string LibraryWithoutQuickResChange() { return ProgramDir() + "\\noquickres\\ZANCHG32.DLL"; }

int EscapeQuestions()
{
    int n = 0;
    for (int i = 0; i < DriverSimCallCount(); ++i) {
        const SimCall &call = DriverSimCall(i);
        if (call.kind == SIM_QUERYESCSUPPORT && call.escape == 12608)
            ++n;
    }
    return n;
}

bool ClassRegistered(const char *name, WNDCLASSA *info = nullptr)
{
    WNDCLASSA local;
    return GetClassInfoA(moduleInstance, name, info ? info : &local) != FALSE;
}

class Identify : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        HMODULE self = GetModuleHandleA(nullptr);
        DriverSimReset();
        simInstalled = DriverSimInstall(self);
        realOpen = PatchImport(self, "ADVAPI32.dll", "RegOpenKeyExA", reinterpret_cast<void *>(CountingOpen));
        realClose = PatchImport(self, "ADVAPI32.dll", "RegCloseKey", reinterpret_cast<void *>(CountingClose));
    }

    // The Windows 95 family's tests, unless the fixture says otherwise.
    virtual bool ForNt() const { return false; }

    void SetUp() override
    {
        if ((ProgramRoad() == kRoadNt) != ForNt())
            GTEST_SKIP() << "a test of the other platform family";
        ASSERT_TRUE(simInstalled) << "the simulated driver could not take this program's imports";
        ASSERT_NE(nullptr, realOpen);
        ASSERT_NE(nullptr, realClose);
        moduleInstance = GetModuleHandleA(nullptr);
        ReleasePageResources();
        isWin9x = isWin98 = 0xEE;
        has555or565 = useDirect3DColor = d3dFullSupport = 0;
        RemoveLibrary();
        DriverSimReset();
        keysOpen.clear();
    }

    void TearDown() override
    {
        countingKeys = false;
        ReleasePageResources();
        RemoveLibrary();
        SetEnvironmentVariableA("ZANCHG32_QUICKRES", nullptr);
        board.RemoveAll();
    }

    static bool simInstalled;
    BoardRegistry board;
};
bool Identify::simInstalled;

TEST(Road, ProgramRunsAsItsPlatform)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    if (ProgramRoad() == kRoadNt) {
        EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), version.dwPlatformId);
    } else {
        EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS), version.dwPlatformId);
        EXPECT_EQ(ProgramRoad() == kRoadWin98 ? 10u : 0u, version.dwMinorVersion);
    }
}

TEST_F(Identify, StandardBoardIsIdentified)
{
    board.AddStandardBoard();
    EXPECT_NE(0, IdentifyAdapter());
    EXPECT_EQ(1u, isWin9x);
    EXPECT_EQ(ProgramRoad() == kRoadWin98 ? 1u : 0u, isWin98);
    ASSERT_NE(nullptr, driverKey);
    EXPECT_EQ("DISPLAY\\0001", MarkerOf(driverKey));
    DWORD probe = 1;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(driverKey, "Probe", 0, REG_DWORD, reinterpret_cast<BYTE *>(&probe),
                                             sizeof probe))
        << "the driver key is opened for setting values too";
    EXPECT_EQ(1, EscapeQuestions());
}

TEST_F(Identify, EveryMakerSpellingAndBothClassSpellingsAreAccepted)
{
    const char *makers[] = {"ZANRO INC.", "ｻﾞﾝﾛ", "ザンロ"};
    const char *classes[] = {"DISPLAY", "Display"};
    for (const char *maker : makers) {
        for (const char *className : classes) {
            board.AddInstance(kBoardDevice, kBoardInstance, className, maker, "DISPLAY\\0001");
            board.AddPresent("C29A3C40", HardwareName(kBoardDevice, kBoardInstance));
            board.AddUtilityKey("DISPLAY\\0001");
            EXPECT_NE(0, IdentifyAdapter()) << maker << " / " << className;
            EXPECT_NE(nullptr, driverKey) << maker << " / " << className;
            ReleasePageResources();
            board.RemoveAll();
        }
    }
}

TEST_F(Identify, NearMissesOfMakerOrClassAreNotTheBoard)
{
    struct Case {
        const char *className;
        const char *maker;
    };
    const Case cases[] = {
        {"DISPLAY", "ZANRO INC"},  {"DISPLAY", "Zanro Inc."},  {"DISPLAY", "zanro inc."},
        {"DISPLAY", "ZANRO INC. "}, {"DISPLAY", " ZANRO INC."}, {"DISPLAY", "ｻﾞﾝﾛ "},
        {"DISPLAY", "ザンロ株式会社"}, {"DISPLAY", "ｻﾞﾝ"},        {"DISPLAY", ""},
        {"DISPLAY", nullptr},      {"display", "ZANRO INC."},  {"Display ", "ZANRO INC."},
        {"DISPLAYS", "ZANRO INC."}, {"MEDIA", "ZANRO INC."},   {nullptr, "ZANRO INC."},
    };
    for (const Case &c : cases) {
        board.AddInstance(kBoardDevice, kBoardInstance, c.className, c.maker, "DISPLAY\\0001");
        board.AddPresent("C29A3C40", HardwareName(kBoardDevice, kBoardInstance));
        board.AddUtilityKey("DISPLAY\\0001");
        std::string what = std::string(c.className ? c.className : "(no class)") + " / " +
                           (c.maker ? c.maker : "(no maker)");
        EXPECT_EQ(0, RegisterControlClasses()) << what;
        EXPECT_EQ(nullptr, driverKey) << what;
        EXPECT_FALSE(ClassRegistered("ZanStatic")) << what;
        EXPECT_EQ(0, EscapeQuestions()) << what << ": the driver is asked only about the board";
        board.RemoveAll();
        DriverSimClearCalls();
    }
}

TEST_F(Identify, BoardListedButNotPresentIsNotIdentified)
{
    board.AddInstance(kBoardDevice, kBoardInstance, "DISPLAY", "ZANRO INC.", "DISPLAY\\0001");
    board.AddUtilityKey("DISPLAY\\0001");
    EXPECT_EQ(0, IdentifyAdapter()) << "no entry in the current configuration";
    // Entries that name something else, or the board in other letters.
    board.AddPresent("C29A0001", HardwareName(kBoardDevice, "BUS_00&DEV_14&FUNC_00"));
    board.AddPresent("C29A0002", "pci\\ven_5333&dev_8a22&subsys_00000000&rev_01\\bus_00&dev_13&func_00");
    board.AddPresent("C29A0003", HardwareName(kBoardDevice, kBoardInstance) + "\\");
    EXPECT_EQ(0, IdentifyAdapter());
    EXPECT_EQ(nullptr, driverKey);
    board.AddPresent("C29A0004", HardwareName(kBoardDevice, kBoardInstance));
    EXPECT_NE(0, IdentifyAdapter()) << "and once it is present";
}

TEST_F(Identify, PresentBoardWithoutUtilityKeyIsNotIdentified)
{
    board.AddInstance(kBoardDevice, kBoardInstance, "DISPLAY", "ZANRO INC.", "DISPLAY\\0001");
    board.AddPresent("C29A3C40", HardwareName(kBoardDevice, kBoardInstance));
    board.AddDriverKey("DISPLAY\\0001");
    EXPECT_EQ(0, IdentifyAdapter());
    EXPECT_EQ(nullptr, driverKey);
    // A driver value that names no key at all.
    board.RemoveAll();
    board.AddInstance(kBoardDevice, kBoardInstance, "DISPLAY", "ZANRO INC.", "");
    board.AddPresent("C29A3C40", HardwareName(kBoardDevice, kBoardInstance));
    EXPECT_EQ(0, IdentifyAdapter());
}

TEST_F(Identify, DriverWithoutTheEscapeIsNotTheBoard)
{
    board.AddStandardBoard();
    DriverSimSetEscapeSupported(false);
    EXPECT_EQ(0, IdentifyAdapter());
    EXPECT_EQ(1, EscapeQuestions());
    EXPECT_EQ(0, RegisterControlClasses());
    EXPECT_FALSE(ClassRegistered("ZanStatic"));
    EXPECT_FALSE(ClassRegistered("ZanButton"));
}

TEST_F(Identify, TheBoardIsFoundAmongOtherDevices)
{
    board.AddInstance("VEN_5333&DEV_8811&SUBSYS_00000000&REV_00", "BUS_00&DEV_10&FUNC_00", "DISPLAY", "S3",
                      "DISPLAY\\0002");
    board.AddPresent("C29A0010", HardwareName("VEN_5333&DEV_8811&SUBSYS_00000000&REV_00", "BUS_00&DEV_10&FUNC_00"));
    board.AddUtilityKey("DISPLAY\\0002");
    board.AddInstance(kBoardDevice, "BUS_00&DEV_12&FUNC_00", "DISPLAY", "ZANRO INC.", "DISPLAY\\0003");
    board.AddUtilityKey("DISPLAY\\0003");   // an earlier slot of the board, gone now
    board.AddInstance(kBoardDevice, kBoardInstance, "DISPLAY", "ZANRO INC.", "DISPLAY\\0004");
    board.AddPresent("C29A0011", HardwareName(kBoardDevice, kBoardInstance));
    board.AddUtilityKey("DISPLAY\\0004");
    board.AddInstance("VEN_8086&DEV_7000&SUBSYS_00000000&REV_01", "BUS_00&DEV_07&FUNC_00", "SYSTEM", "Intel",
                      "SYSTEM\\0001");
    EXPECT_NE(0, IdentifyAdapter());
    ASSERT_NE(nullptr, driverKey);
    EXPECT_EQ("DISPLAY\\0004", MarkerOf(driverKey));
}

TEST_F(Identify, OverlongOrUnterminatedValuesAreReadWithinTheirBuffers)
{
    // Values longer than a 256-byte buffer read as absent.
    std::string longMaker(300, 'Z');
    board.AddInstance(kBoardDevice, kBoardInstance, "DISPLAY", longMaker.c_str(), std::string(250, 'D').c_str());
    board.AddPresent("C29A3C40", std::string(255, 'P'));
    EXPECT_EQ(0, IdentifyAdapter());
    board.RemoveAll();
    // A driver name that fits its value but not the driver key's path.
    std::string driver = "DISPLAY\\" + std::string(220, '0');
    board.AddInstance(kBoardDevice, kBoardInstance, "DISPLAY", "ZANRO INC.", driver.c_str());
    board.AddPresent("C29A3C40", HardwareName(kBoardDevice, kBoardInstance));
    EXPECT_EQ(0, IdentifyAdapter());
    board.RemoveAll();
    // Texts stored without their terminator are their bytes, no more.
    std::string path = std::string("Enum\\PCI\\") + kBoardDevice + "\\" + kBoardInstance;
    board.AddInstance(kBoardDevice, kBoardInstance, nullptr, nullptr, "DISPLAY\\0001");
    RegWriteBinary(HKEY_LOCAL_MACHINE, path, "Class", {'D', 'I', 'S', 'P', 'L', 'A', 'Y'});
    RegWriteBinary(HKEY_LOCAL_MACHINE, path, "Mfg", {'Z', 'A', 'N', 'R', 'O', ' ', 'I', 'N', 'C', '.'});
    board.AddPresent("C29A3C40", HardwareName(kBoardDevice, kBoardInstance));
    board.AddUtilityKey("DISPLAY\\0001");
    EXPECT_NE(0, IdentifyAdapter());
    RegWriteBinary(HKEY_LOCAL_MACHINE, path, "Mfg", {'Z', 'A', 'N', 'R', 'O', ' ', 'I', 'N', 'C', '.', 'X'});
    EXPECT_EQ(0, IdentifyAdapter());
}

TEST_F(Identify, ColourFormatValues)
{
    struct Case {
        int format;   // -1: no "555or565"
        int d3d;      // -1: no "D3DFullSupport"
        DWORD has, useDirect3D, fullSupport;
    };
    const DWORD kBefore = 7;   // what the flags held before, to see what is left alone
    const Case cases[] = {
        {0, -1, 1, 1, 0},
        {1, -1, 1, 0, 0},
        {2, 0, 1, 0, 0},
        {1, 1, 1, 0, 1},
        {0, 3, 1, 1, 3},
        {-1, 1, 0, kBefore, kBefore},
    };
    for (const Case &c : cases) {
        board.AddInstance(kBoardDevice, kBoardInstance, "DISPLAY", "ZANRO INC.", "DISPLAY\\0001");
        board.AddPresent("C29A3C40", HardwareName(kBoardDevice, kBoardInstance));
        board.AddUtilityKey("DISPLAY\\0001");
        if (c.format >= 0)
            board.SetUtilityDword("DISPLAY\\0001", "555or565", static_cast<DWORD>(c.format));
        if (c.d3d >= 0)
            board.SetUtilityDword("DISPLAY\\0001", "D3DFullSupport", static_cast<DWORD>(c.d3d));
        useDirect3DColor = d3dFullSupport = kBefore;
        has555or565 = kBefore;
        EXPECT_NE(0, IdentifyAdapter());
        EXPECT_EQ(c.has, has555or565) << c.format << "/" << c.d3d;
        EXPECT_EQ(c.useDirect3D, useDirect3DColor) << c.format << "/" << c.d3d;
        EXPECT_EQ(c.fullSupport, d3dFullSupport) << c.format << "/" << c.d3d;
        ReleasePageResources();
        board.RemoveAll();
    }
}

TEST_F(Identify, NoColourFormatWithoutTheBoard)
{
    // The driver's values are there, but the board is not present: nothing is read.
    board.AddInstance(kBoardDevice, kBoardInstance, "DISPLAY", "ZANRO INC.", "DISPLAY\\0001");
    board.AddUtilityKey("DISPLAY\\0001");
    board.SetUtilityDword("DISPLAY\\0001", "555or565", 0);
    has555or565 = 1;
    EXPECT_EQ(0, IdentifyAdapter());
    EXPECT_EQ(0u, has555or565);
}

TEST_F(Identify, DisplayModeLibraryAbsent)
{
    board.AddStandardBoard();
    EXPECT_NE(0, IdentifyAdapter()) << "the page does not need the library";
    EXPECT_EQ(nullptr, GetModuleHandleA("ZANCHG32.DLL"));
    EXPECT_EQ(nullptr, pfnCheckQuickRes);
    EXPECT_EQ(nullptr, pfnQuickResChange);
    EXPECT_EQ(0u, quickResAvailable);
}

TEST_F(Identify, DisplayModeLibraryPresent)
{
    InstallLibrary(FullLibrary());
    SetEnvironmentVariableA("ZANCHG32_QUICKRES", "1");
    board.AddStandardBoard();
    EXPECT_NE(0, IdentifyAdapter());
    HMODULE library = GetModuleHandleA("ZANCHG32.DLL");
    ASSERT_NE(nullptr, library) << "loaded by its bare name from the system directory, and kept";
    EXPECT_EQ(reinterpret_cast<void *>(GetProcAddress(library, "CheckQuickRes")),
              reinterpret_cast<void *>(pfnCheckQuickRes));
    EXPECT_EQ(reinterpret_cast<void *>(GetProcAddress(library, "QuickResChange")),
              reinterpret_cast<void *>(pfnQuickResChange));
    EXPECT_EQ(1u, quickResAvailable);

    // The library's answer is taken afresh at each identification.
    SetEnvironmentVariableA("ZANCHG32_QUICKRES", "0");
    EXPECT_NE(0, IdentifyAdapter());
    EXPECT_EQ(0u, quickResAvailable);
    EXPECT_NE(nullptr, pfnQuickResChange);
}

TEST_F(Identify, DisplayModeLibraryIsBoundEvenWhenTheBoardIsNotFound)
{
    InstallLibrary(FullLibrary());
    SetEnvironmentVariableA("ZANCHG32_QUICKRES", "1");
    EXPECT_EQ(0, IdentifyAdapter());
    EXPECT_NE(nullptr, pfnCheckQuickRes);
    EXPECT_EQ(1u, quickResAvailable);
}

TEST_F(Identify, DisplayModeLibraryWithoutQuickResChange)
{
    InstallLibrary(LibraryWithoutQuickResChange());
    board.AddStandardBoard();
    EXPECT_NE(0, IdentifyAdapter());
    EXPECT_NE(nullptr, pfnCheckQuickRes);
    EXPECT_EQ(nullptr, pfnQuickResChange) << "its callers must be able to tell";
    EXPECT_EQ(5u, quickResAvailable);
}

TEST_F(Identify, ControlClassesLiveFromIdentificationToRelease)
{
    board.AddStandardBoard();
    EXPECT_NE(0, RegisterControlClasses());
    const char *names[] = {"ZanStatic", "ZanButton"};
    WNDPROC procs[] = {MonitorPictureProc, ArrowButtonProc};
    for (int i = 0; i < 2; ++i) {
        WNDCLASSA info = {};
        ASSERT_TRUE(ClassRegistered(names[i], &info)) << names[i];
        EXPECT_EQ(reinterpret_cast<void *>(procs[i]), reinterpret_cast<void *>(info.lpfnWndProc)) << names[i];
        EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), info.style) << names[i];
        EXPECT_EQ(0, info.cbClsExtra);
        EXPECT_EQ(0, info.cbWndExtra);
        EXPECT_EQ(nullptr, info.hIcon);
        EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), info.hCursor);
        EXPECT_EQ(nullptr, info.hbrBackground);
        EXPECT_EQ(nullptr, info.lpszMenuName);
    }
    EXPECT_NE(nullptr, driverKey);
    EXPECT_EQ(1, ReleasePageResources());
    EXPECT_FALSE(ClassRegistered("ZanStatic"));
    EXPECT_FALSE(ClassRegistered("ZanButton"));
    EXPECT_EQ(nullptr, driverKey);
}

TEST_F(Identify, EveryKeyOpenedIsClosedAgain)
{
    board.AddStandardBoard();
    board.AddInstance("VEN_5333&DEV_8811&SUBSYS_00000000&REV_00", "BUS_00&DEV_10&FUNC_00", "DISPLAY", "S3",
                      "DISPLAY\\0002");
    countingKeys = true;
    EXPECT_NE(0, IdentifyAdapter());
    EXPECT_EQ(1u, keysOpen.size()) << "only the driver key stays open";
    // Asking again (the sheet asks for pages again) keeps one driver key, not two.
    EXPECT_NE(0, IdentifyAdapter());
    EXPECT_EQ(1u, keysOpen.size());
    ReleasePageResources();
    EXPECT_TRUE(keysOpen.empty()) << keysOpen.size() << " keys left open";
    // And when the board is not found.
    board.RemoveAll();
    EXPECT_EQ(0, IdentifyAdapter());
    EXPECT_TRUE(keysOpen.empty()) << keysOpen.size() << " keys left open";
}

// ----- Windows NT -----

const char kVideoKey[] = "HARDWARE\\DEVICEMAP\\VIDEO";
const char kVideoValue[] = "\\DEVICE\\VIDEO0";
const char kServicePath[] = "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\zantest\\Device0";
const char kServiceKey[] = "System\\CurrentControlSet\\Services\\zantest";

class IdentifyNT : public Identify {
protected:
    bool ForNt() const override { return true; }

    void SetUp() override
    {
        Identify::SetUp();
        if (IsSkipped())
            return;
        hadVideo = RegReadValue(HKEY_LOCAL_MACHINE, kVideoKey, kVideoValue, &savedVideo, &savedType);
        RegWriteString(HKEY_LOCAL_MACHINE, std::string(kServiceKey) + "\\Device0", "Marker", "zantest");
        SetVideoPath(kServicePath);
    }

    void TearDown() override
    {
        RegRemoveTree(HKEY_LOCAL_MACHINE, kServiceKey);
        HKEY key;
        // A skipped test took nothing away to put back.
        if (!IsSkipped() && RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVideoKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            if (hadVideo)
                RegSetValueExA(key, kVideoValue, 0, savedType, savedVideo.data(), static_cast<DWORD>(savedVideo.size()));
            else
                RegDeleteValueA(key, kVideoValue);
            RegCloseKey(key);
        }
        Identify::TearDown();
    }

    void SetVideoPath(const std::string &path) { RegWriteString(HKEY_LOCAL_MACHINE, kVideoKey, kVideoValue, path); }

    bool hadVideo = false;
    std::vector<unsigned char> savedVideo;
    DWORD savedType = REG_SZ;
};

TEST_F(IdentifyNT, VideoDeviceWithTheEscapeIsIdentified)
{
    RegWriteDword(HKEY_LOCAL_MACHINE, std::string(kServiceKey) + "\\Device0", "555or565", 0);
    EXPECT_NE(0, IdentifyAdapter());
    EXPECT_EQ(0u, isWin9x);
    EXPECT_EQ(0u, isWin98);
    ASSERT_NE(nullptr, driverKey);
    EXPECT_EQ("zantest", MarkerOf(driverKey));
    DWORD probe = 1;
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(driverKey, "Probe", 0, REG_DWORD, reinterpret_cast<BYTE *>(&probe),
                                             sizeof probe));
    EXPECT_EQ(0u, has555or565) << "the colour formats belong to the Windows 95 family";
    EXPECT_EQ(1, EscapeQuestions());
}

TEST_F(IdentifyNT, AnotherVendorsAdapterFailsOnlyAtTheEscape)
{
    DriverSimSetEscapeSupported(false);
    EXPECT_EQ(1, FindAdapterKeyNT()) << "any adapter passes the registry stage";
    ReleasePageResources();
    EXPECT_EQ(0, IdentifyAdapter());
    EXPECT_EQ(1, EscapeQuestions());
    EXPECT_EQ(0, RegisterControlClasses());
    EXPECT_FALSE(ClassRegistered("ZanStatic"));
}

TEST_F(IdentifyNT, PathWithFewerThanSixBackslashesNamesNothing)
{
    // The services key itself exists, so taking any tail of such a path would open it.
    const char *paths[] = {
        "\\Registry\\Machine\\System\\CurrentControlSet\\Services",
        "\\Registry\\Machine\\System",
        "zantest",
        "",
    };
    for (const char *path : paths) {
        SetVideoPath(path);
        EXPECT_EQ(0, FindAdapterKeyNT()) << path;
        EXPECT_EQ(nullptr, driverKey) << path;
        EXPECT_EQ(0, IdentifyAdapter()) << path;
    }
}

TEST_F(IdentifyNT, SixthBackslashMustLieInTheFirst128Bytes)
{
    std::string machine(120, 'M');
    SetVideoPath("\\Registry\\" + machine + "\\System\\CurrentControlSet\\Services\\zantest\\Device0");
    EXPECT_EQ(0, IdentifyAdapter());
    EXPECT_EQ(nullptr, driverKey);
}

TEST_F(IdentifyNT, MissingValueOrServiceKeyIsNotIdentified)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVideoKey, 0, KEY_ALL_ACCESS, &key));
    RegDeleteValueA(key, kVideoValue);
    RegCloseKey(key);
    EXPECT_EQ(0, IdentifyAdapter());
    SetVideoPath("\\Registry\\Machine\\System\\CurrentControlSet\\Services\\zanmissing\\Device0");
    EXPECT_EQ(0, IdentifyAdapter());
    EXPECT_EQ(0, EscapeQuestions());
    // A tail too long for the key path counts as a failed open.
    SetVideoPath("\\Registry\\Machine\\System\\CurrentControlSet\\Services\\" + std::string(230, 'z'));
    EXPECT_EQ(0, IdentifyAdapter());
}

TEST_F(IdentifyNT, BoardRegistryOfTheWindows95FamilyIsNotConsulted)
{
    board.AddStandardBoard();
    SetVideoPath("\\Registry\\Machine\\System\\CurrentControlSet\\Services\\zanmissing\\Device0");
    EXPECT_EQ(0, IdentifyAdapter());
}

TEST_F(IdentifyNT, DisplayModeLibraryIsNotLoaded)
{
    InstallLibrary(FullLibrary());
    SetEnvironmentVariableA("ZANCHG32_QUICKRES", "1");
    EXPECT_NE(0, IdentifyAdapter());
    EXPECT_EQ(nullptr, GetModuleHandleA("ZANCHG32.DLL"));
    EXPECT_EQ(nullptr, pfnCheckQuickRes);
    EXPECT_EQ(nullptr, pfnQuickResChange);
    EXPECT_EQ(0u, quickResAvailable);
}

TEST_F(IdentifyNT, EveryKeyOpenedIsClosedAgain)
{
    countingKeys = true;
    EXPECT_NE(0, IdentifyAdapter());
    EXPECT_NE(0, IdentifyAdapter());
    EXPECT_EQ(1u, keysOpen.size());
    ReleasePageResources();
    EXPECT_TRUE(keysOpen.empty()) << keysOpen.size() << " keys left open";
}


} // namespace
