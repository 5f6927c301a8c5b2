// Reads of the product's registry layout: value termination, record numbering (with the
// decimal conversion and bounded formatting under it), the search for the record of the
// running uninstaller, subkey counting and name comparison.
#include "bounded_format.h"
#include "decimal_text.h"
#include "file_fixture.h"
#include "registry_fixture.h"
#include "registry_layout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char kCompany[] = "SOFTWARE\\ZANRO INC";
const char kDriver[] = "SOFTWARE\\ZANRO INC\\DISPLAY\\DRIVER";
const char kProbe[] = "SOFTWARE\\ZANRO INC\\PROBE";

class RegistryLayout : public ::testing::Test {
protected:
    void SetUp() override { RegRemoveTree(HKEY_LOCAL_MACHINE, kCompany); }
    void TearDown() override { RegRemoveTree(HKEY_LOCAL_MACHINE, kCompany); }

    static void Record(const std::string &number, const std::string &instDir)
    {
        ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, std::string(kDriver) + "\\" + number, "InstDir", instDir));
    }
    static void Counter(const std::string &text)
    {
        ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kDriver, "Counter", text));
    }
    // Raw bytes under a value, with no terminator added.
    static void RawString(const char *name, const std::string &bytes, DWORD type = REG_SZ)
    {
        ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, kProbe));
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProbe, 0, KEY_ALL_ACCESS, &key));
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                                                static_cast<DWORD>(bytes.size())));
        RegCloseKey(key);
    }
};

// A buffer with guard bytes after the part handed to the reader.
struct GuardedBuffer {
    char bytes[300];
    DWORD size;
    explicit GuardedBuffer(DWORD n, char fill = 'X') : size(n) { std::memset(bytes, fill, sizeof bytes); }
    bool GuardIntact() const
    {
        for (size_t i = size; i < sizeof bytes; ++i)
            if (bytes[i] != 'X' && bytes[i] != 'Y')
                return false;
        return true;
    }
};

} // namespace

TEST_F(RegistryLayout, ReadsTextAndAlwaysTerminatesIt)
{
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kProbe, "Plain", "C:\\ZANRO\\ｻﾞﾝﾛ"));
    GuardedBuffer b(64);
    ASSERT_EQ(1, ReadRegistryValue(HKEY_LOCAL_MACHINE, kProbe, "Plain", b.bytes, b.size));
    EXPECT_STREQ("C:\\ZANRO\\ｻﾞﾝﾛ", b.bytes);

    // Stored without a terminator, shorter than the buffer: the text is all the bytes.
    RawString("Unterminated", "ABCDEFGHIJ");
    GuardedBuffer u(16, 'Y');
    ASSERT_EQ(1, ReadRegistryValue(HKEY_LOCAL_MACHINE, kProbe, "Unterminated", u.bytes, u.size));
    EXPECT_STREQ("ABCDEFGHIJ", u.bytes);
    EXPECT_TRUE(u.GuardIntact());

    // The type is not looked at.
    RawString("Binary", std::string("ab\0cd", 5), REG_BINARY);
    GuardedBuffer bin(16);
    ASSERT_EQ(1, ReadRegistryValue(HKEY_LOCAL_MACHINE, kProbe, "Binary", bin.bytes, bin.size));
    EXPECT_STREQ("ab", bin.bytes);
}

TEST_F(RegistryLayout, TextThatDoesNotFitWithItsTerminatorIsNotRead)
{
    // 255 characters and the terminator fill 256 bytes exactly: that fits.
    std::string fits(255, 'f');
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kProbe, "Fits", fits));
    GuardedBuffer a(256);
    ASSERT_EQ(1, ReadRegistryValue(HKEY_LOCAL_MACHINE, kProbe, "Fits", a.bytes, a.size));
    EXPECT_EQ(fits, std::string(a.bytes));
    EXPECT_TRUE(a.GuardIntact());

    // One more character does not.
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kProbe, "TooLong", std::string(256, 'g')));
    GuardedBuffer b(256);
    EXPECT_EQ(0, ReadRegistryValue(HKEY_LOCAL_MACHINE, kProbe, "TooLong", b.bytes, b.size));
    EXPECT_EQ('\0', b.bytes[0]);
    EXPECT_TRUE(b.GuardIntact());

    // Exactly as many bytes as the buffer holds and no terminator, as text and as binary
    // data: reading it as a string would run past the buffer.
    RawString("FullText", std::string(16, 'h'));
    RawString("FullBinary", std::string(16, 'i'), REG_BINARY);
    for (const char *name : {"FullText", "FullBinary"}) {
        GuardedBuffer c(16);
        EXPECT_EQ(0, ReadRegistryValue(HKEY_LOCAL_MACHINE, kProbe, name, c.bytes, c.size)) << name;
        EXPECT_EQ('\0', c.bytes[0]) << name;
        EXPECT_TRUE(c.GuardIntact()) << name;
    }
}

