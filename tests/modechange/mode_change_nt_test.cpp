// Windows NT: the same selection changes no mode, the driver key is never written, and
// the 95 family's format and live-switch roads do not exist.
#include "adapter_state.h"
#include "mode_change.h"
#include "mode_change_fixture.h"
#include "program_road.h"
#include "registry_fixture.h"

class ModeChangeNtTest : public ModeChangeTest {
protected:
    void SetUp() override
    {
        ModeChangeTest::SetUp();
        if (ProgramRoad() != kRoadNt)
            GTEST_SKIP() << "a road of Windows NT";
        ASSERT_FALSE(RunningWin9x());
    }
};

TEST_F(ModeChangeNtTest, SameSelectionMakesNoModeCall)
{
    BuildTable();
    Apply(Select(16, 800, 600, 75));
    EXPECT_TRUE(Changes().empty()) << Describe(Changes());
    EXPECT_TRUE(Boxes().empty());
    EXPECT_TRUE(Dialogs().empty());
    ExpectRestartRequest(false);
}

TEST_F(ModeChangeNtTest, RefreshChangeTakesTheOrdinaryRoadAndWritesNoDriverValues)
{
    // Flags that only the 95 family heeds change nothing here.
    quickResAvailable = 1;
    has555or565 = 1;
    BuildTable();
    const auto before = RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath);
    DialogAnswerer answerer({PressButton(kUtilityCaption, IDOK, "設定を変更します"),
                             PressButtonText(kUtilityCaption, "はい(&Y)", "正常に表示されていますか")});
    Apply(Select(8, 800, 600, 60), 2);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();
    ExpectCalls(Changes(), {{CDS_TEST, Mode(8, 800, 600, 60)}, {CDS_RESET | CDS_UPDATEREGISTRY, Mode(8, 800, 600, 60)}});
    EXPECT_TRUE(SameMode(Mode(8, 800, 600, 60), DriverSimCurrent())) << Describe(DriverSimCurrent());
    EXPECT_EQ(before, RegSnapshot(HKEY_LOCAL_MACHINE, kDriverKeyPath));
    ExpectRestartRequest(false);
}
