// Writing the standard display adapter back, in the prefix's real registry and SYSTEM.INI.
#include "standard_display.h"

#include "logconf_record.h"

#include "file_fixture.h"
#include "import_patch.h"
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

const HKEY kLm = HKEY_LOCAL_MACHINE;
const char kClassDisplay[] = "System\\CurrentControlSet\\Services\\Class\\DISPLAY";
const char kAdapter[] = "ｽﾀﾝﾀﾞｰﾄﾞ ﾃﾞｨｽﾌﾟﾚｲ ｱﾀﾞﾌﾟﾀ (9821 ｼﾘｰｽﾞ)";
// The same text as the bytes the system stores (code page 932, half-width katakana).
const char kAdapterBytes[] =
    "\xBD\xC0\xDD\xC0\xDE\xB0\xC4\xDE \xC3\xDE\xA8\xBD\xCC\xDF\xDA\xB2 \xB1\xC0\xDE\xCC\xDF\xC0 (9821 "
    "\xBC\xD8\xB0\xBD\xDE)";

// A whole subtree kept in memory, so that a test can put the machine back as it found it.
struct KeyCopy {
    std::string name;
    std::vector<std::pair<std::string, std::pair<DWORD, std::vector<unsigned char>>>> values;
    std::vector<KeyCopy> children;
};

bool CopyKey(HKEY parent, const std::string &name, KeyCopy *copy)
{
    HKEY key;
    if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    copy->name = name;
    for (DWORD i = 0;; ++i) {
        char valueName[16384];
        DWORD nameSize = sizeof valueName, type = 0, dataSize = 0;
        if (RegEnumValueA(key, i, valueName, &nameSize, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS)
            break;
        std::vector<unsigned char> data(dataSize + 1);
        nameSize = sizeof valueName;
        RegEnumValueA(key, i, valueName, &nameSize, nullptr, &type, data.data(), &dataSize);
        data.resize(dataSize);
        copy->values.push_back({valueName, {type, data}});
    }
    char child[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, child, sizeof child) == ERROR_SUCCESS; ++i) {
        copy->children.emplace_back();
        CopyKey(key, child, &copy->children.back());
    }
    RegCloseKey(key);
    return true;
}

void PutBack(HKEY parent, const KeyCopy &copy)
{
    HKEY key;
    if (RegCreateKeyA(parent, copy.name.c_str(), &key) != ERROR_SUCCESS)
        return;
    for (const auto &v : copy.values)
        RegSetValueExA(key, v.first.c_str(), 0, v.second.first, v.second.second.data(),
                       static_cast<DWORD>(v.second.second.size()));
    for (const KeyCopy &child : copy.children)
        PutBack(key, child);
    RegCloseKey(key);
}

std::string Flush(const std::string &path)
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    return path;
}

class StandardDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char *root : {"Enum", "Config", kClassDisplay}) {
            Saved s;
            s.path = root;
            s.existed = CopyKey(kLm, root, &s.copy);
            saved_.push_back(s);
            RegRemoveTree(kLm, root);
        }
        iniPath_ = WindowsDir() + "\\system.ini";
        iniExisted_ = ReadFileBytes(Flush(iniPath_), &iniBytes_);
    }
    void TearDown() override
    {
        for (const Saved &s : saved_) {
            RegRemoveTree(kLm, s.path);
            if (s.existed) {
                std::string parent = s.path.substr(0, s.path.find_last_of('\\'));
                HKEY key;
                if (s.path.find('\\') == std::string::npos) {
                    PutBack(kLm, s.copy);
                } else if (RegCreateKeyA(kLm, parent.c_str(), &key) == ERROR_SUCCESS) {
                    PutBack(key, s.copy);
                    RegCloseKey(key);
                }
            }
        }
        Flush(iniPath_);
        if (iniExisted_)
            WriteFileBytes(iniPath_, iniBytes_);
        else
            RemovePath(iniPath_);
    }

    static void BiosDevice(const std::string &type, const std::string &instance, const char *deviceClass)
    {
        ASSERT_TRUE(RegWriteString(kLm, "Enum\\BIOS\\" + type + "\\" + instance, "Class", deviceClass));
    }

    static void ExpectValue(const std::string &path, const char *name, DWORD type, const std::string &bytes)
    {
        std::vector<unsigned char> data;
        DWORD actualType = 0;
        ASSERT_TRUE(RegReadValue(kLm, path, name, &data, &actualType)) << path << " " << name;
        EXPECT_EQ(type, actualType) << path << " " << name;
        EXPECT_EQ(bytes, std::string(data.begin(), data.end())) << path << " " << name;
    }
    static void ExpectText(const std::string &path, const char *name, const char *text)
    {
        ExpectValue(path, name, REG_SZ, std::string(text, strlen(text) + 1));
    }
    static void ExpectNoFlags(const std::string &path, const char *name)
    {
        ExpectValue(path, name, REG_BINARY, std::string(4, '\0'));
    }

    // Every value of a root-enumerated adapter with driver instance n and device instance m.
    static void ExpectRootAdapter(const std::string &n, const std::string &m)
    {
        const std::string cls = std::string(kClassDisplay) + "\\" + n;
        EXPECT_EQ((std::vector<std::string>{"DevLoader", "DriverDesc", "InfPath", "InfSection", "Ver"}),
                  RegValueNames(kLm, cls));
        ExpectText(cls, "DevLoader", "*vdd");
        ExpectText(cls, "DriverDesc", kAdapterBytes);
        ExpectValue(cls, "DriverDesc", REG_SZ, std::string(kAdapterBytes, 38));
        ExpectText(cls, "InfPath", "MSDISP.INF");
        ExpectText(cls, "InfSection", "NEC_PEGC");
        ExpectText(cls, "Ver", "4.0");
        EXPECT_EQ((std::vector<std::string>{"AccVal", "drv", "grb", "Mode", "vdd"}),
                  RegValueNames(kLm, cls + "\\DEFAULT"));
        ExpectText(cls + "\\DEFAULT", "AccVal", "1");
        ExpectText(cls + "\\DEFAULT", "drv", "pegcv8.drv");
        ExpectText(cls + "\\DEFAULT", "grb", "grab98.3gr");
        ExpectText(cls + "\\DEFAULT", "Mode", "8,640,480");
        ExpectText(cls + "\\DEFAULT", "vdd", "*vdd");
        EXPECT_TRUE(RegKeyExists(kLm, cls + "\\MODES\\8\\640,480"));
        EXPECT_TRUE(RegValueNames(kLm, cls + "\\MODES").empty());
        EXPECT_TRUE(RegValueNames(kLm, cls + "\\MODES\\8").empty());
        EXPECT_TRUE(RegValueNames(kLm, cls + "\\MODES\\8\\640,480").empty());

        const std::string dev = "Enum\\Root\\Display\\" + m;
        EXPECT_EQ((std::vector<std::string>{"Class", "ConfigFlags", "DeviceDesc", "Driver", "ForcedConfig",
                                            "HardwareID", "Mfg"}),
                  RegValueNames(kLm, dev));
        ExpectText(dev, "Class", "Display");
        ExpectNoFlags(dev, "ConfigFlags");
        ExpectText(dev, "DeviceDesc", kAdapterBytes);
        // Wine keeps only the text of the 256-byte field (the writes themselves are checked
        // at the registry's door below).
        std::vector<unsigned char> driver;
        DWORD driverType = 0;
        ASSERT_TRUE(RegReadValue(kLm, dev, "Driver", &driver, &driverType));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), driverType);
        EXPECT_EQ("Display\\" + n, RegReadString(kLm, dev, "Driver"));
        unsigned char forced[LOGCONF_RECORD_SIZE], logical[LOGCONF_RECORD_SIZE];
        BuildLogConfRecord(LOGCONF_FORCED, forced);
        BuildLogConfRecord(LOGCONF_LOGICAL, logical);
        ExpectValue(dev, "ForcedConfig", REG_BINARY, std::string(reinterpret_cast<char *>(forced), sizeof forced));
        ExpectText(dev, "HardwareID", "*nEC1902");
        ExpectText(dev, "Mfg", "NEC");
        EXPECT_EQ(std::vector<std::string>{"0"}, RegValueNames(kLm, dev + "\\LogConfig"));
        ExpectValue(dev + "\\LogConfig", "0", REG_BINARY,
                    std::string(reinterpret_cast<char *>(logical), sizeof logical));

        const std::string config = "Config\\0001\\Enum\\Root\\Display\\" + m;
        EXPECT_EQ(std::vector<std::string>{"CSConfigFlags"}, RegValueNames(kLm, config));
        ExpectNoFlags(config, "CSConfigFlags");
    }

    void ExpectSystemIni()
    {
        char text[256] = "";
        GetPrivateProfileStringA("boot.description", "display.drv", "", text, sizeof text, "SYSTEM.INI");
        EXPECT_STREQ(kAdapterBytes, text);
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(Flush(iniPath_), &bytes));
        size_t section = bytes.find("[boot.description]");
        ASSERT_NE(std::string::npos, section);
        size_t line = bytes.find(std::string("display.drv=") + kAdapterBytes + "\r\n", section);
        EXPECT_NE(std::string::npos, line);
        size_t next = bytes.find("\n[", section);
        EXPECT_TRUE(next == std::string::npos || line < next) << "not inside [boot.description]";
    }

