// A stand-in for the user in front of the screen: a background thread that waits for a
// sequence of dialogs or message boxes (top-level windows of any process), records what
// each one shows and presses a chosen button.
//
//   DialogAnswerer answerer({
//       PressButtonText("ｱﾝｲﾝｽﾄｰﾙ", "いいえ", "よろしいですか"),  // dialog 101: press いいえ
//       PressButton("ｱﾝｲﾝｽﾄｰﾙ", IDOK),                          // then OK in a message box
//   });
//   RunResult r = RunProgram(exe, options);         // the program under test, meanwhile
//   ASSERT_TRUE(answerer.Wait(30000)) << answerer.Failure();
//   const SeenDialog &d = answerer.Seen()[0];
//   EXPECT_EQ("ｱﾝｲﾝｽﾄｰﾙを実行します。よろしいですか？", d.Control(-1)->text);
//   RunResult copy = answerer.WaitProcess(0, 30000); // the process that showed dialog 0
//
// Texts are ANSI (code page 932 under the test machine's locale), compared byte for byte.
// Each expected dialog is looked for only after the previous one has been answered; a
// window once answered is never matched again. Matching windows must be visible and
// enabled. Windows that appear meanwhile and match nothing (only dialog-class windows,
// "#32770") are recorded in Unexpected(), which helps to explain a failure.
// The destructor stops the thread and closes the process handles it kept.
#ifndef DIALOG_ANSWERER_H
#define DIALOG_ANSWERER_H

#include "process_runner.h"

#include <windows.h>

#include <string>
#include <vector>

struct SeenControl {
    int id = 0;              // GetDlgCtrlID; -1 (0xFFFF in a template) reads as 65535 in Win32,
                             // and is reported as -1 here, as resource scripts write it
    std::string className;   // "Button", "Static", ...
    std::string text;
    DWORD style = 0;
    RECT rect = {0, 0, 0, 0};  // screen coordinates
};

struct SeenDialog {
    HWND window = nullptr;
    std::string caption;
    std::string className;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect = {0, 0, 0, 0};     // screen coordinates
    RECT client = {0, 0, 0, 0};   // client size (left/top 0)
    std::vector<SeenControl> controls;
    DWORD processId = 0;
    HANDLE process = nullptr;     // owned by the answerer; for WaitProcess
    bool pressed = false;
    int pressedId = 0;
    std::string screenshot;       // path written, when one was asked for and saved

    const SeenControl *Control(int id) const;              // nullptr when absent
    const SeenControl *ControlWithText(const std::string &text) const;
    bool HasTextContaining(const std::string &part) const;  // any control
    std::string AllTexts() const;                           // for failure messages
};

enum class PressMethod {
    Click,    // post BM_CLICK to the button: the button notifies its parent as for a mouse click
    Command,  // post WM_COMMAND (id, BN_CLICKED, button) to the dialog
    None,     // record only; leave the dialog as it is
};

struct ExpectedDialog {
    std::string caption;              // exact window text
    std::string mustContain;          // some control's text must contain it; empty: any
    int pressId = 0;                  // the button to press by id (when pressText is empty)
    std::string pressText;            // or by its exact text
    std::string screenshotBmp;        // optional: a BMP of the window before pressing
    PressMethod method = PressMethod::Click;
    DWORD settleMs = 300;             // pause between finding and recording/pressing
    DWORD timeoutMs = 30000;          // how long to wait for this dialog
};

// Shorthands: press a button by id / by its text; mustContain as in ExpectedDialog.
ExpectedDialog PressButton(const std::string &caption, int buttonId, const std::string &mustContain = "");
ExpectedDialog PressButtonText(const std::string &caption, const std::string &buttonText,
                               const std::string &mustContain = "");

class DialogAnswerer {
public:
    explicit DialogAnswerer(const std::vector<ExpectedDialog> &sequence);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer &) = delete;
    DialogAnswerer &operator=(const DialogAnswerer &) = delete;

    // Waits until every expected dialog was answered (true) or the sequence failed or the
    // wait ran out (false).
    bool Wait(DWORD timeoutMs);
    bool Done() const;
    std::string Failure() const;             // empty while nothing went wrong
    std::vector<SeenDialog> Seen() const;    // in the order answered
    std::vector<SeenDialog> Unexpected() const;
    // Waits for the end of the process that showed dialog `index` (see process_runner.h).
    RunResult WaitProcess(size_t index, DWORD timeoutMs);

private:
    static DWORD WINAPI ThreadMain(void *self);
    void Run();
    void Fail(const std::string &why);

    std::vector<ExpectedDialog> sequence_;
    std::vector<SeenDialog> seen_;
    std::vector<SeenDialog> unexpected_;
    std::vector<HWND> handled_;
    std::string failure_;
    bool done_ = false;
    mutable CRITICAL_SECTION lock_;
    HANDLE stop_ = nullptr;
    HANDLE finished_ = nullptr;
    HANDLE thread_ = nullptr;
};

// Presses a button of a dialog the test found itself (e.g. one an answerer only recorded,
// with PressMethod::None, so that the test could look at the machine first).
bool PressDialogButton(HWND dialog, int buttonId, PressMethod method = PressMethod::Click);
// Records a window and its child controls as the answerer does (usable on any window).
SeenDialog DescribeWindow(HWND window);
// Top-level visible windows of any process with exactly this caption.
std::vector<HWND> FindTopLevelWindows(const std::string &caption);
// Saves a 24-bit BMP of what the screen shows in the window's rectangle.
bool CaptureWindowBmp(HWND window, const std::string &path);
// Saves a 24-bit BMP of the whole screen.
bool CaptureScreenBmp(const std::string &path);

#endif
