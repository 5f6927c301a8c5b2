// The presence check against the configuration manager's list of present devices.
#include "hardware_presence.h"
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kEnum[] = "Config Manager\\Enum";

struct SavedValue {
    std::string key, name;
    DWORD type;
    std::vector<unsigned char> data;
};

// The list belongs to the machine: what was there before the test is put aside and back.
class Presence : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const std::string &entry : RegSubkeys(HKEY_DYN_DATA, kEnum)) {
            std::string key = std::string(kEnum) + "\\" + entry;
            RegCreatePath(HKEY_DYN_DATA, key);
            for (const std::string &name : RegValueNames(HKEY_DYN_DATA, key)) {
                SavedValue v{key, name, 0, {}};
                RegReadValue(HKEY_DYN_DATA, key, name.c_str(), &v.data, &v.type);
                saved_.push_back(v);
            }
            savedKeys_.push_back(key);
        }
        RegRemoveTree(HKEY_DYN_DATA, kEnum);
        ASSERT_TRUE(RegCreatePath(HKEY_DYN_DATA, kEnum));
    }
    void TearDown() override
    {
        RegRemoveTree(HKEY_DYN_DATA, kEnum);
        RegCreatePath(HKEY_DYN_DATA, kEnum);
        for (const std::string &key : savedKeys_)
            RegCreatePath(HKEY_DYN_DATA, key);
        for (const SavedValue &v : saved_) {
            HKEY key;
            if (RegOpenKeyExA(HKEY_DYN_DATA, v.key.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
                RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
                RegCloseKey(key);
            }
        }
    }

    static void Device(const std::string &entry, const std::string &hardwareKey)
    {
        ASSERT_TRUE(RegWriteString(HKEY_DYN_DATA, std::string(kEnum) + "\\" + entry, "HardWareKey", hardwareKey));
    }
    // The value's bytes exactly as given, without a terminator.
    static void RawDevice(const std::string &entry, const std::string &bytes, DWORD type)
    {
        std::string path = std::string(kEnum) + "\\" + entry;
        ASSERT_TRUE(RegCreatePath(HKEY_DYN_DATA, path));
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_DYN_DATA, path.c_str(), 0, KEY_ALL_ACCESS, &key));
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "HardWareKey", 0, type,
                                                reinterpret_cast<const BYTE *>(bytes.data()),
                                                static_cast<DWORD>(bytes.size())));
        RegCloseKey(key);
    }
    static std::string Entry(int i)
    {
        char name[16];
        std::snprintf(name, sizeof name, "C%04d", i);
        return name;
    }

    std::vector<std::string> savedKeys_;
    std::vector<SavedValue> saved_;
};

} // namespace

TEST_F(Presence, BoardFoundByPrefixIgnoringCase)
{
    EXPECT_EQ(0, IsDevicePresent(BOARD_HARDWARE_ID));  // empty list
    Device("C0000", "ROOT\\*PNP0C01\\0000");
    Device("C0001", "PCI\\VEN_5333&DEV_8811&SUBSYS_00000000&REV_00\\000800");
    EXPECT_EQ(0, IsDevicePresent(BOARD_HARDWARE_ID));
    Device("C0002", "pci\\ven_5333&dev_8a22&subsys_00000000&rev_01\\000900");
    EXPECT_EQ(1, IsDevicePresent(BOARD_HARDWARE_ID));
}

TEST_F(Presence, ShortOrMissingKeysDoNotMatchAndDoNotStopTheSearch)
{
    Device("C0000", "PCI\\VEN_5333&DEV_8A2");  // one character short
    ASSERT_TRUE(RegCreatePath(HKEY_DYN_DATA, std::string(kEnum) + "\\C0001"));  // no HardWareKey
    Device("C0002", "");
    EXPECT_EQ(0, IsDevicePresent(BOARD_HARDWARE_ID));
    Device("C0003", "PCI\\VEN_5333&DEV_8A22");  // the prefix and nothing more
    EXPECT_EQ(1, IsDevicePresent(BOARD_HARDWARE_ID));
}

TEST_F(Presence, KeysWithoutTerminatorAreReadWithinTheirBuffer)
{
    // Unterminated, with room in the 255-byte buffer: the bytes are the text.
    RawDevice("C0000", "PCI\\VEN_5333&DEV_8A22&SUBSYS", REG_SZ);
    EXPECT_EQ(1, IsDevicePresent(BOARD_HARDWARE_ID));
    RegRemoveTree(HKEY_DYN_DATA, std::string(kEnum) + "\\C0000");
    RawDevice("C0000", "PCI\\VEN_5333&DEV_8A22", REG_BINARY);
    EXPECT_EQ(1, IsDevicePresent(BOARD_HARDWARE_ID));
    RegRemoveTree(HKEY_DYN_DATA, std::string(kEnum) + "\\C0000");

    // 254 characters and the terminator fill the buffer exactly: still read.
    std::string longKey = std::string(BOARD_HARDWARE_ID) + std::string(254 - 21, 'x');
    ASSERT_EQ(254u, longKey.size());
    Device("C0000", longKey);
    EXPECT_EQ(1, IsDevicePresent(BOARD_HARDWARE_ID));
    // 255 bytes with no terminator, or a longer key: not a text that fits, not a match.
    Device("C0000", longKey + "x");
    EXPECT_EQ(0, IsDevicePresent(BOARD_HARDWARE_ID));
    RegRemoveTree(HKEY_DYN_DATA, std::string(kEnum) + "\\C0000");
    RawDevice("C0000", longKey + "x", REG_BINARY);
    EXPECT_EQ(0, IsDevicePresent(BOARD_HARDWARE_ID));
}

TEST_F(Presence, OnlyTheFirst256EntriesAreExamined)
{
    for (int i = 0; i < 256; ++i)
        Device(Entry(i), "PCI\\VEN_1002&DEV_4755\\000" + std::to_string(i));
    Device(Entry(256), "PCI\\VEN_5333&DEV_8A22\\000800");
    ASSERT_EQ(257u, RegSubkeys(HKEY_DYN_DATA, kEnum).size());
    ASSERT_EQ(Entry(256), RegSubkeys(HKEY_DYN_DATA, kEnum)[256]);
    EXPECT_EQ(0, IsDevicePresent(BOARD_HARDWARE_ID));
    Device(Entry(255), "PCI\\VEN_5333&DEV_8A22\\000700");  // the last one examined
    EXPECT_EQ(1, IsDevicePresent(BOARD_HARDWARE_ID));
}

TEST_F(Presence, MissingListMeansNotPresent)
{
    Device("C0000", "PCI\\VEN_5333&DEV_8A22\\000800");
    EXPECT_EQ(1, IsDevicePresent(BOARD_HARDWARE_ID));
    RegRemoveTree(HKEY_DYN_DATA, kEnum);
    EXPECT_EQ(0, IsDevicePresent(BOARD_HARDWARE_ID));
}