private:
    struct Saved {
        std::string path;
        bool existed;
        KeyCopy copy;
    };
    std::vector<Saved> saved_;
    std::string iniPath_, iniBytes_;
    bool iniExisted_ = false;
};

TEST_F(StandardDisplay, AdapterTextIsTheCodePage932Bytes)
{
    EXPECT_STREQ(kAdapterBytes, kAdapter);
    EXPECT_EQ(37u, strlen(kAdapterBytes));
}

TEST_F(StandardDisplay, BiosDisplayIsEnabledAndNoAdapterIsCreated)
{
    BiosDevice("*PNP0900", "0000", "Display");
    BiosDevice("*PNP0B00", "0000", "System");
    RestoreStandardDisplay();
    const std::string config = "Config\\0001\\Enum\\BIOS\\*PNP0900\\0000";
    EXPECT_EQ(std::vector<std::string>{"CSConfigFlags"}, RegValueNames(kLm, config));
    ExpectNoFlags(config, "CSConfigFlags");
    EXPECT_FALSE(RegKeyExists(kLm, "Config\\0001\\Enum\\BIOS\\*PNP0B00"));
    EXPECT_FALSE(RegKeyExists(kLm, kClassDisplay));
    EXPECT_FALSE(RegKeyExists(kLm, "Enum\\Root\\Display"));
    EXPECT_FALSE(RegKeyExists(kLm, "Config\\0001\\Enum\\Root"));
    ExpectSystemIni();
}

TEST_F(StandardDisplay, EveryBiosDisplayInAnyLetterCaseIsEnabled)
{
    BiosDevice("*PNP0900", "0000", "DISPLAY");
    BiosDevice("*PNP0900", "0001", "Monitor");
    BiosDevice("*PNP0900", "0002", "display");
    BiosDevice("*nEC8241", "0000", "Display");
    BiosDevice("*nEC8241", "0001", "DISPLAYS");
    BiosDevice("*nEC8241", "0002", "Monitor");
    RestoreStandardDisplay();
    EXPECT_EQ((std::vector<std::string>{"0000", "0002"}), RegSubkeys(kLm, "Config\\0001\\Enum\\BIOS\\*PNP0900"));
    EXPECT_EQ(std::vector<std::string>{"0000"}, RegSubkeys(kLm, "Config\\0001\\Enum\\BIOS\\*nEC8241"));
    ExpectNoFlags("Config\\0001\\Enum\\BIOS\\*PNP0900\\0002", "CSConfigFlags");
    ExpectNoFlags("Config\\0001\\Enum\\BIOS\\*nEC8241\\0000", "CSConfigFlags");
    EXPECT_FALSE(RegKeyExists(kLm, kClassDisplay));
}

TEST_F(StandardDisplay, ClassValueWithoutNulIsComparedOnlyOverItsLength)
{
    // "Display" stored without its NUL still names the display class; "Displayx" does not.
    std::vector<unsigned char> bare = {'D', 'i', 's', 'p', 'l', 'a', 'y'};
    ASSERT_TRUE(RegCreatePath(kLm, "Enum\\BIOS\\*PNP0900\\0000"));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(kLm, "Enum\\BIOS\\*PNP0900\\0000", &key));
    RegSetValueExA(key, "Class", 0, REG_BINARY, bare.data(), static_cast<DWORD>(bare.size()));
    RegCloseKey(key);
    RestoreStandardDisplay();
    EXPECT_TRUE(RegKeyExists(kLm, "Config\\0001\\Enum\\BIOS\\*PNP0900\\0000"));
    EXPECT_FALSE(RegKeyExists(kLm, kClassDisplay));
}

TEST_F(StandardDisplay, WithoutBiosDisplayAFullAdapterIsCreated)
{
    BiosDevice("*PNP0900", "0000", "Monitor");
    RestoreStandardDisplay();
    EXPECT_EQ(std::vector<std::string>{"0000"}, RegSubkeys(kLm, kClassDisplay));
    EXPECT_EQ(std::vector<std::string>{"0000"}, RegSubkeys(kLm, "Enum\\Root\\Display"));
    ExpectRootAdapter("0000", "0000");
    EXPECT_FALSE(RegKeyExists(kLm, "Config\\0001\\Enum\\BIOS"));
    ExpectSystemIni();
}

