#include "sheet_script.h"

#include "host_log.h"

#include <commctrl.h>
#include <prsht.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

namespace {

struct Step {
    DWORD delayMs;
    std::string action;
    std::string argument;   // the rest of the step's text
};

std::vector<Step> steps;
size_t nextStep;
HWND sheetWindow;
UINT_PTR stepTimer;
DWORD scriptTimeoutMs;
bool timedOut;

std::string Trim(const std::string &text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

int Number(const std::string &text, size_t index)
{
    // The index-th whitespace-separated number of the argument.
    size_t pos = 0;
    for (size_t i = 0;; ++i) {
        pos = text.find_first_not_of(' ', pos);
        if (pos == std::string::npos)
            return 0;
        size_t end = text.find(' ', pos);
        if (i == index)
            return static_cast<int>(strtol(text.substr(pos, end - pos).c_str(), nullptr, 0));
        if (end == std::string::npos)
            return 0;
        pos = end;
    }
}

HWND CurrentPage()
{
    return reinterpret_cast<HWND>(SendMessageA(sheetWindow, PSM_GETCURRENTPAGEHWND, 0, 0));
}

// A window's text for the log: control characters (the keyboard cues of group captions)
// are written as \xNN.
std::string WindowText(HWND window)
{
    char text[1024];
    text[0] = '\0';
    GetWindowTextA(window, text, sizeof text);
    std::string shown;
    for (const char *p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        } else {
            shown += *p;
        }
    }
    return shown;
}

std::string ClassOf(HWND window)
{
    char name[128];
    name[0] = '\0';
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK FindFrontDialog(HWND window, LPARAM data)
{
    HWND *found = reinterpret_cast<HWND *>(data);
    if (window != sheetWindow && IsWindowVisible(window) && IsWindowEnabled(window) && ClassOf(window) == "#32770") {
        *found = window;
        return FALSE;
    }
    return TRUE;
}

// The enabled dialog of this thread that stands in front of the sheet (a page's modal
// dialog or message box); null when there is none.
HWND FrontDialog()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindFrontDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

void LogControls(const char *prefix, HWND parent)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        std::string cls = ClassOf(child);
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT *>(&rect), 2);
        int id = GetDlgCtrlID(child);
        if (id == 0xFFFF)
            id = -1;
        char extra[1536] = "";
        if (_stricmp(cls.c_str(), "ComboBox") == 0) {
            int count = static_cast<int>(SendMessageA(child, CB_GETCOUNT, 0, 0));
            int sel = static_cast<int>(SendMessageA(child, CB_GETCURSEL, 0, 0));
            std::string items;
            for (int i = 0; i < count; ++i) {
                char item[256] = "";
                if (SendMessageA(child, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof item))
                    SendMessageA(child, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
                items += (i ? "|" : "") + std::string(item);
            }
            snprintf(extra, sizeof extra, " sel=%d items=%s", sel, items.c_str());
        } else if (_stricmp(cls.c_str(), TRACKBAR_CLASSA) == 0) {
            snprintf(extra, sizeof extra, " range=%d-%d pos=%d",
                     static_cast<int>(SendMessageA(child, TBM_GETRANGEMIN, 0, 0)),
                     static_cast<int>(SendMessageA(child, TBM_GETRANGEMAX, 0, 0)),
                     static_cast<int>(SendMessageA(child, TBM_GETPOS, 0, 0)));
        } else if (_stricmp(cls.c_str(), "Button") == 0) {
            LONG type = GetWindowLongA(child, GWL_STYLE) & 0x0F;
            if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE)
                snprintf(extra, sizeof extra, " checked=%d",
                         static_cast<int>(SendMessageA(child, BM_GETCHECK, 0, 0)));
        }
        LogLine("%s control %d %s vis=%d en=%d rect=%ld,%ld,%ld,%ld text=%s%s", prefix, id, cls.c_str(),
                IsWindowVisible(child) ? 1 : 0, IsWindowEnabled(child) ? 1 : 0, rect.left, rect.top,
                rect.right, rect.bottom, WindowText(child).c_str(), extra);
    }
}

