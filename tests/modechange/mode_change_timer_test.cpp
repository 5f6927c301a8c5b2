// Nobody answers the confirmation: after the real ten seconds the old mode returns.
#include "adapter_state.h"
#include "mode_change.h"
#include "mode_change_fixture.h"
#include "program_road.h"

TEST_F(ModeChangeTest, UnansweredConfirmationRevertsAfterTenSeconds)
{
    // The timer is the same on every road: its ten seconds are waited for on one.
    if (ProgramRoad() != kRoadWin98)
        GTEST_SKIP() << "waited for as Windows 98";
    BuildTable();
    ExpectedDialog watch = PressButton(kUtilityCaption, 0, "正常に表示されていますか");
    watch.method = PressMethod::None;
    ExpectedDialog restored = PressButton(kUtilityCaption, IDOK, "設定を元に戻しました");
    restored.timeoutMs = 30000;
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "設定を変更します"), watch, restored});
    Apply(Select(24, 1024, 768, 75), 3);
    ASSERT_TRUE(answerer.Wait(60000)) << answerer.Failure();

    const auto dialogs = Dialogs();
    ASSERT_EQ(1u, dialogs.size());
    EXPECT_EQ(2, dialogs[0].result);
    EXPECT_GE(dialogs[0].elapsedMs, 9900u);
    EXPECT_LT(dialogs[0].elapsedMs, 13000u);

    // Set at 9997 for ten seconds, killed at the tick.
    const auto timers = Timers();
    ASSERT_EQ(2u, timers.size());
    EXPECT_FALSE(timers[0].kill);
    EXPECT_EQ(static_cast<UINT_PTR>(9997), timers[0].id);
    EXPECT_EQ(10000u, timers[0].period);
    EXPECT_EQ(static_cast<UINT_PTR>(9997), testTimerId);
    EXPECT_TRUE(timers[1].kill);
    EXPECT_EQ(timers[0].window, timers[1].window);
    EXPECT_EQ(testTimerId, timers[1].id);

    ExpectCalls(Changes(), {{CDS_TEST, Listed(24, 1024, 768, 75)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Listed(24, 1024, 768, 75)},
                            {CDS_RESET | CDS_UPDATEREGISTRY, Listed(16, 800, 600, 75)}});
    EXPECT_TRUE(SameMode(Mode(16, 800, 600, 75), DriverSimCurrent())) << Describe(DriverSimCurrent());
    const auto boxes = Boxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("設定を元に戻しました。", boxes[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes[1].type);
    EXPECT_EQ(page, boxes[1].owner);
}
