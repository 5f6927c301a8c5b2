// The process runner and the dialog answerer, checked against Wine's own programs and
// message boxes before other tests rely on them.
#include "dialog_answerer.h"
#include "file_fixture.h"
#include "process_runner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Cmd() { return SystemDir() + "\\cmd.exe"; }

struct BoxRequest {
    const char *caption;
    const char *text;
    UINT style;
    int result;
};

DWORD WINAPI ShowBox(void *param)
{
    BoxRequest *request = static_cast<BoxRequest *>(param);
    request->result = MessageBoxA(nullptr, request->text, request->caption, request->style);
    return 0;
}

DWORD WINAPI ShowTwoBoxes(void *param)
{
    BoxRequest *boxes = static_cast<BoxRequest *>(param);
    ShowBox(&boxes[0]);
    ShowBox(&boxes[1]);
    return 0;
}

} // namespace

TEST(ProcessRunner, ReturnsExitCodeUsesDirectoryAndEnvironment)
{
    std::string dir = WindowsDir() + "\\ZANRUNNER";
    ASSERT_TRUE(MakeDirs(dir));
    ASSERT_TRUE(WriteFileBytes(dir + "\\marker.txt", "x"));
    RunOptions options;
    options.currentDir = dir;
    options.env.push_back({"ZAN_RUNNER_PROBE", "abc"});
    options.arguments = "/c if exist marker.txt if \"%ZAN_RUNNER_PROBE%\"==\"abc\" exit 7";
    RunResult r = RunProgram(Cmd(), options);
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(7u, r.exitCode);

    options.env.clear();
    r = RunProgram(Cmd(), options);  // without the variable the condition fails
    EXPECT_EQ(0u, r.exitCode);
    RemovePath(dir);
}

TEST(ProcessRunner, KillsOnTimeoutAndReportsMissingProgram)
{
    RunOptions options;
    // ping itself, not through cmd: a killed cmd would leave its ping running.
    options.arguments = "-n 30 127.0.0.1";
    options.timeoutMs = 1000;
    RunResult r = RunProgram(SystemDir() + "\\ping.exe", options);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.timedOut);
    EXPECT_EQ(kKilledExitCode, r.exitCode);

    r = RunProgram("C:\\no\\such\\program.exe");
    EXPECT_FALSE(r.started);
    EXPECT_NE(0u, r.startError);
}

TEST(DialogAnswerer, AnswersASequenceAndRecordsTexts)
{
    // One thread shows two boxes one after the other, as a program's run would.
    BoxRequest boxes[2] = {{"ZanProbeA", "first box", MB_YESNO | MB_ICONQUESTION, 0},
                           {"ZanProbeB", "second box", MB_OKCANCEL, 0}};
    DialogAnswerer answerer({PressButton("ZanProbeA", IDNO, "first"), PressButtonText("ZanProbeB", "OK")});
    HANDLE t = CreateThread(nullptr, 0, ShowTwoBoxes, boxes, 0, nullptr);
    ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 20000));
    CloseHandle(t);
    EXPECT_EQ(IDNO, boxes[0].result);
    EXPECT_EQ(IDOK, boxes[1].result);
    std::vector<SeenDialog> seen = answerer.Seen();
    ASSERT_EQ(2u, seen.size());
    EXPECT_TRUE(seen[0].HasTextContaining("first box")) << seen[0].AllTexts();
    EXPECT_NE(nullptr, seen[0].Control(IDYES));
    EXPECT_EQ(IDNO, seen[0].pressedId);
    EXPECT_TRUE(seen[1].HasTextContaining("second box")) << seen[1].AllTexts();
    EXPECT_EQ(IDOK, seen[1].pressedId);
}

TEST(DialogAnswerer, PressesByTextAndTimesOutCleanly)
{
    BoxRequest box = {"ZanProbeC", "third box", MB_OKCANCEL, 0};
    HANDLE t = CreateThread(nullptr, 0, ShowBox, &box, 0, nullptr);
    {
        ExpectedDialog expected;
        expected.caption = "ZanProbeC";
        expected.mustContain = "third";
        expected.pressId = IDCANCEL;
        expected.method = PressMethod::Command;
        DialogAnswerer answerer({expected});
        ASSERT_TRUE(answerer.Wait(20000)) << answerer.Failure();
        std::vector<SeenDialog> seen = answerer.Seen();
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ("ZanProbeC", seen[0].caption);
        EXPECT_TRUE(seen[0].HasTextContaining("third box")) << seen[0].AllTexts();
        EXPECT_EQ(GetCurrentProcessId(), seen[0].processId);
        EXPECT_TRUE(seen[0].style & WS_CAPTION);
    }
    WaitForSingleObject(t, 20000);
    CloseHandle(t);
    EXPECT_EQ(IDCANCEL, box.result);

    ExpectedDialog never;
    never.caption = "ZanProbeNeverShown";
    never.pressId = IDOK;
    never.timeoutMs = 500;
    DialogAnswerer answerer({never});
    EXPECT_FALSE(answerer.Wait(10000));
    EXPECT_NE(std::string::npos, answerer.Failure().find("timed out")) << answerer.Failure();
}
