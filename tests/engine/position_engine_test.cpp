// The position engine against the simulated driver, a real driver key and a real position
// file read through the profile functions.
#include "engine_fixture.h"

#include <string>

#include "adapter_state.h"
#include "file_fixture.h"
#include "position_engine.h"
#include "registry_fixture.h"

namespace {

const char kPosFile[] = "ZANPOSTS.INI";
const char kMode1024[] = "16_1024_0768_075";

class PositionEngine : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        path = WindowsDir() + "\\" + kPosFile;
        RemoveFile();
        ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kDriverKeyPath, "PosData", kPosFile));
        DriverSimSetCurrent(Mode(16, 1024, 768, 75));
    }
    void TearDown() override
    {
        RemoveFile();
        EngineTest::TearDown();
    }
    void RemoveFile()
    {
        WritePrivateProfileStringA(NULL, NULL, NULL, path.c_str());
        RemovePath(path);
    }
    void Entry(const char *section, const char *key, const std::string &text)
    {
        ASSERT_TRUE(WritePrivateProfileStringA(section, key, text.c_str(), path.c_str()));
    }
    // Three horizontal and two vertical values for 1024x768 at 75.
    void StandardLists()
    {
        Entry("POS_H", kMode1024, "0010,0011 0012");
        Entry("POS_V", kMode1024, "00200021");
    }
    // The positions sent with ESCFN_SETPOSITION since the last clear.
    static std::vector<DWORD> Sent()
    {
        std::vector<DWORD> out;
        for (const SimCall &c : CallsOf(SIM_ESCAPE_SETPOSITION)) out.push_back(c.position);
        return out;
    }
    std::string path;
};

int Parse(const char *text, int length, std::vector<WORD> *values)
{
    static WORD out[POSITION_VALUE_CAPACITY + 8];
    for (WORD &w : out) w = 0xEEEE;
    int n = ParseHexWords((BYTE *)out, text, length);
    values->assign(out, out + (n > 0 ? n : 0));
    return n;
}

int Parse(const char *text, std::vector<WORD> *values)
{
    return Parse(text, lstrlenA(text), values);
}

}  // namespace

TEST(PositionRecord, LayoutIsTheDriversSixtyFourBytes)
{
    DisplayUtilEscape r = {};
    r.position = 0x11223344;
    r.positionAdjustable = 7;
    const BYTE *bytes = (const BYTE *)&r;
    EXPECT_EQ(0x44, bytes[20]);
    EXPECT_EQ(0x11, bytes[23]);
    EXPECT_EQ(7, bytes[40]);
    EXPECT_EQ(12608, ESC_DISPLAYUTIL);
}

TEST(PositionEntryText, PairsOfHexDigitsMakeHighByteFirstValues)
{
    std::vector<WORD> v;
    EXPECT_EQ(2, Parse("0100 0102", &v));
    EXPECT_EQ((std::vector<WORD>{0x0100, 0x0102}), v);
    EXPECT_EQ(2, Parse("01000102", &v));
    EXPECT_EQ((std::vector<WORD>{0x0100, 0x0102}), v);
    EXPECT_EQ(1, Parse("01 00", &v));
    EXPECT_EQ((std::vector<WORD>{0x0100}), v);
    EXPECT_EQ(3, Parse("0102,0104 0106", &v));
    EXPECT_EQ((std::vector<WORD>{0x0102, 0x0104, 0x0106}), v);
    EXPECT_EQ(3, Parse("010201040106", &v));
    EXPECT_EQ(1, Parse("aBcD", &v));
    EXPECT_EQ(0xABCD, v[0]);
    // Anything that is not a hex digit is skipped, Shift-JIS bytes included.
    EXPECT_EQ(2, Parse("\x82\xa0 12gz34;\xb1" "5678", &v));
    EXPECT_EQ((std::vector<WORD>{0x1234, 0x5678}), v);
    EXPECT_EQ(0, Parse("", &v));
    EXPECT_EQ(0, Parse("xyz, -", &v));
    // An odd last byte is not counted.
    EXPECT_EQ(1, Parse("0102 03", &v));
}

