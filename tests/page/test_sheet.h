// A Display-properties-like sheet for tests, run modelessly on the test's own thread:
// the pages under test plus a stand-in of the system's settings page that records the
// notifications it gets.
#ifndef TEST_SHEET_H
#define TEST_SHEET_H

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

// What the stand-in system settings page has seen.
struct SystemPageRecord {
    int applies = 0;
    int activations = 0;
    HWND window = nullptr;
};

// A page with an empty dialog whose caption (the window text the utility looks for) is
// title, recording into record (which must outlive the page).
HPROPSHEETPAGE CreateSystemPage(const std::string &title, SystemPageRecord *record);

// Runs the thread's messages for a while. With a sheet, its dialog keys (Tab, Escape,
// Enter) are handled as a modeless sheet's owner would.
void Pump(DWORD milliseconds, HWND sheet = nullptr);

class TestSheet {
public:
    TestSheet() = default;
    ~TestSheet() { Close(); }
    TestSheet(const TestSheet &) = delete;
    TestSheet &operator=(const TestSheet &) = delete;

    // Shows the pages (the sheet owns them from here) with the caption "画面のプロパティ".
    bool Open(const std::vector<HPROPSHEETPAGE> &pages, int startPage, DWORD settleMs = 200);
    HWND Window() const { return sheet_; }
    // The page's window, null while the page was never shown.
    HWND Page(int index) const;
    void Select(int index, DWORD settleMs = 100);
    // PSBTN_OK / PSBTN_APPLYNOW / PSBTN_CANCEL, as the user's click on the button.
    void Press(int button);
    bool IsOpen() const;
    bool ApplyEnabled() const;
    // Destroys the sheet with its pages.
    void Close();
    // The sheet's messages, with its dialog keys unless dialogKeys is false.
    void Run(DWORD milliseconds, bool dialogKeys = true);

private:
    HWND sheet_ = nullptr;
};

#endif
