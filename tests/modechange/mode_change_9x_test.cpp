// The roads of the Windows 95 family: the same mode set again, the 32K/64K format change
// that waits for a restart, and the live colour-depth switch of the display-mode library.
#include "adapter_state.h"
#include "mode_change.h"
#include "mode_change_fixture.h"
#include "mode_persistence.h"
#include "program_road.h"
#include "registry_fixture.h"

namespace {

const char kFormatRestart[] = "32K色、64K色の変更は\nｼｽﾃﾑの再起動が必要です";
const char kRestored[] = "設定を元に戻しました。";
const DWORD kQuickResTest = 0x80000002u;

}  // namespace

class ModeChange9xTest : public ModeChangeTest {
protected:
    void SetUp() override
    {
        ModeChangeTest::SetUp();
        if (ProgramRoad() == kRoadNt)
            GTEST_SKIP() << "a road of the Windows 95 family";
        ASSERT_TRUE(RunningWin9x());
    }

    // The board started (booted) in the 555 format: 16-bit modes run as 32K colours.
    void BootIn555()
    {
        RegWriteDword(HKEY_LOCAL_MACHINE, kDriverKeyPath, "555or565", 0);
        useDirect3DColor = 1;
        DriverSimUseDriverKey(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    }

    void StartIn(DWORD bits, DWORD width, DWORD height, BYTE code)
    {
        WriteChoice(bits, width, height, code);
        DriverSimSetCurrent(Mode(bits, width, height, code));
    }
};

TEST_F(ModeChange9xTest, SameSelectionSetsTheModeOnceMore)
{
    BuildTable();
    Apply(Select(16, 800, 600, 75));
    ExpectCalls(Changes(), {{CDS_UPDATEREGISTRY, Mode(16, 800, 600, 0)}});
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Dialogs().empty());
    ExpectRestartRequest(false);
}

TEST_F(ModeChange9xTest, SameSelectionKeepsANewDirect3DChoice)
{
    StartIn(8, 1024, 768, 60);
    BuildTable();
    useDirect3DColor = 1;
    Apply(Select(8, 1024, 768, 60));
    ExpectCalls(Changes(), {{CDS_UPDATEREGISTRY, Mode(8, 1024, 768, 0)}});
    DWORD format = 9;
    ASSERT_TRUE(ReadFormat(&format));
    EXPECT_EQ(0u, format);
}

TEST_F(ModeChange9xTest, From64KTo32KColoursWaitsForARestart)
{
    BuildTable();
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "32K色")});
    Apply(Select(15, 1024, 768, 60), 1);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    EXPECT_TRUE(Changes().empty()) << Describe(Changes());
    const auto boxes = Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(kFormatRestart, boxes[0].text);
    EXPECT_EQ(kUtilityCaption, boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes[0].type);
    EXPECT_EQ(page, boxes[0].owner);
    // The new format, recorded with the area and refresh code in force.
    DWORD format = 9;
    ASSERT_TRUE(ReadFormat(&format));
    EXPECT_EQ(0u, format);
    BYTE code = 0;
    ASSERT_TRUE(ReadChoice(15, 800, 600, &code));
    EXPECT_EQ(75, code);
    ExpectRestartRequest();
    EXPECT_TRUE(SameMode(Mode(16, 800, 600, 75), DriverSimCurrent()));
}

TEST_F(ModeChange9xTest, From32KTo64KColoursWaitsForARestart)
{
    BootIn555();
    ASSERT_TRUE(SameMode(Mode(15, 800, 600, 75), DriverSimCurrent())) << Describe(DriverSimCurrent());
    BuildTable();
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "32K色")});
    Apply(Select(16, 800, 600, 85), 1);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    EXPECT_TRUE(Changes().empty()) << Describe(Changes());
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(kFormatRestart, Boxes()[0].text);
    DWORD format = 9;
    ASSERT_TRUE(ReadFormat(&format));
    EXPECT_EQ(1u, format);
    BYTE code = 0;
    ASSERT_TRUE(ReadChoice(16, 800, 600, &code));
    EXPECT_EQ(75, code);   // the code in force, not the chosen 85
    ExpectRestartRequest();
}

// The mode in force runs at a refresh code that the driver's list does not offer, so the
// table lacks it; the format change is still recognised from the driver's report.
TEST_F(ModeChange9xTest, FormatChangeIsRecognisedWhenTheTableLacksTheModeInForce)
{
    BootIn555();
    StartIn(15, 800, 600, 70);
    BuildTable();
    UINT c, a, r;
    QueryCurrentSelection(c, a, r);
    ASSERT_EQ(colorDepthCount, c);
    DriverSimClearCalls();
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "32K色")});
    Apply(Select(16, 1024, 768, 60), 1);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();
    EXPECT_TRUE(Changes().empty()) << Describe(Changes());
    DWORD format = 9;
    ASSERT_TRUE(ReadFormat(&format));
    EXPECT_EQ(1u, format);
    ExpectRestartRequest();
}

