// The roads of a mode change that every platform takes: the ordinary test-and-confirm
// road, the platform's restart, refusals, and what happens when the table or the list
// cannot name the mode.
#include "adapter_state.h"
#include "mode_change.h"
#include "mode_change_fixture.h"
#include "mode_persistence.h"
#include "program_road.h"
#include "registry_fixture.h"

namespace {

const char kAnnounce[] = "設定を変更します。\n画面が正しく表示されない場合は、\n約10秒待つと元の設定に戻ります。";
const char kRestored[] = "設定を元に戻しました。";

}  // namespace

TEST_F(ModeChangeTest, RunsAsTheProgramNameSays)
{
    switch (ProgramRoad()) {
    case kRoadNt:
        EXPECT_FALSE(RunningWin9x());
        break;
    case kRoadWin95:
        EXPECT_TRUE(RunningWin9x());
        EXPECT_FALSE(RunningWin98());
        break;
    case kRoadWin98:
        EXPECT_TRUE(RunningWin98());
        break;
    }
}

TEST_F(ModeChangeTest, CancelledAnnouncementSetsNothing)
{
    BuildTable();
    const auto before = RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDCANCEL, "設定を変更します")});
    Apply(Select(16, 1024, 768, 75), 1);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    ExpectCalls(Changes(), {{CDS_TEST, Listed(16, 1024, 768, 75)}});
    const auto boxes = Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kAnnounce, boxes[0].text);
    EXPECT_EQ(kUtilityCaption, boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION | MB_OKCANCEL), boxes[0].type);
    EXPECT_EQ(page, boxes[0].owner);
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_TRUE(SheetMessages().empty());
    EXPECT_TRUE(SameMode(Mode(16, 800, 600, 75), DriverSimCurrent())) << Describe(DriverSimCurrent());
    // Nothing changed, so the driver key is as it was (the new choice's values included).
    EXPECT_EQ(before, RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath));
}

TEST_F(ModeChangeTest, ConfirmedChangeIsKept)
{
    BuildTable();
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "設定を変更します"),
                             PressButtonText(kUtilityCaption, "はい(&Y)", "正常に表示されていますか")});
    Apply(Select(16, 1024, 768, 75), 2);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    ExpectCalls(Changes(), {{CDS_TEST, Listed(16, 1024, 768, 75)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Listed(16, 1024, 768, 75)}});
    EXPECT_TRUE(SameMode(Mode(16, 1024, 768, 75), DriverSimCurrent())) << Describe(DriverSimCurrent());
    EXPECT_EQ(1u, Boxes().size());   // the announcement only

    const auto dialogs = Dialogs();
    ASSERT_EQ(1u, dialogs.size());
    const DialogSeen &d = dialogs[0];
    EXPECT_EQ(118, d.templateId);
    EXPECT_EQ(moduleInstance, d.instance);
    EXPECT_EQ(page, d.owner);
    EXPECT_EQ(reinterpret_cast<DLGPROC>(TestDialogProc), d.proc);
    EXPECT_EQ(1, d.result);
    EXPECT_TRUE(d.everyReturnFalse);
    EXPECT_EQ(LoadIconA(nullptr, IDI_QUESTION), d.icon);
    ExpectCentred(d);

    const auto seen = answerer.Seen();
    ASSERT_EQ(2u, seen.size());
    const SeenDialog &shown = seen[1];
    ASSERT_NE(nullptr, shown.Control(IDOK));
    EXPECT_EQ("はい(&Y)", shown.Control(IDOK)->text);
    ASSERT_NE(nullptr, shown.Control(IDCANCEL));
    EXPECT_EQ("いいえ(&N)", shown.Control(IDCANCEL)->text);
    EXPECT_TRUE(shown.HasTextContaining("正常に表示されていますか？"));

    // The confirmation's timer: identifier 9997, ten seconds, on the dialog.
    const auto timers = Timers();
    ASSERT_FALSE(timers.empty());
    EXPECT_FALSE(timers[0].kill);
    EXPECT_EQ(static_cast<UINT_PTR>(9997), timers[0].id);
    EXPECT_EQ(10000u, timers[0].period);
    EXPECT_EQ(shown.window, timers[0].window);
    EXPECT_EQ(timers[0].result, testTimerId);
    EXPECT_TRUE(SheetMessages().empty());
}

