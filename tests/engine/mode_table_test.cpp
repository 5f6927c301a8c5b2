// The mode table built from the simulated driver's mode list and the driver key's
// refresh lists.
#include "engine_fixture.h"

#include <string>

#include "adapter_state.h"
#include "mode_table.h"

namespace {

struct Area {
    DWORD width, height;
    std::vector<DWORD> codes;
    bool operator==(const Area &o) const { return width == o.width && height == o.height && codes == o.codes; }
};
struct Depth {
    DWORD bits;
    std::vector<Area> areas;
    bool operator==(const Depth &o) const { return bits == o.bits && areas == o.areas; }
};

std::ostream &operator<<(std::ostream &os, const Depth &d)
{
    os << d.bits << ":";
    for (const Area &a : d.areas) {
        os << " " << a.width << "x" << a.height << "[";
        for (DWORD c : a.codes) os << c << ",";
        os << "]";
    }
    return os;
}

// The table as plain values, checking the block bounds on the way.
std::vector<Depth> Table()
{
    std::vector<Depth> out;
    if (!modeTable) {
        EXPECT_EQ(0u, colorDepthCount);
        return out;
    }
    EXPECT_LE(colorDepthCount, (DWORD)COLOR_DEPTH_CAPACITY);
    for (DWORD d = 0; d < colorDepthCount; d++) {
        const ColorDepthEntry &e = modeTable[d];
        Depth depth{e.bitsPerPixel, {}};
        EXPECT_GE(e.areaCount, 1u);
        EXPECT_LE(e.areaCount, (DWORD)DESKTOP_AREA_CAPACITY);
        for (DWORD a = 0; a < e.areaCount; a++) {
            const DesktopAreaEntry &area = e.areas[a];
            EXPECT_GE(area.refreshCount, 1u);
            EXPECT_LE(area.refreshCount, (DWORD)REFRESH_CODE_CAPACITY);
            depth.areas.push_back(
                Area{area.width, area.height, std::vector<DWORD>(area.refreshRates, area.refreshRates + area.refreshCount)});
        }
        out.push_back(depth);
    }
    return out;
}

std::vector<DWORD> Bits(const std::vector<Depth> &table)
{
    std::vector<DWORD> out;
    for (const Depth &d : table) out.push_back(d.bits);
    return out;
}

class ModeTableTest : public EngineTest {};

}  // namespace

TEST_F(ModeTableTest, DriverRefreshListGivesAscendingCodes)
{
    SetModes({Mode(16, 1024, 768, 0)});
    WriteBinary("16_1024_0768_L", {75, 1, 60});
    BuildModeTable();
    EXPECT_EQ((std::vector<Depth>{{16, {{1024, 768, {1, 60, 75}}}}}), Table());
}

TEST_F(ModeTableTest, SmallModesNeverReachTheTable)
{
    isWin9x = 0;
    SetModes({Mode(8, 320, 200, 60), Mode(8, 640, 400, 60), Mode(8, 640, 480, 60), Mode(8, 639, 480, 60),
              Mode(8, 1024, 479, 60), Mode(8, 800, 600, 60)});
    BuildModeTable();
    EXPECT_EQ((std::vector<Depth>{{8, {{640, 480, {60}}, {800, 600, {60}}}}}), Table());
}

TEST_F(ModeTableTest, WindowsNtTakesTheEnumeratedFrequencies)
{
    isWin9x = 0;
    has555or565 = 1;   // has no meaning there
    SetModes({Mode(16, 800, 600, 75), Mode(16, 800, 600, 60)});
    WriteBinary("16_0800_0600_L", {85, 90});
    BuildModeTable();
    EXPECT_EQ((std::vector<Depth>{{16, {{800, 600, {60, 75}}}}}), Table());
}

