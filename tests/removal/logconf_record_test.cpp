// The two 740-byte resource records, byte for byte.
#include "logconf_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Hex(const std::string &text)
{
    std::vector<unsigned char> bytes;
    unsigned value;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        std::sscanf(text.c_str() + i, "%2x", &value);
        bytes.push_back(static_cast<unsigned char>(value));
        i += 2;
    }
    return bytes;
}

std::string Le16(unsigned v)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X %02X ", v & 0xFF, (v >> 8) & 0xFF);
    return text;
}

// One I/O entry as the worked bytes write it: 20 00 00 00 02 00 00 00 01 00 0C 00 ...
std::string PortEntry(unsigned first, unsigned last, bool forced)
{
    std::string allocated = forced ? Le16(first) + Le16(last) + "00 00 00 03 " : "00 00 00 00 00 00 00 00 ";
    return "20 00 00 00 02 00 00 00 01 00 0C 00 " + allocated + "FF FF " + Le16(last - first + 1) + Le16(first) +
           Le16(last) + "00 00 00 03 ";
}

std::vector<unsigned char> Expected(bool forced)
{
    std::string text = forced ? "00 04 00 00 00 00 00 00 " : "00 04 00 00 00 E0 00 00 ";
    const unsigned ports[] = {0x60, 0x62, 0x64, 0x66, 0x68, 0x6A, 0x6C, 0x6E, 0x7C, 0x7E,
                              0xA0, 0xA2, 0xA4, 0xA6, 0xA8, 0xAA, 0xAC, 0xAE, 0x4A0};
    for (unsigned port : ports)
        text += PortEntry(port, port, forced);
    text += PortEntry(0x18F0, 0x18F3, forced);
    // Entry 21, as worked out: A8000-BFFFF.
    text += std::string("2C 00 00 00 01 00 00 00 01 00 14 00 ") +
            (forced ? "00 80 0A 00 FF FF 0B 00 " : "00 00 00 00 00 00 00 00 ") +
            "00 00 00 00 00 F0 FF FF 00 80 01 00 00 80 0A 00 FF FF 0B 00 00 00 00 00 ";
    // Entry 22: E0000-E7FFF, 8000h bytes.
    text += std::string("2C 00 00 00 01 00 00 00 01 00 14 00 ") +
            (forced ? "00 00 0E 00 FF 7F 0E 00 " : "00 00 00 00 00 00 00 00 ") +
            "00 00 00 00 00 F0 FF FF 00 80 00 00 00 00 0E 00 FF 7F 0E 00 00 00 00 00 ";
    text += "00 00 00 00";
    return Hex(text);
}

std::vector<unsigned char> Build(LogConfKind kind)
{
    std::vector<unsigned char> record(LOGCONF_RECORD_SIZE + 16, 0xCC);
    BuildLogConfRecord(kind, record.data());
    for (size_t i = LOGCONF_RECORD_SIZE; i < record.size(); ++i)
        EXPECT_EQ(0xCC, record[i]) << "wrote past the record at " << i;
    record.resize(LOGCONF_RECORD_SIZE);
    return record;
}

std::vector<unsigned char> Slice(const std::vector<unsigned char> &v, size_t from, size_t to)
{
    return std::vector<unsigned char>(v.begin() + from, v.begin() + to);
}

TEST(LogConfRecord, WholeRecordsMatchTheirLayout)
{
    ASSERT_EQ(740u, Expected(true).size());
    EXPECT_EQ(Expected(true), Build(LOGCONF_FORCED));
    EXPECT_EQ(Expected(false), Build(LOGCONF_LOGICAL));
}

TEST(LogConfRecord, WorkedBytesAndOffsets)
{
    std::vector<unsigned char> forced = Build(LOGCONF_FORCED);
    std::vector<unsigned char> logical = Build(LOGCONF_LOGICAL);
    EXPECT_EQ(Hex("00 04 00 00 00 00 00 00 20 00 00 00 02 00 00 00 01 00 0C 00 60 00 60 00 00 00 00 03 FF FF 01 00 "
                  "60 00 60 00 00 00 00 03"),
              Slice(forced, 0, 40));
    EXPECT_EQ(Hex("00 04 00 00 00 E0 00 00 20 00 00 00 02 00 00 00 01 00 0C 00 00 00 00 00 00 00 00 00 FF FF 01 00 "
                  "60 00 60 00 00 00 00 03"),
              Slice(logical, 0, 40));
    // Entry 20 at 616: four ports 18F0-18F3.
    EXPECT_EQ(Hex("20 00 00 00 02 00 00 00 01 00 0C 00 F0 18 F3 18 00 00 00 03 FF FF 04 00 F0 18 F3 18 00 00 00 03"),
              Slice(forced, 616, 648));
    // Entry 21 at 648, entry 22 at 692, end marker at 736.
    std::vector<unsigned char> entry21 = Hex("2C 00 00 00 01 00 00 00 01 00 14 00 00 80 0A 00 FF FF 0B 00 00 00 00 00 "
                                             "00 F0 FF FF 00 80 01 00 00 80 0A 00 FF FF 0B 00 00 00 00 00");
    EXPECT_EQ(entry21, Slice(forced, 648, 692));
    for (size_t i = 12; i < 20; ++i)
        entry21[i] = 0;
    EXPECT_EQ(entry21, Slice(logical, 648, 692));
    EXPECT_EQ(Hex("2C 00 00 00 01 00 00 00"), Slice(forced, 692, 700));
    EXPECT_EQ(Hex("00 00 00 00"), Slice(forced, 736, 740));
    EXPECT_EQ(Hex("00 00 00 00"), Slice(logical, 736, 740));
}

TEST(LogConfRecord, RecordsDifferOnlyInPriorityAndAllocatedFields)
{
    std::vector<unsigned char> forced = Build(LOGCONF_FORCED);
    std::vector<unsigned char> logical = Build(LOGCONF_LOGICAL);
    std::vector<size_t> differing;
    for (size_t i = 0; i < forced.size(); ++i)
        if (forced[i] != logical[i])
            differing.push_back(i);
    std::vector<size_t> allowed = {5};  // priority E000h
    for (size_t e = 0; e < 20; ++e) {
        size_t at = 8 + e * 32;
        for (size_t i : {12, 13, 14, 15, 19})  // allocated first, last, decode
            allowed.push_back(at + i);
    }
    for (size_t at : {648u, 692u})
        for (size_t i = 12; i < 20; ++i)
            allowed.push_back(at + i);
    for (size_t i : differing)
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), i), allowed.end()) << "offset " << i;
}

} // namespace