TEST_F(ModeChangeTest, RefusedConfirmationBringsTheOldModeBack)
{
    BuildTable();
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "設定を変更します"),
                             PressButtonText(kUtilityCaption, "いいえ(&N)", "正常に表示されていますか"),
                             PressButton(kUtilityCaption, IDOK, "設定を元に戻しました")});
    Apply(Select(16, 1024, 768, 60), 3);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    ExpectCalls(Changes(), {{CDS_TEST, Listed(16, 1024, 768, 60)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Listed(16, 1024, 768, 60)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Listed(16, 800, 600, 75)}});
    EXPECT_TRUE(SameMode(Mode(16, 800, 600, 75), DriverSimCurrent())) << Describe(DriverSimCurrent());
    const auto boxes = Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(kRestored, boxes[1].text);
    EXPECT_EQ(kUtilityCaption, boxes[1].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes[1].type);
    EXPECT_EQ(page, boxes[1].owner);
    ASSERT_EQ(1u, Dialogs().size());
    EXPECT_EQ(2, Dialogs()[0].result);
    if (isWin9x) {
        // The old mode's refresh code is written back for the driver.
        BYTE code = 0;
        ASSERT_TRUE(ReadChoice(16, 800, 600, &code));
        EXPECT_EQ(75, code);
    }
}

TEST_F(ModeChangeTest, ConfirmationThatCannotBeShownCountsAsNoAnswer)
{
    BuildTable();
    // A module without the dialog templates: DialogBoxParamA fails.
    moduleInstance = GetModuleHandleA("kernel32.dll");
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "設定を変更します"),
                             PressButton(kUtilityCaption, IDOK, "設定を元に戻しました")});
    Apply(Select(16, 1024, 768, 75), 3);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    ASSERT_EQ(1u, Dialogs().size());
    EXPECT_EQ(-1, Dialogs()[0].result);
    ExpectCalls(Changes(), {{CDS_TEST, Listed(16, 1024, 768, 75)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Listed(16, 1024, 768, 75)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Listed(16, 800, 600, 75)}});
    EXPECT_TRUE(SameMode(Mode(16, 800, 600, 75), DriverSimCurrent())) << Describe(DriverSimCurrent());
}

TEST_F(ModeChangeTest, PlatformRestartSetsTheAreasFirstRefreshCodeAndAsksForARestart)
{
    BuildTable();
    DriverSimSetChangeResult(CDS_TEST, DISP_CHANGE_RESTART);
    const ModeSelection chosen = Select(16, 1024, 768, 85);
    ASSERT_EQ(2u, chosen.refreshIndex);
    Apply(chosen);

    // Index 0 of the area: code 60.
    ExpectCalls(Changes(), {{CDS_TEST, Listed(16, 1024, 768, 85)}, {CDS_UPDATEREGISTRY, Listed(16, 1024, 768, 60)}});
    if (isWin9x) {
        BYTE code = 0;
        ASSERT_TRUE(ReadChoice(16, 1024, 768, &code));
        EXPECT_EQ(60, code);
    }
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Dialogs().empty());

    ExpectRestartRequest();
}

TEST_F(ModeChangeTest, FailedTestSetsNothingAndSaysNothing)
{
    BuildTable();
    const auto before = RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    DriverSimSetChangeResult(CDS_TEST, DISP_CHANGE_BADMODE);
    Apply(Select(24, 1280, 1024, 60));
    ExpectCalls(Changes(), {{CDS_TEST, Listed(24, 1280, 1024, 60)}});
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_TRUE(SheetMessages().empty());
    EXPECT_TRUE(PropertiesMessages().empty());
    EXPECT_EQ(before, RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath));
}

TEST_F(ModeChangeTest, EmptyTableSetsNothing)
{
    UseModes({Mode(8, 320, 200, 0), Mode(8, 640, 400, 0), Mode(16, 639, 480, 0), Mode(16, 640, 479, 0)});
    BuildTable();
    ASSERT_EQ(0u, colorDepthCount);
    const auto before = RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    Apply(0, 0, 0);
    Apply(2, 3, 4);
    Apply(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu);
    EXPECT_TRUE(Changes().empty()) << Describe(Changes());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_TRUE(SheetMessages().empty());
    EXPECT_EQ(before, RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath));
}