// Same area, another refresh code, from a code the table lacks: the revert must bring the
// old code back too, and on this platform that code lives in the driver key.
TEST_F(ModeChange9xTest, RevertRestoresARefreshCodeTheTableLacks)
{
    StartIn(16, 800, 600, 70);
    BuildTable();
    const auto before = RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "設定を変更します"),
                             PressButton(kUtilityCaption, IDCANCEL, "正常に表示されていますか"),
                             PressButton(kUtilityCaption, IDOK, "設定を元に戻しました")});
    Apply(Select(16, 800, 600, 75), 3);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    ExpectCalls(Changes(), {{CDS_TEST, Mode(16, 800, 600, 0)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Mode(16, 800, 600, 0)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Mode(16, 800, 600, 0)}});
    EXPECT_TRUE(SameMode(Mode(16, 800, 600, 70), DriverSimCurrent())) << Describe(DriverSimCurrent());
    EXPECT_EQ(before, RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath));
}

TEST_F(ModeChange9xTest, CancelledChangeLeavesTheColourFormatAlone)
{
    // 64K colours in force; the Direct3D choice ticked for the 256-colour depth chosen.
    BuildTable();
    useDirect3DColor = 1;
    const auto before = RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDCANCEL, "設定を変更します")});
    Apply(Select(8, 1024, 768, 60), 1);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();
    ExpectCalls(Changes(), {{CDS_TEST, Mode(8, 1024, 768, 0)}});
    EXPECT_EQ(before, RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath));
    DWORD format = 9;
    ASSERT_TRUE(ReadFormat(&format));
    EXPECT_EQ(1u, format);
}

class LiveSwitchTest : public ModeChange9xTest {
protected:
    void SetUp() override
    {
        ModeChange9xTest::SetUp();
        if (IsSkipped())
            return;
        UseDisplayModeLibrary();
        StartIn(8, 1024, 768, 75);
        BuildTable();
    }
};

TEST_F(LiveSwitchTest, SwitchNowAndConfirm)
{
    DialogAnswerer answerer({PressButtonText(kUtilityCaption, "切り替え(&G)", "ﾘｽﾀｰﾄしますか"),
                             PressButtonText(kUtilityCaption, "はい(&Y)", "正常に表示されていますか")});
    Apply(Select(16, 1024, 768, 75), 2);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    ExpectCalls(Changes(), {{kQuickResTest, Mode(16, 1024, 768, 0)}, {CDS_UPDATEREGISTRY, Mode(16, 1024, 768, 0)}});
    const auto log = QuickResLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ("QuickResChange 1024x768x16", log[0]);
    EXPECT_TRUE(Boxes().empty());   // no announcement on this road
    EXPECT_TRUE(SameMode(Mode(16, 1024, 768, 75), DriverSimCurrent())) << Describe(DriverSimCurrent());
    ExpectRestartRequest(false);

    const auto dialogs = Dialogs();
    ASSERT_EQ(2u, dialogs.size());
    EXPECT_EQ(120, dialogs[0].templateId);
    EXPECT_EQ(moduleInstance, dialogs[0].instance);
    EXPECT_EQ(page, dialogs[0].owner);
    EXPECT_EQ(reinterpret_cast<DLGPROC>(RestartDialogProc), dialogs[0].proc);
    EXPECT_EQ(1014, dialogs[0].result);
    EXPECT_TRUE(dialogs[0].everyReturnFalse);
    EXPECT_EQ(LoadIconA(nullptr, IDI_QUESTION), dialogs[0].icon);
    ExpectCentred(dialogs[0]);
    EXPECT_EQ(118, dialogs[1].templateId);
    EXPECT_EQ(1, dialogs[1].result);

    const auto seen = answerer.Seen();
    ASSERT_EQ(2u, seen.size());
    const SeenDialog &question = seen[0];
    ASSERT_NE(nullptr, question.Control(1016));
    EXPECT_EQ("ﾘｽﾀｰﾄ(&R)", question.Control(1016)->text);
    ASSERT_NE(nullptr, question.Control(1014));
    EXPECT_EQ("切り替え(&G)", question.Control(1014)->text);
    ASSERT_NE(nullptr, question.Control(IDCANCEL));
    EXPECT_EQ("ｷｬﾝｾﾙ", question.Control(IDCANCEL)->text);
}