// Every value as handed to the registry: name, type, data and length, in the order written.
struct ValueWrite {
    std::string name;
    DWORD type;
    std::string data;
    bool operator==(const ValueWrite &o) const { return name == o.name && type == o.type && data == o.data; }
};
std::ostream &operator<<(std::ostream &out, const ValueWrite &w)
{
    return out << w.name << " type " << w.type << " length " << w.data.size();
}
std::vector<ValueWrite> writes;
void *realSetValue;

LONG WINAPI RecordSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    writes.push_back({name ? name : "", type, std::string(reinterpret_cast<const char *>(data), size)});
    return reinterpret_cast<decltype(&RegSetValueExA)>(realSetValue)(key, name, reserved, type, data, size);
}

ValueWrite Text(const char *name, const char *text) { return {name, REG_SZ, std::string(text, strlen(text) + 1)}; }

TEST_F(StandardDisplay, EveryValueIsWrittenWithItsTypeAndLength)
{
    for (const char *n : {"0000", "0001", "0003"})
        ASSERT_TRUE(RegCreatePath(kLm, std::string(kClassDisplay) + "\\" + n));
    ASSERT_TRUE(RegWriteString(kLm, "Config\\0001\\Display\\Settings", "Other", "x"));
    writes.clear();
    {
        ImportPatch patch("advapi32.dll", "RegSetValueExA", reinterpret_cast<void *>(RecordSetValue));
        ASSERT_TRUE(patch.installed());
        realSetValue = patch.original();
        RestoreStandardDisplay();
    }
    unsigned char forced[LOGCONF_RECORD_SIZE], logical[LOGCONF_RECORD_SIZE];
    BuildLogConfRecord(LOGCONF_FORCED, forced);
    BuildLogConfRecord(LOGCONF_LOGICAL, logical);
    std::string driver = "Display\\0002";
    driver.resize(256, '\0');
    const std::string noFlags(4, '\0');
    std::vector<ValueWrite> expected = {
        Text("DevLoader", "*vdd"), Text("DriverDesc", kAdapterBytes), Text("InfPath", "MSDISP.INF"),
        Text("InfSection", "NEC_PEGC"), Text("Ver", "4.0"),
        Text("AccVal", "1"), Text("drv", "pegcv8.drv"), Text("grb", "grab98.3gr"), Text("Mode", "8,640,480"),
        Text("vdd", "*vdd"),
        Text("Class", "Display"), {"ConfigFlags", REG_BINARY, noFlags}, Text("DeviceDesc", kAdapterBytes),
        {"Driver", REG_SZ, driver},
        {"ForcedConfig", REG_BINARY, std::string(reinterpret_cast<char *>(forced), sizeof forced)},
        Text("HardwareID", "*nEC1902"), Text("Mfg", "NEC"),
        {"0", REG_BINARY, std::string(reinterpret_cast<char *>(logical), sizeof logical)},
        {"CSConfigFlags", REG_BINARY, noFlags},
        Text("BitsPerPixel", "8"), Text("Resolution", "640,480"),
    };
    EXPECT_EQ(expected, writes);
    EXPECT_EQ(38u, writes[1].data.size());
    EXPECT_EQ(256u, writes[13].data.size());
}

TEST_F(StandardDisplay, GapsInTheClassAreFilled)
{
    for (const char *n : {"0000", "0001", "0003"})
        ASSERT_TRUE(RegWriteString(kLm, std::string(kClassDisplay) + "\\" + n, "DriverDesc", n));
    RestoreStandardDisplay();
    ExpectRootAdapter("0002", "0000");
    // The others are untouched.
    EXPECT_EQ("0003", RegReadString(kLm, std::string(kClassDisplay) + "\\0003", "DriverDesc"));
}

TEST_F(StandardDisplay, NamesAreChosenIndependently)
{
    for (const char *n : {"0000", "0001", "0002"})
        ASSERT_TRUE(RegCreatePath(kLm, std::string(kClassDisplay) + "\\" + n));
    ASSERT_TRUE(RegCreatePath(kLm, "Enum\\Root\\Display"));
    RestoreStandardDisplay();
    ExpectRootAdapter("0003", "0000");
}

TEST_F(StandardDisplay, SecondRunAddsASecondAdapter)
{
    RestoreStandardDisplay();
    RestoreStandardDisplay();
    EXPECT_EQ((std::vector<std::string>{"0000", "0001"}), RegSubkeys(kLm, kClassDisplay));
    EXPECT_EQ((std::vector<std::string>{"0000", "0001"}), RegSubkeys(kLm, "Enum\\Root\\Display"));
    ExpectRootAdapter("0000", "0000");
    ExpectRootAdapter("0001", "0001");
}