TEST_F(ModeChangeTest, SelectionOutsideTheTableSetsNothing)
{
    BuildTable();
    const auto before = RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    Apply(colorDepthCount, 0, 0);
    Apply(0, modeTable[0].areaCount, 0);
    Apply(0, 0, modeTable[0].areas[0].refreshCount);
    EXPECT_TRUE(Changes().empty()) << Describe(Changes());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(before, RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath));
}

// The board in a mode smaller than any the table takes: the lookup finds nothing, and a
// refused change must still return to that mode.
TEST_F(ModeChangeTest, RevertReturnsToAModeTheTableLacks)
{
    std::vector<SimMode> modes = {Listed(16, 320, 240, 60)};
    for (DWORD bits : {8u, 16u, 24u, 32u})
        for (DWORD width : {640u, 800u, 1024u})
            for (DWORD hertz : {60u, 75u, 85u})
                if (!isWin9x || hertz == 60) modes.push_back(Listed(bits, width, width * 3 / 4, hertz));
    UseModes(modes);
    // In force: 320x240 (on the 95 family at the hardware's default code, 1).
    const SimMode inForce = Mode(16, 320, 240, isWin9x ? 1 : 60);
    DriverSimSetCurrent(inForce);
    BuildTable();
    UINT c, a, r;
    QueryCurrentSelection(c, a, r);
    ASSERT_EQ(colorDepthCount, c);   // one past the end
    DriverSimClearCalls();

    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "設定を変更します"),
                             PressButton(kUtilityCaption, IDCANCEL, "正常に表示されていますか"),
                             PressButton(kUtilityCaption, IDOK, "設定を元に戻しました")});
    Apply(Select(16, 800, 600, 75), 3);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    ExpectCalls(Changes(), {{CDS_TEST, Listed(16, 800, 600, 75)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Listed(16, 800, 600, 75)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Listed(16, 320, 240, 60)}});
    EXPECT_TRUE(SameMode(inForce, DriverSimCurrent())) << Describe(DriverSimCurrent());
    ASSERT_EQ(2u, Boxes().size());
    EXPECT_EQ(kRestored, Boxes()[1].text);
}

// The driver does not answer the query: the lookup gives one past the end, and the
// platform's own account of the mode in force is what a revert sets.
TEST_F(ModeChangeTest, RevertWithoutTheDriversAnswerUsesThePlatformsCurrentMode)
{
    BuildTable();
    DriverSimSetQueryAnswered(false);
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "設定を変更します"),
                             PressButton(kUtilityCaption, IDCANCEL, "正常に表示されていますか"),
                             PressButton(kUtilityCaption, IDOK, "設定を元に戻しました")});
    Apply(Select(32, 640, 480, 60), 3);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    bool askedCurrent = false;
    for (const SimCall &e : EnumCalls()) askedCurrent = askedCurrent || e.index == ENUM_CURRENT_SETTINGS;
    EXPECT_TRUE(askedCurrent);
    ExpectCalls(Changes(), {{CDS_TEST, Listed(32, 640, 480, 60)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Listed(32, 640, 480, 60)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Mode(16, 800, 600, 75)}});
    EXPECT_TRUE(SameMode(Mode(16, 800, 600, 75), DriverSimCurrent())) << Describe(DriverSimCurrent());
}

