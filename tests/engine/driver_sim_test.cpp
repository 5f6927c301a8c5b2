// The simulated board driver, seen through this program's own import table the way the
// display utility sees it.
#include "engine_fixture.h"

#include "registry_fixture.h"

namespace {

const int kEscDisplayUtil = 12608;

bool Win9xPlatform() { return (GetVersion() & 0x80000000u) != 0; }

// The compiler takes an import entry for a constant and may read it once per function:
// every call that must see a rewritten entry sits in a function of its own.
#define FRESH_IMPORT __attribute__((noinline))

FRESH_IMPORT int QuerySupport(DWORD code)
{
    HDC dc = GetDC(NULL);
    int r = ExtEscape(dc, QUERYESCSUPPORT, sizeof code, (LPCSTR)&code, 0, NULL);
    ReleaseDC(NULL, dc);
    return r;
}

FRESH_IMPORT int Query(DWORD reply[16])
{
    DWORD request = 0;
    HDC dc = GetDC(NULL);
    int r = ExtEscape(dc, kEscDisplayUtil, 4, (LPCSTR)&request, 64, (LPSTR)reply);
    ReleaseDC(NULL, dc);
    return r;
}

FRESH_IMPORT int SetPosition(DWORD position)
{
    DWORD request[16] = {};
    request[0] = 1;
    request[5] = position;
    HDC dc = GetDC(NULL);
    int r = ExtEscape(dc, kEscDisplayUtil, 64, (LPCSTR)request, 0, NULL);
    ReleaseDC(NULL, dc);
    return r;
}

FRESH_IMPORT LONG Change(DWORD bits, DWORD width, DWORD height, DWORD frequency, DWORD flags)
{
    DEVMODEA dm = {};
    dm.dmSize = sizeof dm;
    dm.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    dm.dmBitsPerPel = bits;
    dm.dmPelsWidth = width;
    dm.dmPelsHeight = height;
    dm.dmDisplayFrequency = frequency;
    return ChangeDisplaySettingsA(&dm, flags);
}

FRESH_IMPORT BOOL FirstMode(DEVMODEA *dm)
{
    dm->dmSize = sizeof *dm;
    return EnumDisplaySettingsA(NULL, 0, dm);
}

bool SameMode(const SimMode &a, const SimMode &b)
{
    return a.bits == b.bits && a.width == b.width && a.height == b.height && a.frequency == b.frequency;
}

class DriverSim : public EngineTest {};

}  // namespace

TEST_F(DriverSim, ImportTablePatchRedirectsAndCanBeUndone)
{
    HMODULE self = GetModuleHandleA(NULL);
    DriverSimUninstall(self);
    DriverSimClearCalls();
    // The real Wine display offers no private escape.
    EXPECT_EQ(0, QuerySupport(kEscDisplayUtil));
    DEVMODEA dm = {};
    FirstMode(&dm);
    EXPECT_EQ(0, DriverSimCallCount());

    ASSERT_TRUE(DriverSimInstall(self));
    EXPECT_EQ(1, QuerySupport(kEscDisplayUtil));
    ASSERT_TRUE(FirstMode(&dm));
    EXPECT_EQ(8u, dm.dmBitsPerPel);
    EXPECT_EQ(640u, dm.dmPelsWidth);
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, Change(16, 1024, 768, 0, CDS_UPDATEREGISTRY));
    ASSERT_EQ(3, DriverSimCallCount());
    EXPECT_EQ(SIM_QUERYESCSUPPORT, DriverSimCall(0).kind);
    EXPECT_EQ(kEscDisplayUtil, DriverSimCall(0).escape);
    EXPECT_EQ(SIM_ENUM, DriverSimCall(1).kind);
    EXPECT_EQ(SIM_CHANGE, DriverSimCall(2).kind);
    EXPECT_EQ((DWORD)CDS_UPDATEREGISTRY, DriverSimCall(2).flags);

    // Installing again neither doubles the entries nor loses the real functions.
    EXPECT_TRUE(DriverSimInstall(self));
    DriverSimUninstall(self);
    DriverSimClearCalls();
    EXPECT_EQ(0, QuerySupport(kEscDisplayUtil));
    EXPECT_EQ(0, DriverSimCallCount());
    ASSERT_TRUE(DriverSimInstall(self));

    // A module that imports none of the three is left alone.
    EXPECT_FALSE(DriverSimInstall(GetModuleHandleA("kernel32.dll")));
}