bool SaveWindowBmp(HWND window, const char *path)
{
    RECT rect;
    if (window)
        GetWindowRect(window, &rect);
    else
        SetRect(&rect, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        SelectObject(memory, old);
        GdiFlush();
        DWORD rowBytes = ((width * 3 + 3) / 4) * 4;
        DWORD imageBytes = rowBytes * height;
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + imageBytes;
        FILE *out = fopen(path, "wb");
        if (out) {
            ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                 fwrite(bits, imageBytes, 1, out) == 1;
            ok = fclose(out) == 0 && ok;
        }
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

struct KeyName {
    const char *name;
    BYTE key;
};
const KeyName kKeys[] = {
    {"left", VK_LEFT}, {"up", VK_UP},         {"right", VK_RIGHT}, {"down", VK_DOWN},
    {"escape", VK_ESCAPE}, {"enter", VK_RETURN}, {"tab", VK_TAB}, {"space", VK_SPACE},
};

// "alt+left*3": modifiers, one key, and how many key-down events before the release.
bool SendKeys(const std::string &keys)
{
    std::string rest = keys;
    int repeat = 1;
    size_t star = rest.find('*');
    if (star != std::string::npos) {
        repeat = atoi(rest.c_str() + star + 1);
        rest = rest.substr(0, star);
        if (repeat < 1)
            repeat = 1;
    }
    std::vector<BYTE> modifiers;
    size_t plus;
    while ((plus = rest.find('+')) != std::string::npos) {
        std::string mod = rest.substr(0, plus);
        rest = rest.substr(plus + 1);
        if (mod == "alt")
            modifiers.push_back(VK_MENU);
        else if (mod == "shift")
            modifiers.push_back(VK_SHIFT);
        else if (mod == "ctrl")
            modifiers.push_back(VK_CONTROL);
        else
            return false;
    }
    BYTE key = 0;
    for (const KeyName &k : kKeys) {
        if (rest == k.name)
            key = k.key;
    }
    if (!key)
        return false;
    for (BYTE m : modifiers)
        keybd_event(m, static_cast<BYTE>(MapVirtualKeyA(m, 0)), 0, 0);
    DWORD extended = key >= VK_LEFT && key <= VK_DOWN ? KEYEVENTF_EXTENDEDKEY : 0;
    for (int i = 0; i < repeat; ++i)
        keybd_event(key, static_cast<BYTE>(MapVirtualKeyA(key, 0)), extended, 0);
    keybd_event(key, static_cast<BYTE>(MapVirtualKeyA(key, 0)), extended | KEYEVENTF_KEYUP, 0);
    for (size_t i = modifiers.size(); i-- > 0;)
        keybd_event(modifiers[i], static_cast<BYTE>(MapVirtualKeyA(modifiers[i], 0)), KEYEVENTF_KEYUP, 0);
    return true;
}

void RunStep(const Step &step)
{
    const std::string &a = step.action;
    const std::string &arg = step.argument;
    LogLine("step %s%s%s", a.c_str(), arg.empty() ? "" : " ", arg.c_str());
    HWND page = CurrentPage();
    if (a == "page") {
        PostMessageA(sheetWindow, PSM_SETCURSEL, Number(arg, 0), 0);
    } else if (a == "apply") {
        PostMessageA(sheetWindow, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0);
    } else if (a == "ok") {
        PostMessageA(sheetWindow, PSM_PRESSBUTTON, PSBTN_OK, 0);
    } else if (a == "cancel") {
        PostMessageA(sheetWindow, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    } else if (a == "key") {
        if (!SendKeys(arg))
            LogLine("step failed: unknown keys %s", arg.c_str());
    } else if (a == "combo") {
        int id = Number(arg, 0);
        HWND combo = GetDlgItem(page, id);
        SendMessageA(combo, CB_SETCURSEL, Number(arg, 1), 0);
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    } else if (a == "slider") {
        HWND slider = GetDlgItem(page, Number(arg, 0));
        int pos = Number(arg, 1);
        SendMessageA(slider, TBM_SETPOS, TRUE, pos);
        SendMessageA(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, pos), reinterpret_cast<LPARAM>(slider));
        SendMessageA(page, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
    } else if (a == "click") {
        PostMessageA(GetDlgItem(page, Number(arg, 0)), BM_CLICK, 0, 0);
    } else if (a == "command") {
        PostMessageA(page, WM_COMMAND, MAKEWPARAM(Number(arg, 0), 0), 0);
    } else if (a == "rclick") {
        HWND control = GetDlgItem(page, Number(arg, 0));
        PostMessageA(control, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
        PostMessageA(control, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    } else if (a == "press") {
        HWND dialog = FrontDialog();
        if (!dialog) {
            LogLine("step failed: no dialog in front");
            return;
        }
        int id = Number(arg, 0);
        LogLine("dialog %s", WindowText(dialog).c_str());
        HWND button = GetDlgItem(dialog, id);
        if (button)
            PostMessageA(button, BM_CLICK, 0, 0);
        else
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    } else if (a == "dump") {
        LogLine("dump page %s", WindowText(page).c_str());
        LogControls("dump", page);
        HWND apply = GetDlgItem(sheetWindow, 0x3021);
        LogLine("dump apply enabled=%d", apply && IsWindowEnabled(apply) ? 1 : 0);
    } else if (a == "dump-dialog") {
        HWND dialog = FrontDialog();
        if (!dialog) {
            LogLine("dump-dialog none");
            return;
        }
        LogLine("dump-dialog %s", WindowText(dialog).c_str());
        LogControls("dump-dialog", dialog);
    } else if (a == "shot" || a == "shot-screen") {
        bool ok = SaveWindowBmp(a == "shot" ? sheetWindow : nullptr, arg.c_str());
        LogLine("shot %s ok=%d", arg.c_str(), ok ? 1 : 0);
    } else if (a == "log") {
        LogLine("log %s", arg.c_str());
    } else {
        LogLine("step failed: unknown action %s", a.c_str());
    }
}

void CALLBACK StepTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (id != stepTimer || nextStep >= steps.size())
        return;
    const Step step = steps[nextStep++];
    // The next step is scheduled first: this one may open a modal loop that runs it.
    stepTimer = nextStep < steps.size() ? SetTimer(nullptr, 0, steps[nextStep].delayMs, StepTimer) : 0;
    RunStep(step);
}

void CALLBACK LastResortTimer(HWND, UINT, UINT_PTR, DWORD)
{
    LogLine("timeout: the sheet did not close; ending");
    ExitProcess(3);
}

void CALLBACK TimeoutTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    timedOut = true;
    LogLine("timeout");
    for (int i = 0; i < 8; ++i) {
        HWND dialog = FrontDialog();
        if (!dialog)
            break;
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    PostMessageA(sheetWindow, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    SetTimer(nullptr, 0, 5000, LastResortTimer);
}

} // namespace

bool ParseSheetScript(const std::string &script)
{
    steps.clear();
    size_t start = 0;
    while (start <= script.size()) {
        size_t end = script.find(';', start);
        std::string text = Trim(script.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (!text.empty()) {
            char *after;
            unsigned long delay = strtoul(text.c_str(), &after, 10);
            std::string rest = Trim(after);
            if (after == text.c_str() || rest.empty()) {
                fprintf(stderr, "sheethost: bad step \"%s\"\n", text.c_str());
                return false;
            }
            Step step;
            step.delayMs = static_cast<DWORD>(delay);
            size_t space = rest.find(' ');
            step.action = rest.substr(0, space);
            step.argument = space == std::string::npos ? "" : Trim(rest.substr(space + 1));
            steps.push_back(step);
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return true;
}

void StartSheetScript(HWND sheet, DWORD timeoutMs)
{
    sheetWindow = sheet;
    scriptTimeoutMs = timeoutMs;
    nextStep = 0;
    if (!steps.empty())
        stepTimer = SetTimer(nullptr, 0, steps[0].delayMs, StepTimer);
    if (timeoutMs)
        SetTimer(nullptr, 0, timeoutMs, TimeoutTimer);
}

bool SheetTimedOut()
{
    return timedOut;
}

void LogSheetTabs(HWND sheet)
{
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    int count = tabs ? static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        LogLine("tab %d %s", i, text);
    }
}