// Far more modes than the list holds. Small modes do not use up its room, so a mode of the
// table found late in the enumeration still has its record; and with more large modes than
// it holds, the enumeration stops at its end.
TEST_F(ModeChangeTest, ManyModesNeitherOverflowTheListNorHideTableModes)
{
    std::vector<SimMode> modes;
    for (DWORD i = 0; i < 300; i++) modes.push_back(Listed(8, 320 + i, 200, 60));
    modes.push_back(Listed(16, 800, 600, 75));
    modes.push_back(Listed(16, 1024, 768, 75));
    UseModes(modes);
    if (isWin9x) WriteRefreshList(16, 1024, 768, {75});
    if (isWin9x) WriteRefreshList(16, 800, 600, {75});
    BuildTable();
    DialogAnswerer first({PressButton(kUtilityCaption, IDCANCEL, "設定を変更します")});
    Apply(Select(16, 1024, 768, 75), 1);
    ASSERT_TRUE(first.Wait(30000)) << first.Failure();
    ExpectCalls(Changes(), {{CDS_TEST, Listed(16, 1024, 768, 75)}});

    modes.clear();
    for (DWORD i = 0; i < 400; i++) modes.push_back(Listed(8 + 8 * (i / 100), 640 + i % 100, 480, 60));
    UseModes(modes);
    BuildTable();
    ASSERT_GT(colorDepthCount, 0u);
    DialogAnswerer second({PressButton(kUtilityCaption, IDCANCEL, "設定を変更します")});
    Apply(Select(8, 641, 480, isWin9x ? 0 : 60), 1);
    ASSERT_TRUE(second.Wait(30000)) << second.Failure();
    ExpectCalls(Changes(), {{CDS_TEST, Listed(8, 641, 480, 60)}});
    DWORD highest = 0;
    for (const SimCall &e : EnumCalls())
        if (e.index != ENUM_CURRENT_SETTINGS && e.index > highest) highest = e.index;
    EXPECT_EQ(255u, highest);
}

TEST_F(ModeChangeTest, QuickResChangeHearsTheModeAsText)
{
    UseDisplayModeLibrary();
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = 1024;
    mode.dmPelsHeight = 768;
    mode.dmBitsPerPel = 16;
    NotifyQuickResChange(&mode);
    // Fields that would not fit the library's 32-byte text are not passed on.
    mode.dmPelsWidth = 4000000000u;
    mode.dmPelsHeight = 3000000000u;
    mode.dmBitsPerPel = 2000000000u;
    NotifyQuickResChange(&mode);
    const auto log = QuickResLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("QuickResChange 1024x768x16", log[0]);

    pfnQuickResChange = nullptr;
    mode.dmPelsWidth = 800;
    mode.dmPelsHeight = 600;
    mode.dmBitsPerPel = 8;
    NotifyQuickResChange(&mode);   // no library entry: nothing to call
    EXPECT_EQ(1u, QuickResLog().size());
}

// After the restart request the page shows the mode in force again, and the sheet's Apply
// comes round once more (pressed by the request on Windows 98, or by OK). Setting the
// mode in force again then must not write over the choice that waits for the restart;
// a new sheet is not bound by the old one's request.
TEST_F(ModeChangeTest, ModeInForceIsNotSetAgainWhileARestartWaits)
{
    BuildTable();
    // As on the platform, a mode that needs a restart is only recorded, not set.
    DriverSimSetChangeResult(CDS_TEST, DISP_CHANGE_RESTART);
    DriverSimSetChangeResult(CDS_UPDATEREGISTRY, DISP_CHANGE_RESTART);
    Apply(Select(16, 1024, 768, 85));
    ASSERT_EQ(2u, Changes().size()) << Describe(Changes());
    ExpectRestartRequest();

    DriverSimClearCalls();
    UINT c, a, r;
    QueryCurrentSelection(c, a, r);
    Apply(c, a, r);
    EXPECT_TRUE(Changes().empty()) << Describe(Changes());
    EXPECT_TRUE(Boxes().empty());
    if (isWin9x) {
        BYTE code = 0;
        ASSERT_TRUE(ReadChoice(16, 1024, 768, &code));
        EXPECT_EQ(60, code);
    }

    // Another sheet: the same selection takes its ordinary road.
    HWND otherSheet = CreateWindowExA(0, "ZanModeChangeSheet", "sheet 2", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300,
                                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, otherSheet);
    SetParent(page, otherSheet);
    Apply(c, a, r);
    if (isWin9x)
        ExpectCalls(Changes(), {{CDS_UPDATEREGISTRY, Listed(16, 800, 600, 75)}});
    else
        EXPECT_TRUE(Changes().empty()) << Describe(Changes());
    SetParent(page, sheet);
    DestroyWindow(otherSheet);
}