TEST_F(DriverSim, DefaultBoardFollowsThePlatform)
{
    bool win9x = Win9xPlatform();
    std::vector<SimMode> seen;
    DEVMODEA dm;
    for (DWORD i = 0;; i++) {
        dm.dmSize = sizeof dm;
        if (!EnumDisplaySettingsA(NULL, i, &dm)) break;
        EXPECT_EQ(sizeof(DEVMODEA), dm.dmSize);
        seen.push_back(Mode(dm.dmBitsPerPel, dm.dmPelsWidth, dm.dmPelsHeight, dm.dmDisplayFrequency));
    }
    // Depths 8, 16, 24, 32 by five areas; the 95 family lists each once without a rate.
    ASSERT_EQ(win9x ? 20u : 56u, seen.size());
    EXPECT_TRUE(SameMode(Mode(8, 640, 480, win9x ? 0 : 60), seen.front()));
    EXPECT_TRUE(SameMode(Mode(32, 1280, 1024, win9x ? 0 : 75), seen.back()));
    EXPECT_TRUE(SameMode(Mode(16, 800, 600, win9x ? 0 : 75), DriverSimCurrent()));

    DWORD reply[16];
    for (DWORD &f : reply) f = 0xCCCCCCCC;
    ASSERT_EQ(1, Query(reply));
    DWORD expected[16] = {0, 16, 800, 600, win9x ? 0u : 75u, 0x00100020, 16, 800, 600, win9x ? 0u : 75u, 1};
    for (int i = 0; i < 16; i++) EXPECT_EQ(expected[i], reply[i]) << "field " << i;

    // The mode the platform reports as in force.
    ASSERT_TRUE(EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &dm));
    EXPECT_EQ(800u, dm.dmPelsWidth);
}

TEST_F(DriverSim, EscapeAnswersQueryAndSetPosition)
{
    DriverSimSetCurrent(Mode(24, 1024, 768, 72));
    DriverSimSetPosition(0x01020304);
    EXPECT_EQ(0, QuerySupport(1234));   // no other private escape
    DWORD reply[16];
    ASSERT_EQ(1, Query(reply));
    EXPECT_EQ(24u, reply[1]);
    EXPECT_EQ(1024u, reply[2]);
    EXPECT_EQ(768u, reply[3]);
    EXPECT_EQ(72u, reply[4]);
    EXPECT_EQ(0x01020304u, reply[5]);
    EXPECT_EQ(24u, reply[6]);
    EXPECT_EQ(72u, reply[9]);
    EXPECT_EQ(1u, reply[10]);

    EXPECT_EQ(1, SetPosition(0x00110022));
    EXPECT_EQ(0x00110022u, DriverSimPosition());
    // A mode that cannot be adjusted keeps its position and says so.
    DriverSimSetAdjustable(false);
    EXPECT_EQ(1, SetPosition(0x00330044));
    EXPECT_EQ(0x00110022u, DriverSimPosition());
    ASSERT_EQ(1, Query(reply));
    EXPECT_EQ(0u, reply[10]);
    std::vector<SimCall> sets = CallsOf(SIM_ESCAPE_SETPOSITION);
    ASSERT_EQ(2u, sets.size());
    EXPECT_EQ(0x00330044u, sets[1].position);
}

TEST_F(DriverSim, FailuresLeaveTheReplyUntouched)
{
    DWORD reply[16];
    DriverSimSetQueryAnswered(false);
    EXPECT_EQ(1, QuerySupport(kEscDisplayUtil));
    for (DWORD &f : reply) f = 0xCCCCCCCC;
    EXPECT_LT(Query(reply), 1);
    for (DWORD f : reply) EXPECT_EQ(0xCCCCCCCCu, f);

    // Another vendor's adapter knows nothing of the escape.
    DriverSimSetQueryAnswered(true);
    DriverSimSetEscapeSupported(false);
    EXPECT_EQ(0, QuerySupport(kEscDisplayUtil));
    EXPECT_EQ(0, Query(reply));
    for (DWORD f : reply) EXPECT_EQ(0xCCCCCCCCu, f);
    EXPECT_EQ(0, SetPosition(0x00050006));
    EXPECT_EQ(0x00100020u, DriverSimPosition());
}