TEST_F(RegistryLayout, MissingKeyLeavesBufferMissingValueEmptiesIt)
{
    char buffer[32] = "untouched";
    EXPECT_EQ(0, ReadRegistryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZANRO INC\\NOKEY", "X", buffer, sizeof buffer));
    EXPECT_STREQ("untouched", buffer);
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, kProbe));
    EXPECT_EQ(0, ReadRegistryValue(HKEY_LOCAL_MACHINE, kProbe, "NoValue", buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
}

TEST(RecordNumber, AtLeastTwoDigits)
{
    const struct {
        int number;
        const char *text;
    } cases[] = {{0, "00"}, {3, "03"}, {9, "09"}, {10, "10"}, {12, "12"}, {99, "99"}, {100, "100"}, {-1, "-1"}};
    for (const auto &c : cases) {
        char text[RECORD_NUMBER_SIZE];
        std::memset(text, 'X', sizeof text);
        FormatRecordNumber(c.number, text);
        EXPECT_STREQ(c.text, text) << c.number;
    }
    EXPECT_EQ(7, RecordNumberValue("07"));
    EXPECT_EQ(12, RecordNumberValue("12x"));
    EXPECT_EQ(0, RecordNumberValue("x12"));
}

// The conversion the C library's atoi made before, for whatever text a value holds.
TEST(RecordNumber, ValueOfLeadingDigitsAsAtoiGaveIt)
{
    const char *const texts[] = {"", "0", "00", "007", "0012", "9999", "12x", "3 4", "x12", " 5", "\t\r\n 6",
                                 "-1", "+4", "-", "+", "--1", "2147483647", "-2147483648", "  -0012abc"};
    for (const char *text : texts)
        EXPECT_EQ(std::atoi(text), RecordNumberValue(text)) << '"' << text << '"';
    EXPECT_EQ(0, DecimalValue(""));
    EXPECT_EQ(2147483647, DecimalValue("99999999999"));
    EXPECT_EQ(-2147483647 - 1, DecimalValue("-99999999999"));
}

TEST(BoundedFormat, WritesOnlyWhatFitsWhole)
{
    char buffer[8];
    EXPECT_TRUE(FormatBounded(buffer, sizeof buffer, "%s-%d", "abc", 12));
    EXPECT_STREQ("abc-12", buffer);
    EXPECT_TRUE(FormatBounded(buffer, sizeof buffer, "%s", "1234567"));  // with its zero, exactly
    EXPECT_STREQ("1234567", buffer);
    EXPECT_FALSE(FormatBounded(buffer, sizeof buffer, "%s", "12345678"));
    EXPECT_STREQ("", buffer);
    EXPECT_TRUE(FormatWhole(buffer, sizeof buffer, "0%s", "7"));
    EXPECT_STREQ("07", buffer);
    EXPECT_FALSE(FormatWhole(buffer, sizeof buffer, "%s\\INF", "C:\\WIN"));
    EXPECT_STREQ("", buffer);
    // The system formats into at most 1024 bytes with the terminating zero, and says so of a
    // text it may have cut (Wine of one that filled them exactly): such a text is refused.
    static char large[2048];
    const std::string sure(1022, 'x');
    EXPECT_TRUE(FormatBounded(large, sizeof large, "%s", sure.c_str()));
    EXPECT_EQ(sure, large);
    EXPECT_FALSE(FormatBounded(large, sizeof large, "%s", (sure + "yy").c_str()));
    EXPECT_STREQ("", large);
    const std::string most(1023, 'x');
    EXPECT_FALSE(FormatBounded(large, sizeof large, "%s%s", most.c_str(), most.c_str()));
}

TEST_F(RegistryLayout, SearchStartsAtCounterAndGoesDown)
{
    // The same folder in several records: the first one met wins, which shows the order.
    Counter("3");
    Record("04", "C:\\INST");  // above the counter: never a candidate
    Record("02", "C:\\INST");
    Record("00", "C:\\INST");
    DriverRecord r;
    ASSERT_EQ(1, SelectDriverRecord("C:\\INST", &r));
    EXPECT_EQ(2, r.number);
    EXPECT_STREQ("02", r.numberText);
    EXPECT_STREQ("Software\\ZANRO INC\\DISPLAY\\DRIVER\\02", r.key);
    EXPECT_STREQ("C:\\INST", r.instDir);

    Record("03", "C:\\INST");
    ASSERT_EQ(1, SelectDriverRecord("C:\\INST", &r));
    EXPECT_EQ(3, r.number);

    // "12" is two characters: it is used as it is.
    Counter("12");
    Record("12", "C:\\OTHER");
    Record("11", "C:\\INST");
    ASSERT_EQ(1, SelectDriverRecord("C:\\INST", &r));
    EXPECT_EQ(11, r.number);
    EXPECT_STREQ("11", r.numberText);
    ASSERT_EQ(1, SelectDriverRecord("C:\\OTHER", &r));
    EXPECT_EQ(12, r.number);
}

TEST_F(RegistryLayout, OlderRecordIsFoundAcrossHolesAndMissingFolders)
{
    Counter("5");
    Record("05", "C:\\NEWER");
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, std::string(kDriver) + "\\04"));  // no InstDir
    Record("01", "C:\\Older\\Inst");
    Record("1", "C:\\UNPADDED");  // never a candidate: record keys have two digits
    DriverRecord r;
    ASSERT_EQ(1, SelectDriverRecord("c:\\OLDER\\inst", &r));  // ASCII case does not matter
    EXPECT_EQ(1, r.number);
    EXPECT_STREQ("01", r.numberText);
    EXPECT_STREQ("C:\\Older\\Inst", r.instDir);
    EXPECT_EQ(0, SelectDriverRecord("C:\\UNPADDED", &r));
    // A trailing backslash makes another name.
    EXPECT_EQ(0, SelectDriverRecord("C:\\Older\\Inst\\", &r));
    // Two records "00" and "01", the boot folder in "00": "01" is read first, then "00" chosen.
    Counter("1");
    Record("00", "C:\\FIRST");
    ASSERT_EQ(1, SelectDriverRecord("C:\\FIRST", &r));
    EXPECT_EQ(0, r.number);
    EXPECT_STREQ("00", r.numberText);
}

