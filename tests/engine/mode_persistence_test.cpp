// The driver-key values of a mode choice, the record search, and the lookup of the mode
// in force.
#include "engine_fixture.h"

#include "adapter_state.h"
#include "mode_persistence.h"
#include "mode_table.h"
#include "registry_fixture.h"

namespace {

class ModePersistence : public EngineTest {
protected:
    // A board of the Windows 95 family: 8 and 16 bits at 640x480 and 800x600, each mode
    // once without a frequency, the refresh codes in the driver key.
    void BoardWin9x()
    {
        SetModes({Mode(8, 640, 480, 0), Mode(8, 800, 600, 0), Mode(16, 640, 480, 0), Mode(16, 800, 600, 0),
                  Mode(16, 320, 200, 0)});
        WriteBinary("08_0640_0480_L", {60});
        WriteBinary("08_0800_0600_L", {60, 75});
        WriteBinary("16_0640_0480_L", {60});
        WriteBinary("16_0800_0600_L", {60, 75, 1});
        ASSERT_TRUE(RegWriteDword(HKEY_LOCAL_MACHINE, kDriverKeyPath, "555or565", 1));
        has555or565 = 1;
        BuildModeTable();
        ASSERT_EQ(3u, colorDepthCount);   // 8, 15, 16
        Enumerate();
    }
    // The list ApplyModeChange passes: every mode, unfiltered.
    void Enumerate()
    {
        list.clear();
        for (DWORD i = 0;; i++) {
            DEVMODEA dm = {};
            dm.dmSize = sizeof dm;
            if (!EnumDisplaySettingsA(NULL, i, &dm)) break;
            list.push_back(dm);
        }
    }
    int Record(UINT color, UINT area, UINT refresh)
    {
        return RecordModeChoice(list.data(), (int)list.size(), color, area, refresh);
    }
    DWORD Format()
    {
        DWORD v = 0xFFFF;
        EXPECT_TRUE(RegReadDword(HKEY_LOCAL_MACHINE, kDriverKeyPath, "555or565", &v));
        return v;
    }
    std::vector<DEVMODEA> list;
};

}  // namespace

TEST_F(ModePersistence, ThirtyTwoKChoiceWritesCodeAndFormatAndFindsThe16BitRecord)
{
    BoardWin9x();
    // 15 bits, 800x600, codes 1, 60, 75: index 2 is 75.
    ASSERT_EQ(15u, modeTable[1].bitsPerPixel);
    ASSERT_EQ(75u, modeTable[1].areas[1].refreshRates[2]);
    EXPECT_EQ(3, Record(1, 1, 2));
    DWORD type = 0;
    EXPECT_EQ((std::vector<unsigned char>{75}), ReadValue("15_0800_0600_C", &type));
    EXPECT_EQ((DWORD)REG_BINARY, type);
    EXPECT_EQ(0u, Format());
    ReadValue("555or565", &type);
    EXPECT_EQ((DWORD)REG_DWORD, type);

    // 64K colours: the format back to 565, the code under a 16-bit name.
    EXPECT_EQ(2, Record(2, 0, 0));
    EXPECT_EQ((std::vector<unsigned char>{60}), ReadValue("16_0640_0480_C"));
    EXPECT_EQ(1u, Format());
}

TEST_F(ModePersistence, OtherDepthsWriteTheDirect3DChoiceUnlessFullySupported)
{
    BoardWin9x();
    useDirect3DColor = 1;
    EXPECT_EQ(1, Record(0, 1, 1));
    EXPECT_EQ(0u, Format());
    EXPECT_EQ((std::vector<unsigned char>{75}), ReadValue("08_0800_0600_C"));
    useDirect3DColor = 0;
    EXPECT_EQ(0, Record(0, 0, 0));
    EXPECT_EQ(1u, Format());

    d3dFullSupport = 1;
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(driverKey, "555or565"));
    useDirect3DColor = 1;
    EXPECT_EQ(0, Record(0, 0, 0));
    EXPECT_FALSE(HasValue("555or565"));
    EXPECT_EQ(3, Record(1, 1, 0));   // 15 and 16 bits still set the format
    EXPECT_EQ(0u, Format());

    // Without the format choice only the refresh code is recorded.
    has555or565 = 0;
    d3dFullSupport = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(driverKey, "555or565"));
    EXPECT_EQ(3, Record(2, 1, 0));
    EXPECT_FALSE(HasValue("555or565"));
    EXPECT_EQ((std::vector<unsigned char>{1}), ReadValue("16_0800_0600_C"));
}