TEST_F(LiveSwitchTest, SwitchNowAndRefuse)
{
    DialogAnswerer answerer({PressButtonText(kUtilityCaption, "切り替え(&G)", "ﾘｽﾀｰﾄしますか"),
                             PressButtonText(kUtilityCaption, "いいえ(&N)", "正常に表示されていますか"),
                             PressButton(kUtilityCaption, IDOK, "設定を元に戻しました")});
    Apply(Select(16, 1024, 768, 75), 3);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    ExpectCalls(Changes(), {{kQuickResTest, Mode(16, 1024, 768, 0)},
                            {CDS_UPDATEREGISTRY, Mode(16, 1024, 768, 0)},
                            {CDS_UPDATEREGISTRY, Mode(8, 1024, 768, 0)}});
    const auto log = QuickResLog();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ("QuickResChange 1024x768x16", log[0]);
    EXPECT_EQ("QuickResChange 1024x768x8", log[1]);
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(kRestored, Boxes()[0].text);
    EXPECT_TRUE(SameMode(Mode(8, 1024, 768, 75), DriverSimCurrent())) << Describe(DriverSimCurrent());
}

TEST_F(LiveSwitchTest, RestartRecordsTheAreasFirstRefreshCode)
{
    DialogAnswerer answerer({PressButtonText(kUtilityCaption, "ﾘｽﾀｰﾄ(&R)", "ﾘｽﾀｰﾄしますか")});
    Apply(Select(16, 800, 600, 85), 1);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    ExpectCalls(Changes(), {{kQuickResTest, Mode(16, 800, 600, 0)}, {CDS_UPDATEREGISTRY, Mode(16, 800, 600, 0)}});
    BYTE code = 0;
    ASSERT_TRUE(ReadChoice(16, 800, 600, &code));
    EXPECT_EQ(60, code);
    EXPECT_TRUE(QuickResLog().empty());
    EXPECT_TRUE(Boxes().empty());
    ASSERT_EQ(1u, Dialogs().size());
    EXPECT_EQ(1016, Dialogs()[0].result);
    ExpectRestartRequest();
}

TEST_F(LiveSwitchTest, CancelChangesNothing)
{
    const auto before = RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    DialogAnswerer answerer({PressButtonText(kUtilityCaption, "ｷｬﾝｾﾙ", "ﾘｽﾀｰﾄしますか")});
    Apply(Select(16, 800, 600, 85), 1);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();

    ExpectCalls(Changes(), {{kQuickResTest, Mode(16, 800, 600, 0)}});
    EXPECT_TRUE(QuickResLog().empty());
    EXPECT_TRUE(Boxes().empty());
    ExpectRestartRequest(false);
    EXPECT_EQ(before, RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath));
    EXPECT_TRUE(SameMode(Mode(8, 1024, 768, 75), DriverSimCurrent()));
}

TEST_F(LiveSwitchTest, RefusedLiveTestFallsBackToTheOrdinaryRoad)
{
    DriverSimSetChangeResult(kQuickResTest, DISP_CHANGE_FAILED);
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDCANCEL, "設定を変更します")});
    Apply(Select(16, 800, 600, 85), 1);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();
    ExpectCalls(Changes(), {{kQuickResTest, Mode(16, 800, 600, 0)}, {CDS_TEST, Mode(16, 800, 600, 0)}});
    EXPECT_TRUE(Dialogs().empty());
}

TEST_F(LiveSwitchTest, AreaChangeWithinTheDepthIsNotOfferedLive)
{
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDCANCEL, "設定を変更します")});
    Apply(Select(8, 800, 600, 75), 1);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();
    ExpectCalls(Changes(), {{CDS_TEST, Mode(8, 800, 600, 0)}});
    EXPECT_TRUE(Dialogs().empty());
}

TEST_F(ModeChange9xTest, RecordedFormatSurvivesTheSheetsSecondApply)
{
    BuildTable();
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "32K色")});
    Apply(Select(15, 800, 600, 75), 1);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();
    ExpectRestartRequest();

    UINT c, a, r;
    QueryCurrentSelection(c, a, r);
    ASSERT_EQ(Select(16, 800, 600, 75).colorIndex, c);
    Apply(c, a, r);
    EXPECT_TRUE(Changes().empty()) << Describe(Changes());
    DWORD format = 9;
    ASSERT_TRUE(ReadFormat(&format));
    EXPECT_EQ(0u, format);
}