// Started from an MS-DOS prompt, the boot folder is the short (8.3) form of the folder the
// record names, or the other way round. Both must exist for their short forms to count; a
// trailing backslash on one side still makes another name, read by character: "ソ" ends
// in the byte of a backslash.
TEST_F(RegistryLayout, ShortFormOfTheInstallFolderIsTheSameFolder)
{
    const std::string root = "C:\\zan short form test";
    const std::string folder = root + "\\Program Files\\ZANRO INC\\DISPLAY", other = root + "\\Program Files\\OTHER";
    const std::string katakana = root + "\\ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ ソ", gone = root + "\\Program Files\\REMOVED FOLDER";
    RemovePath(root);
    ASSERT_TRUE(MakeDirs(folder) && MakeDirs(other) && MakeDirs(katakana) && MakeDirs(gone));
    const std::string shortFolder = ShortPath(folder), shortKatakana = ShortPath(katakana);
    const std::string shortGone = ShortPath(gone);
    ASSERT_NE(std::string::npos, shortFolder.find('~')) << shortFolder;
    ASSERT_NE(std::string::npos, shortKatakana.find('~')) << shortKatakana;
    ASSERT_TRUE(RemoveDirectoryA(gone.c_str()));
    std::string lowerShort = shortFolder;
    for (char &c : lowerShort)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    const struct {
        std::string instDir, bootDir;
        int selected;
    } rows[] = {
        {folder, shortFolder, 1},
        {shortFolder, folder, 1},
        {folder, lowerShort, 1},
        {folder + "\\", shortFolder + "\\", 1},
        {folder, shortFolder + "\\", 0},
        {folder + "\\", shortFolder, 0},
        {katakana, shortKatakana, 1},
        {katakana + "\\", shortKatakana, 0},
        {other, shortFolder, 0},
        {gone, shortGone, 0},  // the folder is no more: its short form is not had
    };
    Counter("0");
    for (const auto &row : rows) {
        Record("00", row.instDir);
        DriverRecord r;
        EXPECT_EQ(row.selected, SelectDriverRecord(row.bootDir.c_str(), &r))
            << "InstDir " << row.instDir << ", BootDir " << row.bootDir;
    }
    RemovePath(root);
}

