// The end of the uninstall run, in-process: which final message it shows, and that the
// restart is asked of the display-mode library only on OK, after the dialog has ended.
// (A real run always has its own program file to schedule, so the plain message needs a
// run without one: here the test program is the one running.)
#include "uninstall_harness.h"

#include "file_fixture.h"
#include "process_state.h"
#include "registry_fixture.h"
#include "uninstall_sequence.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int restartCalls = 0;
HWND runDialog = nullptr;
bool dialogVisibleAtRestart = false;

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A dialog of the test's own, standing in for dialog 101.
HWND CreateOwnerDialog()
{
    struct {
        DLGTEMPLATE t;
        WORD menu, windowClass, title;
    } tmpl = {};
    tmpl.t.style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
    tmpl.t.cx = 100;
    tmpl.t.cy = 40;
    return CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tmpl.t, nullptr, QuietDialog, 0);
}

void SetProcessPaths()
{
    lstrcpynA(windowsDir, WindowsDir().c_str(), MAX_PATH);
    lstrcpynA(systemDir, SystemDir().c_str(), MAX_PATH);
    lstrcpynA(infDir, (WindowsDir() + "\\INF").c_str(), MAX_PATH);
}

// Nothing of the product but its shared pieces: no record, no board in the machine.
SampleInstallation SharedPiecesOnly()
{
    SampleInstallation layout;
    SampleSingleRecord(&layout);
    layout.recordCount = 0;
    layout.counter = nullptr;
    layout.canaries = false;
    layout.progmanGroups = false;
    layout.boardPresent = false;
    return layout;
}

struct FinalMessageCase {
    SeenDialog message;
    bool answered = false;
};

FinalMessageCase RunWithAnswer(int answer)
{
    FinalMessageCase result;
    runDialog = CreateOwnerDialog();
    EXPECT_NE(nullptr, runDialog);
    DialogAnswerer answerer({PressButton("ｱﾝｲﾝｽﾄｰﾙ", answer, "終了しました")});
    EXPECT_EQ(1, RunUninstall(runDialog));
    result.answered = answerer.Wait(30000);
    if (result.answered)
        result.message = answerer.Seen()[0];
    DestroyWindow(runDialog);
    runDialog = nullptr;
    return result;
}

} // namespace

extern "C" int WINAPI RestartWindows(void)
{
    ++restartCalls;
    dialogVisibleAtRestart = runDialog && IsWindowVisible(runDialog);
    return 1;
}

TEST(FinalMessage, NothingDeferredAndNoBoardGivesThePlainMessage)
{
    SampleMachine machine(SharedPiecesOnly());
    ASSERT_TRUE(machine.written());
    SetProcessPaths();
    restartRequired = 0;
    restartCalls = 0;

    FinalMessageCase c = RunWithAnswer(IDOK);
    ASSERT_TRUE(c.answered);
    EXPECT_NE(nullptr, c.message.ControlWithText("ｱﾝｲﾝｽﾄｰﾙが終了しました。")) << c.message.AllTexts();
    EXPECT_FALSE(c.message.HasTextContaining("再起動"));
    EXPECT_NE(nullptr, c.message.Control(IDOK));
    EXPECT_EQ(nullptr, c.message.Control(IDCANCEL));
    EXPECT_EQ(0, restartCalls);
    EXPECT_EQ(0, restartRequired);
    // Nothing of the product was left, so the display-mode libraries went at once.
    EXPECT_FALSE(FileExists(SystemDir() + "\\ZANCHG32.DLL"));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, "Software\\ZANRO INC"));
}

TEST(FinalMessage, DeferredDeletionAsksAndRestartsOnlyOnOkAfterTheDialogEnded)
{
    for (int answer : {IDOK, IDCANCEL}) {
        SampleMachine machine(SharedPiecesOnly());
        ASSERT_TRUE(machine.written());
        SetProcessPaths();
        restartRequired = 0;
        restartCalls = 0;
        // Somebody holds a marker file open with deletion refused: it waits for the boot.
        std::string marker = WindowsDir().substr(0, 3) + "ZANCHG32.ZAN";
        HANDLE held = CreateFileA(marker.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);

        FinalMessageCase c = RunWithAnswer(answer);
        CloseHandle(held);
        ASSERT_TRUE(c.answered);
        EXPECT_TRUE(c.message.HasTextContaining("再起動しますか？")) << c.message.AllTexts();
        EXPECT_NE(nullptr, c.message.Control(IDCANCEL));
        EXPECT_EQ(1, restartRequired);
        EXPECT_EQ(answer == IDOK ? 1 : 0, restartCalls) << answer;
        if (answer == IDOK) {
            EXPECT_FALSE(dialogVisibleAtRestart) << "the restart comes after the dialog has ended";
        }
        std::string list;
        ASSERT_TRUE(ReadFileBytes(WindowsDir() + "\\wininit.ini", &list));
        EXPECT_NE(std::string::npos, list.find("NUL=" + ShortPath(marker))) << list;
        DeleteFileA(marker.c_str());
    }
}