TEST_F(ModeTableTest, ThirtyTwoKColoursCopyTheSixtyFourKDepth)
{
    SetModes({Mode(32, 640, 480, 0), Mode(16, 800, 600, 0), Mode(8, 640, 480, 0), Mode(16, 640, 480, 0),
              Mode(24, 640, 480, 0)});
    WriteBinary("16_0640_0480_L", {60, 72});
    WriteBinary("16_0800_0600_L", {75, 1});
    WriteBinary("08_0640_0480_L", {60});
    WriteBinary("24_0640_0480_L", {60});
    WriteBinary("32_0640_0480_L", {60});
    has555or565 = 1;
    BuildModeTable();
    std::vector<Depth> with = Table();
    ASSERT_EQ((std::vector<DWORD>{8, 15, 16, 24, 32}), Bits(with));
    std::vector<Area> expected = {{640, 480, {60, 72}}, {800, 600, {1, 75}}};
    EXPECT_EQ(expected, with[1].areas);
    EXPECT_EQ(expected, with[2].areas);

    has555or565 = 0;
    BuildModeTable();   // a second build replaces the first
    EXPECT_EQ((std::vector<DWORD>{8, 16, 24, 32}), Bits(Table()));
}

TEST_F(ModeTableTest, DefaultBoardOrdersDepthsAndAreasAscending)
{
    // Enumerated largest first, with the depths mixed.
    std::vector<SimMode> modes;
    const DWORD areas[][2] = {{1280, 1024}, {1152, 864}, {1024, 768}, {800, 600}, {640, 480}};
    for (const auto &a : areas)
        for (DWORD bits : {32u, 8u, 24u, 16u}) modes.push_back(Mode(bits, a[0], a[1], 0));
    SetModes(modes);
    WriteBinary("16_1024_0768_L", {85, 60, 75, 60});
    BuildModeTable();
    std::vector<Depth> t = Table();
    ASSERT_EQ((std::vector<DWORD>{8, 16, 24, 32}), Bits(t));
    for (const Depth &d : t) {
        ASSERT_EQ(5u, d.areas.size()) << d;
        EXPECT_EQ(640u, d.areas[0].width);
        EXPECT_EQ(800u, d.areas[1].width);
        EXPECT_EQ(1024u, d.areas[2].width);
        EXPECT_EQ(1152u, d.areas[3].width);
        EXPECT_EQ(1024u, d.areas[4].height);
    }
    // Duplicate codes stay.
    EXPECT_EQ((std::vector<DWORD>{60, 60, 75, 85}), t[1].areas[2].codes);
    EXPECT_EQ((std::vector<DWORD>{0}), t[0].areas[2].codes);
}

TEST_F(ModeTableTest, WiderAgainstTallerAreasAreNotSplit)
{
    isWin9x = 0;
    SetModes({Mode(16, 1366, 768, 60), Mode(16, 1280, 1024, 60), Mode(16, 1366, 768, 75), Mode(16, 1024, 768, 60),
              Mode(16, 1280, 1024, 75), Mode(16, 1366, 768, 85), Mode(16, 1280, 1024, 85), Mode(16, 1024, 768, 75)});
    BuildModeTable();
    EXPECT_EQ((std::vector<Depth>{{16,
                                   {{1024, 768, {60, 75}},
                                    {1280, 1024, {60, 75, 85}},
                                    {1366, 768, {60, 75, 85}}}}}),
              Table());
}

TEST_F(ModeTableTest, UnreadableOrEmptyRefreshListsKeepTheModesOwnFrequency)
{
    SetModes({Mode(8, 640, 480, 0), Mode(8, 800, 600, 0), Mode(8, 1024, 768, 0), Mode(8, 1280, 1024, 0)});
    WriteBinary("08_0800_0600_L", {});
    // Longer than the buffer: the first 16 codes count.
    std::vector<unsigned char> twenty;
    for (unsigned char c = 60; c < 80; c++) twenty.push_back(c);
    WriteBinary("08_1024_0768_L", twenty);
    // Too long to read at all.
    WriteBinary("08_1280_1024_L", std::vector<unsigned char>(300, 70));
    BuildModeTable();
    std::vector<Depth> t = Table();
    ASSERT_EQ(1u, t.size());
    ASSERT_EQ(4u, t[0].areas.size());
    EXPECT_EQ((std::vector<DWORD>{0}), t[0].areas[0].codes);
    EXPECT_EQ((std::vector<DWORD>{0}), t[0].areas[1].codes);
    std::vector<DWORD> sixteen;
    for (DWORD c = 60; c < 76; c++) sixteen.push_back(c);
    EXPECT_EQ(sixteen, t[0].areas[2].codes);
    EXPECT_EQ((std::vector<DWORD>{0}), t[0].areas[3].codes);

    // Without a driver key nothing is read either.
    FreeModeTable();
    RegCloseKey(driverKey);
    driverKey = NULL;
    BuildModeTable();
    EXPECT_EQ((std::vector<DWORD>{0}), Table()[0].areas[2].codes);
}