TEST(PositionEntryText, LoneDigitStandsForNoByte)
{
    std::vector<WORD> v;
    EXPECT_EQ(0, Parse("1,2", &v));
    EXPECT_EQ(1, Parse("1 0102", &v));
    EXPECT_EQ(0x0102, v[0]);
    EXPECT_EQ(2, Parse("0102 3 0405 6", &v));
    EXPECT_EQ((std::vector<WORD>{0x0102, 0x0405}), v);
    // The text's length ends it, not its terminator: the digit after the end is not read.
    BYTE out[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(1, ParseHexWords(out, "01027F", 5));
    EXPECT_EQ(0, out[2]);
    out[0] = 0xEE;
    EXPECT_EQ(0, ParseHexWords(out, "12", 1));
    EXPECT_EQ(0, ParseHexWords(out, "12", 0));
    EXPECT_EQ(0xEE, out[0]);
}

TEST(PositionEntryText, NothingIsStoredBeyondTheAxisCapacity)
{
    std::string text;
    for (int i = 0; i < POSITION_VALUE_CAPACITY + 100; i++) text += "1234";
    std::vector<WORD> v;
    EXPECT_EQ(POSITION_VALUE_CAPACITY, Parse(text.c_str(), (int)text.size(), &v));
    static WORD out[POSITION_VALUE_CAPACITY + 8];
    for (WORD &w : out) w = 0xEEEE;
    ParseHexWords((BYTE *)out, text.c_str(), (int)text.size());
    EXPECT_EQ(0x1234, out[POSITION_VALUE_CAPACITY - 1]);
    EXPECT_EQ(0xEEEE, out[POSITION_VALUE_CAPACITY]);
}

TEST_F(PositionEngine, StepsStopAtBothEndsAndStillSend)
{
    StandardLists();
    DriverSimSetPosition(0x00110020);
    DriverSimClearCalls();
    EXPECT_EQ(1, MovePosition(POSMOVE_LEFT));
    EXPECT_EQ(2, horizontalAxis.currentIndex);
    EXPECT_EQ(1, MovePosition(POSMOVE_LEFT));   // already the last value
    EXPECT_EQ(2, horizontalAxis.currentIndex);
    EXPECT_EQ(1, MovePosition(POSMOVE_RIGHT));
    EXPECT_EQ(1, MovePosition(POSMOVE_RIGHT));
    EXPECT_EQ(1, MovePosition(POSMOVE_RIGHT));  // already the first value
    EXPECT_EQ(0, horizontalAxis.currentIndex);
    EXPECT_EQ(1, MovePosition(POSMOVE_UP));
    EXPECT_EQ(1, MovePosition(POSMOVE_UP));
    EXPECT_EQ(1, MovePosition(POSMOVE_DOWN));
    EXPECT_EQ(1, MovePosition(POSMOVE_DOWN));
    EXPECT_EQ(1, MovePosition(99));             // unknown code: the same position again
    EXPECT_EQ((std::vector<DWORD>{0x00120020, 0x00120020, 0x00110020, 0x00100020, 0x00100020, 0x00100021,
                                  0x00100021, 0x00100020, 0x00100020, 0x00100020}),
              Sent());
    EXPECT_EQ(0x00100020u, DriverSimPosition());
    EXPECT_EQ(3, horizontalAxis.valueCount);
    EXPECT_EQ(2, verticalAxis.valueCount);
}

TEST_F(PositionEngine, ResetReturnsToTheLoadTimeBaselineThenToTheAppliedOne)
{
    StandardLists();
    DriverSimSetPosition(0x00110021);
    EXPECT_EQ(1, MovePosition(POSMOVE_RESET));
    EXPECT_EQ(1, MovePosition(POSMOVE_LEFT));
    EXPECT_EQ(1, MovePosition(POSMOVE_DOWN));
    EXPECT_EQ(0x00120020u, DriverSimPosition());
    DriverSimClearCalls();
    EXPECT_EQ(1, MovePosition(POSMOVE_RESET));
    EXPECT_EQ((std::vector<DWORD>{0x00110021}), Sent());
    // The page's apply makes the moved position the baseline.
    EXPECT_EQ(1, MovePosition(POSMOVE_RIGHT));
    horizontalAxis.baselineIndex = horizontalAxis.currentIndex;
    verticalAxis.baselineIndex = verticalAxis.currentIndex;
    EXPECT_EQ(1, MovePosition(POSMOVE_LEFT));
    EXPECT_EQ(1, MovePosition(POSMOVE_RESET));
    EXPECT_EQ(0x00100021u, DriverSimPosition());
}

TEST_F(PositionEngine, PositionOutsideTheListsStartsAtTheFirstValues)
{
    StandardLists();
    DriverSimSetPosition(0x00770088);
    EXPECT_EQ(1, MovePosition(POSMOVE_RESET));
    EXPECT_EQ(0x00100020u, DriverSimPosition());
}

TEST_F(PositionEngine, ModeChangeReloadsTheListsAndTakesTheNewBaseline)
{
    StandardLists();
    Entry("POS_H", "08_0800_0600_060", "0A00 0B00 0C00 0D00");
    Entry("POS_V", "08_0800_0600_060", "0100");
    DriverSimSetPosition(0x00110020);
    EXPECT_EQ(1, MovePosition(POSMOVE_LEFT));
    EXPECT_EQ(3, horizontalAxis.valueCount);

    DriverSimSetCurrent(Mode(8, 800, 600, 60));
    DriverSimSetPosition(0x0C000100);
    DriverSimClearCalls();
    EXPECT_EQ(1, MovePosition(POSMOVE_RESET));
    EXPECT_EQ(4, horizontalAxis.valueCount);
    EXPECT_EQ(1, verticalAxis.valueCount);
    EXPECT_EQ(2, horizontalAxis.baselineIndex);
    EXPECT_EQ(1, MovePosition(POSMOVE_LEFT));
    EXPECT_EQ((std::vector<DWORD>{0x0C000100, 0x0D000100}), Sent());

    // Back to the first mode: its lists and the driver's position there.
    DriverSimSetCurrent(Mode(16, 1024, 768, 75));
    DriverSimSetPosition(0x00120021);
    EXPECT_EQ(1, MovePosition(POSMOVE_RESET));
    EXPECT_EQ(0x00120021u, DriverSimPosition());
    EXPECT_EQ(3, horizontalAxis.valueCount);
}

TEST_F(PositionEngine, ListsAreLoadedOnlyWhenTheModeChanges)
{
    StandardLists();
    EXPECT_EQ(1, MovePosition(POSMOVE_LEFT));
    // A changed file is not read again while the mode stays.
    Entry("POS_H", kMode1024, "0001");
    EXPECT_EQ(1, MovePosition(POSMOVE_LEFT));
    EXPECT_EQ(3, horizontalAxis.valueCount);
    // The adjustability is part of the mode.
    DriverSimSetAdjustable(false);
    DriverSimClearCalls();
    EXPECT_EQ(0, MovePosition(POSMOVE_LEFT));
    EXPECT_TRUE(Sent().empty());
    DriverSimSetAdjustable(true);
    EXPECT_EQ(1, MovePosition(POSMOVE_LEFT));
    EXPECT_EQ(1, horizontalAxis.valueCount);
}

TEST_F(PositionEngine, FileNameFallsBackToPosiniAndIsBounded)
{
    StandardLists();
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kDriverKeyPath, "PosData", "NOSUCH.INI"));
    EXPECT_EQ(0, MovePosition(POSMOVE_LEFT));
    EXPECT_EQ(1u, positionUnavailable);

    // Without "PosData", "POSINI" names the file; a name over 31 characters is not read.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(driverKey, "PosData"));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kDriverKeyPath, "POSINI", kPosFile));
    EXPECT_EQ(3 * 2, LoadPositionTable());
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kDriverKeyPath, "PosData", std::string(32, 'A') + ".INI"));
    EXPECT_EQ(3 * 2, LoadPositionTable());
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kDriverKeyPath, "PosData", ""));
    EXPECT_EQ(3 * 2, LoadPositionTable());
    // 31 characters fit, and win over "POSINI".
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kDriverKeyPath, "PosData", std::string(27, 'B') + ".INI"));
    EXPECT_EQ(0, LoadPositionTable());
    ASSERT_TRUE(RegWriteBinary(HKEY_LOCAL_MACHINE, kDriverKeyPath, "PosData",
                               std::vector<unsigned char>(kPosFile, kPosFile + lstrlenA(kPosFile))));
    EXPECT_EQ(3 * 2, LoadPositionTable());   // stored without its terminator

    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(driverKey, "PosData"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(driverKey, "POSINI"));
    EXPECT_EQ(0, LoadPositionTable());
}