TEST_F(StandardDisplay, SettingsAbsentStayAbsent)
{
    ASSERT_TRUE(RegCreatePath(kLm, "Config\\0001\\Display"));
    RestoreStandardDisplay();
    EXPECT_FALSE(RegKeyExists(kLm, "Config\\0001\\Display\\Settings"));
}

TEST_F(StandardDisplay, SettingsPresentKeepTheirOtherValues)
{
    const std::string settings = "Config\\0001\\Display\\Settings";
    ASSERT_TRUE(RegWriteString(kLm, settings, "BitsPerPixel", "16"));
    ASSERT_TRUE(RegWriteString(kLm, settings, "Resolution", "1024,768"));
    ASSERT_TRUE(RegWriteString(kLm, settings, "DPILogicalX", "96"));
    BiosDevice("*PNP0900", "0000", "Display");
    RestoreStandardDisplay();
    ExpectText(settings, "BitsPerPixel", "8");
    ExpectText(settings, "Resolution", "640,480");
    ExpectText(settings, "DPILogicalX", "96");
    EXPECT_EQ(3u, RegValueNames(kLm, settings).size());
}

TEST_F(StandardDisplay, FreeNameSearchSkipsTakenNamesInAnyCase)
{
    const std::string parent = "Config\\ZanNameSearch";
    for (const char *n : {"0000", "0001", "0003", "abc", "x0002"})
        ASSERT_TRUE(RegCreatePath(kLm, parent + "\\" + n));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(kLm, parent.c_str(), &key));
    char name[5] = "????";
    EXPECT_EQ(1, FindFreeInstanceName(key, name));
    EXPECT_STREQ("0002", name);
    RegCloseKey(key);

    // Two-digit names.
    for (int i = 2; i < 57; ++i) {
        char n[8];
        std::snprintf(n, sizeof n, "%04d", i);
        ASSERT_TRUE(RegCreatePath(kLm, parent + "\\" + n));
    }
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(kLm, parent.c_str(), &key));
    EXPECT_EQ(1, FindFreeInstanceName(key, name));
    EXPECT_STREQ("0057", name);
    RegCloseKey(key);
}

// All hundred names taken: nothing has a free name, so no adapter is written and no existing
// instance is overwritten; the settings and SYSTEM.INI are still written.
TEST_F(StandardDisplay, NoFreeNameWritesNoAdapter)
{
    for (int i = 0; i < 100; ++i) {
        char n[8];
        std::snprintf(n, sizeof n, "%04d", i);
        ASSERT_TRUE(RegWriteString(kLm, std::string(kClassDisplay) + "\\" + n, "DriverDesc", n));
    }
    // A name that sorts before the instances pushes 0099 past the first hundred subkeys.
    ASSERT_TRUE(RegWriteString(kLm, std::string(kClassDisplay) + "\\!first", "DriverDesc", "first"));
    ASSERT_TRUE(RegWriteString(kLm, "Config\\0001\\Display\\Settings", "BitsPerPixel", "16"));
    std::vector<std::string> before = RegSnapshot(kLm, kClassDisplay);

    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(kLm, kClassDisplay, &key));
    char name[5] = "????";
    EXPECT_EQ(0, FindFreeInstanceName(key, name));
    RegCloseKey(key);

    RestoreStandardDisplay();
    EXPECT_EQ(before, RegSnapshot(kLm, kClassDisplay));
    EXPECT_FALSE(RegKeyExists(kLm, "Enum\\Root\\Display\\0000"));
    EXPECT_FALSE(RegKeyExists(kLm, "Config\\0001\\Enum\\Root"));
    ExpectText("Config\\0001\\Display\\Settings", "BitsPerPixel", "8");
    ExpectSystemIni();
}

TEST_F(StandardDisplay, NoFreeDeviceNameWritesNoAdapter)
{
    for (int i = 0; i < 100; ++i) {
        char n[8];
        std::snprintf(n, sizeof n, "%04d", i);
        ASSERT_TRUE(RegWriteString(kLm, std::string("Enum\\Root\\Display\\") + n, "Class", "Display"));
    }
    std::vector<std::string> before = RegSnapshot(kLm, "Enum\\Root\\Display");
    RestoreStandardDisplay();
    EXPECT_EQ(before, RegSnapshot(kLm, "Enum\\Root\\Display"));
    EXPECT_TRUE(RegSubkeys(kLm, kClassDisplay).empty());
    ExpectSystemIni();
}

} // namespace