TEST_F(ModePersistence, WindowsNtWritesNothingAndSearchesByFrequency)
{
    isWin9x = 0;
    has555or565 = 1;
    SetModes({Mode(16, 800, 600, 60), Mode(8, 640, 480, 60), Mode(16, 800, 600, 75), Mode(16, 800, 600, 75)});
    BuildModeTable();
    Enumerate();
    std::vector<std::string> before = ValueNames();
    // 8 bits first; 16 bits 800x600 codes 60, 75, 75.
    EXPECT_EQ(2, Record(1, 0, 1));   // the first record at 75
    EXPECT_EQ(0, Record(1, 0, 0));
    EXPECT_EQ(1, Record(0, 0, 0));
    EXPECT_EQ(before, ValueNames());
}

TEST_F(ModePersistence, NoMatchingRecordOrSelectionOutsideTheTable)
{
    BoardWin9x();
    // The list lacks the 16-bit 800x600 record.
    std::vector<DEVMODEA> shorter;
    for (const DEVMODEA &dm : list)
        if (!(dm.dmBitsPerPel == 16 && dm.dmPelsWidth == 800)) shorter.push_back(dm);
    EXPECT_EQ((int)shorter.size(), RecordModeChoice(shorter.data(), (int)shorter.size(), 2, 1, 0));
    EXPECT_TRUE(HasValue("16_0800_0600_C"));   // written all the same

    std::vector<std::string> before = ValueNames();
    EXPECT_EQ((int)list.size(), Record(3, 0, 0));
    EXPECT_EQ((int)list.size(), Record(0, 2, 0));
    EXPECT_EQ((int)list.size(), Record(0, 1, 2));
    EXPECT_EQ(before, ValueNames());
    FreeModeTable();
    EXPECT_EQ((int)list.size(), Record(0, 0, 0));
}

TEST_F(ModePersistence, CurrentModeIsFoundInTableOrder)
{
    BoardWin9x();
    UINT c = 99, a = 99, r = 99;
    DriverSimSetCurrent(Mode(16, 800, 600, 75));
    QueryCurrentSelection(c, a, r);
    EXPECT_EQ(2u, c);
    EXPECT_EQ(1u, a);
    EXPECT_EQ(2u, r);
    DriverSimSetCurrent(Mode(15, 800, 600, 1));
    QueryCurrentSelection(c, a, r);
    EXPECT_EQ(1u, c);
    EXPECT_EQ(1u, a);
    EXPECT_EQ(0u, r);
    DriverSimSetCurrent(Mode(8, 640, 480, 60));
    QueryCurrentSelection(c, a, r);
    EXPECT_EQ(0u, c);
    EXPECT_EQ(0u, a);
    EXPECT_EQ(0u, r);
}

TEST_F(ModePersistence, UnknownModeOrSilentDriverGivesOnePastTheEnd)
{
    BoardWin9x();
    // Last depth 16 bits: two areas, the last with codes 1, 60, 75.
    UINT c = 0, a = 0, r = 0;
    DriverSimSetCurrent(Mode(16, 320, 200, 60));
    QueryCurrentSelection(c, a, r);
    EXPECT_EQ(3u, c);
    EXPECT_EQ(2u, a);
    EXPECT_EQ(3u, r);
    DriverSimSetCurrent(Mode(16, 800, 600, 85));
    c = a = r = 0;
    QueryCurrentSelection(c, a, r);
    EXPECT_EQ(3u, c);

    // The mode in force is in the table, but the driver does not answer.
    DriverSimSetCurrent(Mode(8, 640, 480, 60));
    DriverSimSetQueryAnswered(false);
    c = a = r = 0;
    QueryCurrentSelection(c, a, r);
    EXPECT_EQ(3u, c);
    EXPECT_EQ(2u, a);
    EXPECT_EQ(3u, r);
    DriverSimSetQueryAnswered(true);
    DriverSimSetEscapeSupported(false);
    c = a = r = 0;
    QueryCurrentSelection(c, a, r);
    EXPECT_EQ(3u, c);

    // No table at all.
    DriverSimSetEscapeSupported(true);
    FreeModeTable();
    c = a = r = 7;
    QueryCurrentSelection(c, a, r);
    EXPECT_EQ(0u, c);
    EXPECT_EQ(0u, a);
    EXPECT_EQ(0u, r);
}