TEST_F(PositionEngine, FullPathNamesAFileElsewhere)
{
    std::string dir = WindowsDir() + "\\ZANPOSD";
    MakeDirs(dir);
    std::string other = dir + "\\P.INI";
    ASSERT_TRUE(WritePrivateProfileStringA("POS_H", kMode1024, "0001 0002", other.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringA("POS_V", kMode1024, "0003", other.c_str()));
    ASSERT_LE(other.size(), 31u);
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kDriverKeyPath, "PosData", other));
    EXPECT_EQ(2, LoadPositionTable());
    WritePrivateProfileStringA(NULL, NULL, NULL, other.c_str());
    RemovePath(dir);
}

TEST_F(PositionEngine, MissingOrEmptyEntriesMakeTheTableUnavailable)
{
    Entry("POS_H", kMode1024, "0010 0011");
    DriverSimClearCalls();
    EXPECT_EQ(0, MovePosition(POSMOVE_LEFT));   // no vertical entry
    Entry("POS_V", kMode1024, "no digits here");
    EXPECT_EQ(0, LoadPositionTable());
    Entry("POS_V", kMode1024, "07");            // one byte makes no value
    EXPECT_EQ(0, LoadPositionTable());
    StorePosition();
    EXPECT_TRUE(Sent().empty());
    EXPECT_FALSE(HasValue(kMode1024));
}

