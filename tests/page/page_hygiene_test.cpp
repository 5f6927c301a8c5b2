// Opening and closing the page again and again gives back every bitmap, device context,
// paint context, hook and heap block it took, and leaves no window behind.
#include "page_fixture.h"

#include "import_counter.h"
#include "keyboard_input.h"
#include "page_state.h"
#include "settings_subclass.h"

#include <cstdio>

namespace {

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*(int *)count;
    return TRUE;
}

int ThreadWindows()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, (LPARAM)&count);
    return count;
}

class PageHygiene : public PageTest {
protected:
    // One visit as a user makes it: the system page, the utility page (drawn, hook in),
    // a step with Alt+Left, the system page again (hook out), back, and the sheet closed.
    void Cycle()
    {
        ASSERT_NO_FATAL_FAILURE(OpenSheet(0, 1, kSystemPageTitle, 30));
        sheet_.Select(1, 30);
        UpdateWindow(sheet_.Window());
        SetKeySettleTime(15);
        AltTap(VK_LEFT);
        SetKeySettleTime(60);
        sheet_.Select(0, 30);
        sheet_.Select(1, 30);
        sheet_.Close();
    }
    void TearDown() override
    {
        RemoveImportCounters();
        PageTest::TearDown();
    }
};

TEST_F(PageHygiene, RepeatedVisitsGiveBackWhatTheyTake)
{
    ASSERT_TRUE(InstallImportCounters(GetModuleHandleA(nullptr)));
    ASSERT_NO_FATAL_FAILURE(Cycle());   // the first visit loads what stays (the position lists, the classes' cursors)
    const int windowsBefore = ThreadWindows();
    ResetResourceCounts();

    // Every count is held to the first visit's times the visits, so one object kept per
    // visit shows from the second visit on; more visits only cost time.
    const int cycles = 25;
    ResourceCounts afterFirst;
    for (int i = 0; i < cycles; ++i) {
        ASSERT_NO_FATAL_FAILURE(Cycle());
        if (i == 0)
            afterFirst = CurrentResourceCounts();
        ASSERT_EQ(nullptr, keyboardHook);
        ASSERT_EQ(nullptr, settingsPageOldProc);
        ASSERT_EQ(nullptr, pageWindow);
    }
    const ResourceCounts c = CurrentResourceCounts();
    std::printf("after %d visits: %s; thread windows %d before, %d after\n", cycles, Describe(c).c_str(),
                windowsBefore, ThreadWindows());
    RecordProperty("counts", Describe(c));

    // Something was taken on every visit ...
    EXPECT_GE(c.bitmapsLoaded, cycles * 6);
    EXPECT_GE(c.hooksSet, cycles * 2);
    EXPECT_GE(c.localAllocs, cycles);
    EXPECT_GE(c.memoryDcsCreated, cycles);
    // ... each visit the same amount ...
    EXPECT_EQ(afterFirst.bitmapsLoaded * cycles, c.bitmapsLoaded);
    EXPECT_EQ(afterFirst.localAllocs * cycles, c.localAllocs);
    EXPECT_EQ(afterFirst.hooksSet * cycles, c.hooksSet);
    // ... and all of it given back.
    EXPECT_EQ(0, c.liveBitmaps);
    EXPECT_EQ(c.bitmapsLoaded, c.objectsDeleted);
    EXPECT_EQ(c.memoryDcsCreated, c.memoryDcsDeleted);
    EXPECT_EQ(c.dcsGot, c.dcsReleased);
    EXPECT_EQ(c.paintsBegun, c.paintsEnded);
    EXPECT_EQ(c.hooksSet, c.hooksRemoved);
    EXPECT_EQ(0, c.liveHooks);
    EXPECT_EQ(c.localAllocs, c.localFrees);
    EXPECT_EQ(0, c.liveLocalBlocks);
    EXPECT_EQ(0, c.liveLocalBytes);
    EXPECT_EQ(windowsBefore, ThreadWindows());
}

} // namespace