TEST_F(DriverSim, ModeChangesTestSetRestartAndFail)
{
    SimMode start = DriverSimCurrent();
    // Tests change nothing, with or without the high bit.
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, Change(8, 640, 480, 0, CDS_TEST));
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, Change(8, 640, 480, 0, 0x80000002));
    EXPECT_TRUE(SameMode(start, DriverSimCurrent()));
    // A mode the board lacks.
    EXPECT_EQ(DISP_CHANGE_BADMODE, Change(15, 800, 600, 0, CDS_TEST));
    EXPECT_EQ(DISP_CHANGE_BADMODE, Change(16, 640, 400, 0, CDS_UPDATEREGISTRY));

    // A chosen mode needs a restart: the registry would be updated, the screen is not.
    DriverSimSetChangeResultFor(Mode(32, 1280, 1024, 0), CDS_TEST, DISP_CHANGE_RESTART);
    DriverSimSetChangeResultFor(Mode(32, 1280, 1024, 0), CDS_UPDATEREGISTRY, DISP_CHANGE_RESTART);
    EXPECT_EQ(DISP_CHANGE_RESTART, Change(32, 1280, 1024, 0, CDS_TEST));
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, Change(32, 1024, 768, 0, CDS_TEST));
    EXPECT_EQ(DISP_CHANGE_RESTART, Change(32, 1280, 1024, 0, CDS_UPDATEREGISTRY));
    EXPECT_TRUE(SameMode(start, DriverSimCurrent()));

    // Failure on demand for a flags value.
    DriverSimSetChangeResult(0x80000002, DISP_CHANGE_FAILED);
    EXPECT_EQ(DISP_CHANGE_FAILED, Change(8, 640, 480, 0, 0x80000002));
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, Change(8, 640, 480, 0, CDS_TEST));

    DWORD rate = Win9xPlatform() ? 0 : 60;
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, Change(8, 640, 480, rate, 0x40000001));
    EXPECT_TRUE(SameMode(Mode(8, 640, 480, rate), DriverSimCurrent()));
    DWORD reply[16];
    ASSERT_EQ(1, Query(reply));
    EXPECT_EQ(8u, reply[6]);
    EXPECT_EQ(640u, reply[7]);

    std::vector<SimCall> changes = CallsOf(SIM_CHANGE);
    ASSERT_EQ(10u, changes.size());
    EXPECT_EQ(0x80000002u, changes[1].flags);
    EXPECT_EQ(15u, changes[2].mode.bits);
    EXPECT_EQ(DISP_CHANGE_BADMODE, changes[2].result);
    EXPECT_EQ(DISP_CHANGE_RESTART, changes[6].result);
    EXPECT_EQ(0x40000001u, changes[9].flags);
}

TEST_F(DriverSim, DriverKeyGivesFormatAndRefreshCode)
{
    if (!Win9xPlatform()) GTEST_SKIP() << "the 32K-colour format is a Windows 95 family matter";
    ASSERT_TRUE(RegWriteDword(HKEY_LOCAL_MACHINE, kDriverKeyPath, "555or565", 0));
    WriteBinary("15_1024_0768_C", {75});
    WriteBinary("08_0640_0480_C", {60});
    DriverSimUseDriverKey(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    // At boot the 16-bit mode in force runs as 555, at the hardware default without a code.
    EXPECT_TRUE(SameMode(Mode(15, 800, 600, 1), DriverSimCurrent()));
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, Change(16, 1024, 768, 0, CDS_UPDATEREGISTRY));
    EXPECT_TRUE(SameMode(Mode(15, 1024, 768, 75), DriverSimCurrent()));
    DWORD reply[16];
    ASSERT_EQ(1, Query(reply));
    EXPECT_EQ(15u, reply[6]);
    EXPECT_EQ(75u, reply[9]);
    DEVMODEA dm = {};
    dm.dmSize = sizeof dm;
    ASSERT_TRUE(EnumDisplaySettingsA(NULL, ENUM_CURRENT_SETTINGS, &dm));
    EXPECT_EQ(16u, dm.dmBitsPerPel);
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, Change(8, 640, 480, 0, CDS_UPDATEREGISTRY));
    EXPECT_TRUE(SameMode(Mode(8, 640, 480, 60), DriverSimCurrent()));

    // The format is read at boot only.
    ASSERT_TRUE(RegWriteDword(HKEY_LOCAL_MACHINE, kDriverKeyPath, "555or565", 1));
    EXPECT_EQ(DISP_CHANGE_SUCCESSFUL, Change(16, 1024, 768, 0, CDS_UPDATEREGISTRY));
    EXPECT_EQ(15u, DriverSimCurrent().bits);
    DriverSimUseDriverKey(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    EXPECT_EQ(16u, DriverSimCurrent().bits);
    DriverSimUseDriverKey(HKEY_LOCAL_MACHINE, nullptr);
}