TEST_F(PositionEngine, LongEntryYieldsAtMost511Values)
{
    std::string text;
    for (int i = 0; i < 800; i++) text += "0102";
    Entry("POS_H", kMode1024, text);
    Entry("POS_V", kMode1024, "0003");
    EXPECT_EQ(511, LoadPositionTable());
    EXPECT_EQ(511, horizontalAxis.valueCount);
}

TEST_F(PositionEngine, UnansweredQueryIsNotAReply)
{
    StandardLists();
    DriverSimSetQueryAnswered(false);
    DriverSimClearCalls();
    EXPECT_EQ(0, MovePosition(POSMOVE_LEFT));
    StorePosition();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ((std::vector<std::string>{"PosData"}), ValueNames());
    // Once the driver answers, the table loads.
    DriverSimSetQueryAnswered(true);
    EXPECT_EQ(1, MovePosition(POSMOVE_RESET));
    // A table loaded before is given up while the driver stays silent.
    DriverSimSetQueryAnswered(false);
    EXPECT_EQ(0, MovePosition(POSMOVE_LEFT));
    DriverSimSetQueryAnswered(true);
    EXPECT_EQ(1, MovePosition(POSMOVE_LEFT));

    // Another vendor's adapter.
    DriverSimSetEscapeSupported(false);
    DriverSimClearCalls();
    EXPECT_EQ(0, MovePosition(POSMOVE_LEFT));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PositionEngine, StoreWritesTheDriversPositionUnderTheModeKey)
{
    StandardLists();
    DriverSimSetPosition(0x00110020);
    EXPECT_EQ(1, MovePosition(POSMOVE_UP));
    StorePosition();
    DWORD type = 0;
    std::vector<unsigned char> stored = ReadValue(kMode1024, &type);
    EXPECT_EQ((DWORD)REG_BINARY, type);
    // Vertical value first: the little-endian order of the 32-bit position.
    EXPECT_EQ((std::vector<unsigned char>{0x21, 0x00, 0x11, 0x00}), stored);

    // The key follows the mode in force, and without a table nothing is stored.
    DriverSimSetCurrent(Mode(32, 1280, 1024, 1));
    StorePosition();
    EXPECT_FALSE(HasValue("32_1280_1024_001"));
    Entry("POS_H", "32_1280_1024_001", "0110");
    Entry("POS_V", "32_1280_1024_001", "0220");
    DriverSimSetPosition(0x01100220);
    positionUnavailable = 0;
    for (DWORD &v : lastReportedMode) v = 0;
    StorePosition();
    EXPECT_EQ((std::vector<unsigned char>{0x20, 0x02, 0x10, 0x01}), ReadValue("32_1280_1024_001"));
}
