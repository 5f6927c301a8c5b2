// The built ZANDEL.EXE started the way a user starts it: from an installation folder it
// records that folder, copies itself into the Windows directory and starts the copy, which
// asks for confirmation in dialog 101.
#include "dialog_answerer.h"
#include "file_fixture.h"
#include "process_runner.h"
#include "registry_fixture.h"
#include "test_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kProductKey[] = "SOFTWARE\\ZANRO INC\\DISPLAY";
const char kCaption[] = "ｱﾝｲﾝｽﾄｰﾙ";
const char kQuestion[] = "ｱﾝｲﾝｽﾄｰﾙを実行します。よろしいですか？";
const char kCannotStart[] = "ｱﾝｲﾝｽﾄｰﾗを起動できません。\nｱﾝｲﾝｽﾄｰﾙを中止します。";
const char kTestRoot[] = "C:\\ZANSTART";
// A folder name in katakana with a space, as the installer may well choose.
const char kInstallDir[] = "C:\\ZANSTART\\ｻﾞﾝﾛ ﾃﾞｨｽﾌﾟﾚｲ";

const DWORD kWaitMs = 30000;

class Relocation : public ::testing::Test {
protected:
    void SetUp() override
    {
        KillProcessesNamed("ZANDEL.EXE");
        RemovePath(WindowsCopy());
        RemovePath(kTestRoot);
        RegRemoveTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZANRO INC");
        ASSERT_TRUE(RegCreatePath(HKEY_LOCAL_MACHINE, kProductKey));
        ASSERT_TRUE(MakeDirs(kInstallDir));
        ASSERT_TRUE(CopyFileA(DistPath("ZANDEL.EXE").c_str(), (std::string(kInstallDir) + "\\ZANDEL.EXE").c_str(), FALSE));
        // The display-mode library lives in the system directory, as the board's installer
        // leaves it; the program is linked against it.
        std::string library = SystemDir() + "\\ZANCHG32.DLL";
        addedLibrary_ = !FileExists(library);
        if (addedLibrary_) {
            ASSERT_TRUE(CopyFileA(DistPath("ZANCHG32.DLL").c_str(), library.c_str(), FALSE));
        }
    }
    void TearDown() override
    {
        KillProcessesNamed("ZANDEL.EXE");
        RemovePath(WindowsCopy());
        RemovePath(kTestRoot);
        RegRemoveTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZANRO INC");
        if (addedLibrary_)
            RemovePath(SystemDir() + "\\ZANCHG32.DLL");
    }

    static std::string WindowsCopy() { return WindowsDir() + "\\ZANDEL.EXE"; }
    static std::string BootDir() { return RegReadString(HKEY_LOCAL_MACHINE, kProductKey, "BootDir"); }
    static bool HasBootDir() { return RegValueExists(HKEY_LOCAL_MACHINE, kProductKey, "BootDir"); }

    static RunResult Start(const std::string &exe, const std::string &currentDir)
    {
        RunOptions options;
        options.currentDir = currentDir;
        options.timeoutMs = kWaitMs;
        return RunProgram(exe, options);
    }

    // Dialog 101 as the copy shows it, recorded but left open.
    static ExpectedDialog Confirmation()
    {
        ExpectedDialog expected = PressButtonText(kCaption, "いいえ", "よろしいですか");
        expected.method = PressMethod::None;
        return expected;
    }

    bool addedLibrary_ = false;
};

bool StillOpen(HWND window)
{
    return IsWindow(window) && IsWindowVisible(window);
}

} // namespace

