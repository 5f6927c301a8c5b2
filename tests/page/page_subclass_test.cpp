// Sharing Apply with the system's own settings page: the page that the user activated last
// sets the mode, whatever order the pages were visited in, in a first sheet and in a later
// one in the same process.
#include "page_fixture.h"

#include "adapter_state.h"
#include "driver_sim.h"
#include "page_state.h"
#include "position_engine.h"
#include "settings_subclass.h"

namespace {

class PageSubclass : public PageTest {
protected:
    // Moves the screen one step, so that the utility's Apply can be seen: it makes the
    // moved position the new baseline. On the Windows 95 family the utility's Apply of an
    // unchanged mode also sets that mode once more.
    void PrepareApply()
    {
        ASSERT_EQ(1, MovePosition(POSMOVE_RESET));
        bool roomLeft = horizontalAxis.baselineIndex + 1 < horizontalAxis.valueCount;
        ASSERT_EQ(1, MovePosition(roomLeft ? POSMOVE_LEFT : POSMOVE_RIGHT));
        movedIndex_ = horizontalAxis.currentIndex;
        ASSERT_NE(movedIndex_, horizontalAxis.baselineIndex);
        DriverSimClearCalls();
        system_.applies = 0;
    }
    bool UtilityApplied()
    {
        bool moved = horizontalAxis.baselineIndex == movedIndex_;
        if (isWin9x) {
            EXPECT_EQ(moved ? 1 : 0, ModeSets(CDS_UPDATEREGISTRY));
        }
        return moved;
    }
    bool SystemPageSubclassed()
    {
        return settingsPageOldProc && system_.window && settingsPageWindow == system_.window &&
               (WNDPROC)GetWindowLongPtrA(system_.window, GWLP_WNDPROC) == SettingsPageSubclassProc;
    }
    LONG movedIndex_ = -1;
};

TEST_F(PageSubclass, OnlyTheUtilityPageShownItAppliesAndNothingIsSubclassed)
{
    ASSERT_NO_FATAL_FAILURE(OpenSheet(1));
    PrepareApply();
    sheet_.Press(PSBTN_OK);
    EXPECT_FALSE(sheet_.IsOpen());
    EXPECT_EQ(nullptr, system_.window) << "the system page was never made";
    EXPECT_EQ(0, system_.applies);
    EXPECT_EQ(nullptr, settingsPageOldProc);
    EXPECT_TRUE(UtilityApplied());
}

TEST_F(PageSubclass, SystemPageFirstThenTheUtilityPageTheUtilityApplies)
{
    ASSERT_NO_FATAL_FAILURE(OpenSheet(0));
    EXPECT_EQ(nullptr, settingsPageOldProc);
    sheet_.Select(1);
    EXPECT_TRUE(SystemPageSubclassed());
    EXPECT_EQ(1u, pageOwnsMode);
    EXPECT_EQ(0u, skipPageApply);
    PrepareApply();
    sheet_.Press(PSBTN_OK);
    EXPECT_EQ(0, system_.applies) << "the system page's Apply is swallowed";
    EXPECT_TRUE(UtilityApplied());
}

TEST_F(PageSubclass, SystemPageActivatedLastAppliesAloneUntilTheUtilityIsActiveAgain)
{
    ASSERT_NO_FATAL_FAILURE(OpenSheet(0));
    sheet_.Select(1);
    sheet_.Select(0);   // seen through the subclass
    EXPECT_EQ(0u, pageOwnsMode);
    EXPECT_EQ(1u, skipPageApply);
    PrepareApply();
    sheet_.Press(PSBTN_APPLYNOW);
    EXPECT_EQ(1, system_.applies);
    EXPECT_FALSE(UtilityApplied());

    PrepareApply();
    sheet_.Press(PSBTN_APPLYNOW);
    EXPECT_EQ(1, system_.applies);
    EXPECT_FALSE(UtilityApplied()) << "still the system page's mode";

    sheet_.Select(1);
    PrepareApply();
    sheet_.Press(PSBTN_OK);
    EXPECT_EQ(0, system_.applies);
    EXPECT_TRUE(UtilityApplied());
}

TEST_F(PageSubclass, SystemPageMadeAfterTheUtilityPageIsSubclassedAtApply)
{
    for (int utilityIndex : {1, 0}) {
        SCOPED_TRACE(utilityIndex == 1 ? "system page first in the sheet" : "utility page first in the sheet");
        ASSERT_NO_FATAL_FAILURE(OpenSheet(utilityIndex, utilityIndex));
        sheet_.Select(1 - utilityIndex);   // the system page is made now, not subclassed
        EXPECT_EQ(nullptr, settingsPageOldProc);
        EXPECT_EQ(1, system_.activations);
        EXPECT_EQ(1u, pageOwnsMode);
        PrepareApply();
        sheet_.Press(PSBTN_OK);
        EXPECT_TRUE(SystemPageSubclassed());
        EXPECT_EQ(1, system_.applies);
        EXPECT_FALSE(UtilityApplied());
        sheet_.Close();
        EXPECT_EQ(nullptr, settingsPageOldProc) << "forgotten with the window";
        system_ = SystemPageRecord();
    }
}

TEST_F(PageSubclass, EachTitleOfTheSystemPageIsFoundAndNothingElse)
{
    const char *titles[] = {"ﾃﾞｨｽﾌﾟﾚｲの詳細", "ﾃﾞｨｽﾌﾟﾚｲの設定", "ディスプレイの詳細", "ディスプレイの設定", "設定"};
    for (const char *title : titles) {
        SCOPED_TRACE(title);
        ASSERT_NO_FATAL_FAILURE(OpenSheet(0, 1, title));
        sheet_.Select(1);
        EXPECT_TRUE(SystemPageSubclassed());
        sheet_.Close();
        system_ = SystemPageRecord();
    }
    const char *others[] = {"ﾃﾞｨｽﾌﾟﾚｲの詳細 ", "ﾃﾞｨｽﾌﾟﾚｲ", "ディスプレイ", "設定 ", "ﾃﾞｨｽﾌﾟﾚｲの詳", "画面"};
    for (const char *title : others) {
        SCOPED_TRACE(title);
        ASSERT_NO_FATAL_FAILURE(OpenSheet(0, 1, title));
        sheet_.Select(1);
        EXPECT_EQ(nullptr, settingsPageOldProc);
        // Not recognised: each page applies for itself.
        PrepareApply();
        sheet_.Press(PSBTN_OK);
        EXPECT_EQ(1, system_.applies);
        EXPECT_TRUE(UtilityApplied());
        sheet_.Close();
        system_ = SystemPageRecord();
    }
}

TEST_F(PageSubclass, ASecondSheetInTheSameProcessSharesApplyLikeTheFirst)
{
    // First sheet: the system page had the last word.
    ASSERT_NO_FATAL_FAILURE(OpenSheet(0));
    sheet_.Select(1);
    sheet_.Select(0);
    PrepareApply();
    sheet_.Press(PSBTN_OK);
    EXPECT_EQ(1, system_.applies);
    EXPECT_FALSE(UtilityApplied());
    sheet_.Close();
    EXPECT_EQ(nullptr, settingsPageOldProc);
    EXPECT_EQ(nullptr, settingsPageWindow);
    EXPECT_EQ(1u, pageOwnsMode);
    EXPECT_EQ(0u, skipPageApply);

    // Second sheet, the same visits as the first's second half: the utility applies alone.
    system_ = SystemPageRecord();
    ASSERT_NO_FATAL_FAILURE(OpenSheet(0));
    sheet_.Select(1);
    EXPECT_TRUE(SystemPageSubclassed()) << "the new system page is subclassed afresh";
    PrepareApply();
    sheet_.Press(PSBTN_APPLYNOW);
    EXPECT_EQ(0, system_.applies);
    EXPECT_TRUE(UtilityApplied());
    sheet_.Select(0);
    PrepareApply();
    sheet_.Press(PSBTN_OK);
    EXPECT_EQ(1, system_.applies);
    EXPECT_FALSE(UtilityApplied());
}

TEST_F(PageSubclass, WhenTheUtilityPageGoesFirstTheSystemPageAppliesAgain)
{
    ASSERT_NO_FATAL_FAILURE(OpenSheet(0));
    sheet_.Select(1);
    ASSERT_TRUE(SystemPageSubclassed());
    ASSERT_EQ(1u, pageOwnsMode);
    PropSheet_RemovePage(sheet_.Window(), 1, nullptr);
    sheet_.Run(100);
    EXPECT_EQ(nullptr, pageWindow);
    system_.applies = 0;
    sheet_.Press(PSBTN_OK);
    EXPECT_EQ(1, system_.applies) << "nobody else is left to set the mode";
}

} // namespace