TEST_F(RegistryLayout, NoMatchingRecordEndsTheSearch)
{
    DriverRecord r;
    r.number = 77;
    // No "Counter" at all.
    Record("00", "C:\\INST");
    EXPECT_EQ(0, SelectDriverRecord("C:\\INST", &r));
    EXPECT_EQ(0, r.number);
    EXPECT_STREQ("", r.key);

    // A counter, but no record names the folder: the search stops below "00".
    Counter("9999");
    EXPECT_EQ(0, SelectDriverRecord("C:\\ELSEWHERE", &r));
    EXPECT_EQ(1, SelectDriverRecord("C:\\INST", &r));  // and the whole range is searched
    EXPECT_EQ(0, r.number);
    Counter("0");
    EXPECT_EQ(1, SelectDriverRecord("C:\\INST", &r));
    EXPECT_EQ(0, SelectDriverRecord("", &r));
}

TEST_F(RegistryLayout, CounterMustBeAPlainDecimalNumber)
{
    Record("03", "C:\\INST");
    Record("00", "C:\\INST");
    DriverRecord r;
    for (const char *counter : {"", "-1", "-3", "abc", "3a", " 3", "3 ", "+3", "10000", "99999999999"}) {
        Counter(counter);
        EXPECT_EQ(0, SelectDriverRecord("C:\\INST", &r)) << "Counter \"" << counter << "\"";
    }
    // Leading zeros are digits: "03" starts at record "03".
    Counter("03");
    ASSERT_EQ(1, SelectDriverRecord("C:\\INST", &r));
    EXPECT_EQ(3, r.number);
    // A counter that does not fit its buffer is not read at all.
    Counter(std::string(300, '3'));
    EXPECT_EQ(0, SelectDriverRecord("C:\\INST", &r));
}

TEST_F(RegistryLayout, SubkeysAreCountedUpToOneHundred)
{
    EXPECT_EQ(0, CountSubkeys("SOFTWARE\\ZANRO INC\\DISPLAY\\UTILITY"));
    ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZANRO INC\\DISPLAY\\UTILITY"));
    EXPECT_EQ(0, CountSubkeys("SOFTWARE\\ZANRO INC\\DISPLAY\\UTILITY"));
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kDriver, "Counter", "2"));  // values do not count
    for (int i = 0; i < 3; ++i)
        Record("0" + std::to_string(i), "C:\\X");
    EXPECT_EQ(3, CountSubkeys(kDriver));
    for (int i = 3; i < 130; ++i)
        ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, std::string(kDriver) + "\\" + std::to_string(i)));
    EXPECT_EQ(100, CountSubkeys(kDriver));
}

TEST(NameComparison, FoldsOnlyAsciiLetters)
{
    EXPECT_TRUE(NamesEqual("C:\\Program Files\\ZANRO", "c:\\PROGRAM FILES\\zanro"));
    EXPECT_TRUE(NamesEqual("", ""));
    EXPECT_FALSE(NamesEqual("C:\\ZANRO", "C:\\ZANRO\\"));
    EXPECT_FALSE(NamesEqual("C:\\ZANRO\\", "C:\\ZANRO"));
    EXPECT_FALSE(NamesEqual("[", "{"));   // not letters: 0x5B and 0x7B stay apart
    EXPECT_FALSE(NamesEqual("@", "`"));
    EXPECT_FALSE(NamesEqual("ｱ", "ｲ"));   // bytes above 0x7F compare as they are
    EXPECT_TRUE(NamesEqual("ｻﾞﾝﾛ", "ｻﾞﾝﾛ"));
    // Double-byte characters get no special treatment: the full-width Ａ (82 60) and ａ
    // (82 81) differ, while a trail byte in the range A-Z is folded like any other byte.
    EXPECT_FALSE(NamesEqual("Ａ", "ａ"));
    EXPECT_TRUE(NamesEqual("\x83\x41", "\x83\x61"));

    EXPECT_TRUE(NameHasPrefix("PCI\\VEN_5333&DEV_8A22&SUBSYS_00000000\\000800", "pci\\ven_5333&dev_8a22"));
    EXPECT_TRUE(NameHasPrefix("PCI\\VEN_5333&DEV_8A22", "PCI\\VEN_5333&DEV_8A22"));
    EXPECT_FALSE(NameHasPrefix("PCI\\VEN_5333&DEV_8A2", "PCI\\VEN_5333&DEV_8A22"));
    EXPECT_FALSE(NameHasPrefix("PCI\\VEN_5333&DEV_8811", "PCI\\VEN_5333&DEV_8A22"));
    EXPECT_TRUE(NameHasPrefix("anything", ""));
}