TEST_F(Relocation, CopiesItselfRecordsTheFolderAndAsks)
{
    DialogAnswerer answerer({Confirmation()});
    RunResult first = Start(std::string(kInstallDir) + "\\ZANDEL.EXE", kInstallDir);
    ASSERT_TRUE(first.started) << first.startError;
    EXPECT_FALSE(first.timedOut);
    EXPECT_EQ(1u, first.exitCode);  // the copy was started

    ASSERT_TRUE(answerer.Wait(kWaitMs)) << answerer.Failure();
    SeenDialog dialog = answerer.Seen()[0];
    // The dialog belongs to another process: the copy in the Windows directory.
    EXPECT_NE(first.processId, dialog.processId);
    EXPECT_TRUE(FileExists(WindowsCopy()));
    std::string original, copy;
    ASSERT_TRUE(ReadFileBytes(DistPath("ZANDEL.EXE"), &original));
    ASSERT_TRUE(ReadFileBytes(WindowsCopy(), &copy));
    EXPECT_TRUE(original == copy) << "the copy differs from the program";
    // The folder it was started from, byte for byte (Shift-JIS).
    EXPECT_EQ(kInstallDir, BootDir());

    // What the dialog shows.
    EXPECT_EQ(kCaption, dialog.caption);
    EXPECT_EQ("#32770", dialog.className);
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(frame, dialog.style & frame);
    ASSERT_EQ(3u, dialog.controls.size()) << dialog.AllTexts();
    const SeenControl *yes = dialog.Control(IDYES);
    const SeenControl *no = dialog.Control(IDNO);
    const SeenControl *text = dialog.Control(-1);
    ASSERT_TRUE(yes && no && text) << dialog.AllTexts();
    EXPECT_EQ("はい", yes->text);
    EXPECT_EQ("いいえ", no->text);
    EXPECT_EQ(kQuestion, text->text);
    EXPECT_EQ(static_cast<DWORD>(BS_DEFPUSHBUTTON), yes->style & 0x0F);
    EXPECT_EQ(static_cast<DWORD>(BS_PUSHBUTTON), no->style & 0x0F);
    EXPECT_TRUE(yes->style & WS_TABSTOP);
    EXPECT_TRUE(no->style & WS_TABSTOP);
    EXPECT_EQ(static_cast<DWORD>(SS_LEFT), text->style & 0x1F);
    EXPECT_TRUE(text->style & WS_GROUP);
    EXPECT_LT(yes->rect.left, no->rect.left);
    EXPECT_LT(text->rect.bottom, yes->rect.top);
    // Centred on the primary screen.
    int width = dialog.rect.right - dialog.rect.left, height = dialog.rect.bottom - dialog.rect.top;
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - width) / 2, dialog.rect.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - height) / 2, dialog.rect.top);

    // Esc, the close box and notifications other than a click leave it open.
    PostMessageA(dialog.window, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(dialog.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(dialog.window, WM_COMMAND, MAKEWPARAM(IDNO, BN_SETFOCUS), 0);
    PostMessageA(dialog.window, WM_COMMAND, MAKEWPARAM(IDYES, 1), 0);
    Sleep(1000);
    EXPECT_TRUE(StillOpen(dialog.window));
    EXPECT_EQ(kInstallDir, BootDir());

    // "いいえ": the folder is forgotten, the copy stays, the program ends with 1.
    ASSERT_TRUE(PressDialogButton(dialog.window, IDNO));
    RunResult working = answerer.WaitProcess(0, kWaitMs);
    ASSERT_TRUE(working.started);
    EXPECT_FALSE(working.timedOut);
    EXPECT_EQ(1u, working.exitCode);
    EXPECT_FALSE(HasBootDir());
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_TRUE(FileExists(WindowsCopy()));
    EXPECT_TRUE(FileExists(std::string(kInstallDir) + "\\ZANDEL.EXE"));
}

TEST_F(Relocation, WithoutTheProductKeyNothingIsRecordedButTheCopyStillAsks)
{
    RegRemoveTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZANRO INC");
    DialogAnswerer answerer({PressButtonText(kCaption, "いいえ", "よろしいですか")});
    RunResult first = Start(std::string(kInstallDir) + "\\ZANDEL.EXE", kInstallDir);
    EXPECT_EQ(1u, first.exitCode);
    ASSERT_TRUE(answerer.Wait(kWaitMs)) << answerer.Failure();
    RunResult working = answerer.WaitProcess(0, kWaitMs);
    EXPECT_EQ(1u, working.exitCode);
    // The key is opened, never created.
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kProductKey));
    EXPECT_TRUE(FileExists(WindowsCopy()));
}