TEST_F(ModeTableTest, WorkingListHoldsAtMost256Modes)
{
    isWin9x = 0;
    std::vector<SimMode> modes;
    for (DWORD f = 1; f <= 256; f++) modes.push_back(Mode(8, 640, 480, f));
    for (DWORD f = 1; f <= 40; f++) modes.push_back(Mode(16, 800, 600, f));
    SetModes(modes);
    BuildModeTable();
    std::vector<Depth> t = Table();
    ASSERT_EQ(1u, t.size());
    EXPECT_EQ(8u, t[0].bits);
    ASSERT_EQ(1u, t[0].areas.size());
    EXPECT_EQ(16u, t[0].areas[0].codes.size());
    EXPECT_EQ(16u, t[0].areas[0].codes.back());
}

TEST_F(ModeTableTest, DriverCopiesStopAtTheWorkingListsEnd)
{
    // 200 modes, each with 16 codes, and the 32K copies on top: far more than 256 entries.
    std::vector<SimMode> modes;
    for (DWORD i = 0; i < 200; i++) modes.push_back(Mode(16, 640 + 8 * i, 480, 0));
    SetModes(modes);
    std::vector<unsigned char> codes;
    for (unsigned char c = 1; c <= 16; c++) codes.push_back(c);
    for (DWORD i = 0; i < 200; i++) {
        char name[32];
        wsprintfA(name, "16_%04u_0480_L", (unsigned)(640 + 8 * i));
        WriteBinary(name, codes);
    }
    has555or565 = 1;
    BuildModeTable();
    std::vector<Depth> t = Table();
    ASSERT_EQ(1u, t.size());   // no room was left for 32K copies
    EXPECT_EQ(16u, t[0].bits);
    ASSERT_EQ(16u, t[0].areas.size());
    // The first three modes got all their copies, the fourth 11 of its 15, the rest none.
    for (int a = 0; a < 3; a++) EXPECT_EQ(16u, t[0].areas[a].codes.size());
    std::vector<DWORD> fourth = {1};
    for (DWORD c = 6; c <= 16; c++) fourth.push_back(c);
    EXPECT_EQ(fourth, t[0].areas[3].codes);
    for (int a = 4; a < 16; a++) EXPECT_EQ((std::vector<DWORD>{1}), t[0].areas[a].codes);
}

TEST_F(ModeTableTest, DepthsAreasAndCodesBeyondTheBlocksAreDropped)
{
    isWin9x = 0;
    std::vector<SimMode> modes;
    for (DWORD bits : {36u, 4u, 8u, 12u, 15u, 16u, 20u, 24u, 28u, 32u}) modes.push_back(Mode(bits, 640, 480, 60));
    for (DWORD i = 0; i < 20; i++) modes.push_back(Mode(8, 640 + 16 * i, 480 + 12 * i, 60));
    for (DWORD f = 100; f > 80; f--) modes.push_back(Mode(8, 640, 480, f));
    SetModes(modes);
    BuildModeTable();
    std::vector<Depth> t = Table();
    EXPECT_EQ((std::vector<DWORD>{4, 8, 12, 15, 16, 20, 24, 28}), Bits(t));
    ASSERT_EQ(16u, t[1].areas.size());
    EXPECT_EQ(640u + 16 * 15, t[1].areas[15].width);
    std::vector<DWORD> low = {60, 60};
    for (DWORD f = 81; f <= 94; f++) low.push_back(f);
    EXPECT_EQ(low, t[1].areas[0].codes);
}

TEST_F(ModeTableTest, EmptyListLeavesNoTableAndFreeingIsSafe)
{
    SetModes({Mode(8, 640, 400, 0)});
    BuildModeTable();
    EXPECT_EQ(nullptr, modeTable);
    EXPECT_EQ(0u, colorDepthCount);
    FreeModeTable();
    SetModes({Mode(8, 640, 480, 0)});
    BuildModeTable();
    ASSERT_NE(nullptr, modeTable);
    FreeModeTable();
    EXPECT_EQ(nullptr, modeTable);
    EXPECT_EQ(0u, colorDepthCount);
}
