#include "test_sheet.h"

namespace {

// Without a window manager (the tests' X server has none), Wine waits two seconds for one
// to acknowledge every managed window that goes away: a hundred sheets would take minutes.
// These windows need no manager. Wine reads the setting when the process starts, so a
// program that finds it unset sets it for its own name and runs itself again at once.
std::string ReadWineSetting(const std::string &key)
{
    char value[16] = "";
    DWORD size = sizeof value - 1;
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return "";
    if (RegQueryValueExA(h, "Managed", nullptr, nullptr, (BYTE *)value, &size) != ERROR_SUCCESS)
        value[0] = 0;
    RegCloseKey(h);
    return value;
}

struct UnmanagedWindows {
    UnmanagedWindows()
    {
        if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))
            return;
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
        if (n == 0 || n >= sizeof path)
            return;
        const char *name = path;
        for (const char *p = path; *p; ++p)
            if (*p == '\\' || *p == '/')
                name = p + 1;
        const std::string appKey = std::string("Software\\Wine\\AppDefaults\\") + name + "\\X11 Driver";
        if (ReadWineSetting("Software\\Wine\\X11 Driver") == "N" || ReadWineSetting(appKey) == "N")
            return;
        HKEY h;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, appKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
            ERROR_SUCCESS)
            return;
        RegSetValueExA(h, "Managed", 0, REG_SZ, (const BYTE *)"N", 2);
        RegCloseKey(h);
        STARTUPINFOA si;
        ZeroMemory(&si, sizeof si);
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION pi;
        std::string commandLine = GetCommandLineA();
        if (!CreateProcessA(path, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
            return;   // then it runs here, only slower
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(pi.hProcess, &code);
        ExitProcess(code);
    }
} unmanagedWindows;

INT_PTR CALLBACK SystemPageProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const PROPSHEETPAGEA *psp = (const PROPSHEETPAGEA *)lParam;
        SetWindowLongPtrA(window, DWLP_USER, psp->lParam);
        SystemPageRecord *record = (SystemPageRecord *)psp->lParam;
        record->window = window;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        SystemPageRecord *record = (SystemPageRecord *)GetWindowLongPtrA(window, DWLP_USER);
        const NMHDR *header = (const NMHDR *)lParam;
        if (!record)
            return FALSE;
        if (header->code == (UINT)PSN_APPLY)
            ++record->applies;
        else if (header->code == (UINT)PSN_SETACTIVE)
            ++record->activations;
        else
            return FALSE;
        SetWindowLongPtrA(window, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    return FALSE;
}

// Dialog templates must stay alive until the page's window is made.
std::vector<std::vector<WORD>> &Templates()
{
    static std::vector<std::vector<WORD>> templates;
    return templates;
}

const DLGTEMPLATE *BuildTemplate(const std::string &title)
{
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    DLGTEMPLATE *t = (DLGTEMPLATE *)words.data();
    t->style = WS_CHILD | WS_DISABLED | WS_CAPTION;
    t->cdit = 0;
    t->cx = 255;
    t->cy = 225;
    words.push_back(0);   // no menu
    words.push_back(0);   // standard class
    wchar_t wide[256];
    int n = MultiByteToWideChar(CP_ACP, 0, title.c_str(), -1, wide, 256);
    if (n <= 0) {
        wide[0] = 0;
        n = 1;
    }
    for (int i = 0; i < n; ++i)
        words.push_back((WORD)wide[i]);
    Templates().push_back(words);
    return (const DLGTEMPLATE *)Templates().back().data();
}

} // namespace

HPROPSHEETPAGE CreateSystemPage(const std::string &title, SystemPageRecord *record)
{
    PROPSHEETPAGEA psp;
    ZeroMemory(&psp, sizeof psp);
    psp.dwSize = sizeof psp;
    psp.dwFlags = PSP_DLGINDIRECT;
    psp.hInstance = GetModuleHandleA(nullptr);
    psp.pResource = BuildTemplate(title);
    psp.pfnDlgProc = SystemPageProc;
    psp.lParam = (LPARAM)record;
    return CreatePropertySheetPageA(&psp);
}

void Pump(DWORD milliseconds, HWND sheet)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (sheet && IsWindow(sheet) && PropSheet_IsDialogMessage(sheet, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed < 10 ? milliseconds - elapsed : 10,
                                  QS_ALLINPUT);
    }
}

bool TestSheet::Open(const std::vector<HPROPSHEETPAGE> &pages, int startPage, DWORD settleMs)
{
    Close();
    PROPSHEETHEADERA header;
    ZeroMemory(&header, sizeof header);
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = "画面のプロパティ";
    header.nPages = (UINT)pages.size();
    header.nStartPage = (UINT)startPage;
    std::vector<HPROPSHEETPAGE> copy = pages;
    header.phpage = copy.data();
    sheet_ = (HWND)PropertySheetA(&header);
    if (!sheet_ || sheet_ == (HWND)-1) {
        sheet_ = nullptr;
        return false;
    }
    ShowWindow(sheet_, SW_SHOW);
    SetForegroundWindow(sheet_);
    Run(settleMs);
    return true;
}

HWND TestSheet::Page(int index) const
{
    return sheet_ ? PropSheet_IndexToHwnd(sheet_, index) : nullptr;
}

void TestSheet::Select(int index, DWORD settleMs)
{
    PropSheet_SetCurSel(sheet_, nullptr, index);
    Run(settleMs);
}

void TestSheet::Press(int button)
{
    PropSheet_PressButton(sheet_, button);
    Run(200);
}

bool TestSheet::IsOpen() const
{
    return sheet_ && IsWindow(sheet_) && PropSheet_GetCurrentPageHwnd(sheet_) != nullptr;
}

bool TestSheet::ApplyEnabled() const
{
    HWND apply = GetDlgItem(sheet_, 0x3021);
    return apply && IsWindowEnabled(apply);
}

void TestSheet::Close()
{
    if (sheet_ && IsWindow(sheet_))
        DestroyWindow(sheet_);
    sheet_ = nullptr;
    Pump(50);
}

void TestSheet::Run(DWORD milliseconds, bool dialogKeys)
{
    Pump(milliseconds, dialogKeys ? sheet_ : nullptr);
}