TEST_F(Relocation, NoProgramInTheCurrentDirectoryStopsWithMessageA)
{
    // The program's own folder does not count: the copy is looked for in the current one.
    std::string elsewhere = std::string(kTestRoot) + "\\EMPTY";
    ASSERT_TRUE(MakeDirs(elsewhere));
    DialogAnswerer answerer({PressButton(kCaption, IDOK, "起動できません")});
    RunResult first = Start(std::string(kInstallDir) + "\\ZANDEL.EXE", elsewhere);
    ASSERT_TRUE(answerer.Wait(kWaitMs)) << answerer.Failure();
    SeenDialog box = answerer.Seen()[0];
    EXPECT_EQ(first.processId, box.processId);
    EXPECT_TRUE(box.HasTextContaining(kCannotStart)) << box.AllTexts();
    EXPECT_NE(nullptr, box.Control(IDOK));
    EXPECT_EQ(nullptr, box.Control(IDCANCEL));
    EXPECT_FALSE(first.timedOut);
    EXPECT_EQ(0u, first.exitCode);
    EXPECT_FALSE(FileExists(WindowsCopy()));
    // The folder was recorded before the copy failed, and stays.
    EXPECT_EQ(elsewhere, BootDir());
}

TEST_F(Relocation, ACopyThatCannotBeStartedStopsWithMessageA)
{
    // Copying works, starting does not: the "program" is not one.
    ASSERT_TRUE(WriteFileBytes(std::string(kInstallDir) + "\\ZANDEL.EXE", "not a program"));
    DialogAnswerer answerer({PressButton(kCaption, IDOK, "起動できません")});
    RunResult first = Start(DistPath("ZANDEL.EXE"), kInstallDir);
    ASSERT_TRUE(answerer.Wait(kWaitMs)) << answerer.Failure();
    EXPECT_TRUE(answerer.Seen()[0].HasTextContaining(kCannotStart));
    EXPECT_EQ(0u, first.exitCode);
    std::string copied;
    EXPECT_TRUE(ReadFileBytes(WindowsCopy(), &copied));
    EXPECT_EQ("not a program", copied);
    EXPECT_EQ(kInstallDir, BootDir());
}

TEST_F(Relocation, WindowsDirectoryInOtherCaseIsTheWindowsDirectory)
{
    // Started with the Windows directory as current directory, spelled in capitals: no
    // copy, no new "BootDir"; the program asks at once, in its own process.
    std::string upper = WindowsDir();
    for (char &c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    ASSERT_NE(upper, WindowsDir()) << "the test needs a Windows directory with lower-case letters";
    ASSERT_TRUE(RegWriteString(HKEY_LOCAL_MACHINE, kProductKey, "BootDir", "C:\\EARLIER"));

    DialogAnswerer answerer({Confirmation()});
    RunningProgram program = StartProgram(std::string(kInstallDir) + "\\ZANDEL.EXE",
                                          [&] { RunOptions o; o.currentDir = upper; return o; }());
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(answerer.Wait(kWaitMs)) << answerer.Failure();
    SeenDialog dialog = answerer.Seen()[0];
    EXPECT_EQ(program.processId, dialog.processId);
    EXPECT_FALSE(FileExists(WindowsCopy()));
    EXPECT_EQ("C:\\EARLIER", BootDir());  // whatever an earlier start left

    ASSERT_TRUE(PressDialogButton(dialog.window, IDNO));
    RunResult r = WaitProgram(&program, kWaitMs);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(1u, r.exitCode);
    EXPECT_FALSE(HasBootDir());
    EXPECT_FALSE(FileExists(WindowsCopy()));
}
