#include "dialog_answerer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const DWORD kPollMs = 50;

std::string WindowText(HWND window)
{
    char text[1024];
    text[0] = '\0';
    GetWindowTextA(window, text, sizeof text);
    text[sizeof text - 1] = '\0';
    return text;
}

std::string ClassOf(HWND window)
{
    char name[256];
    name[0] = '\0';
    GetClassNameA(window, name, sizeof name);
    name[sizeof name - 1] = '\0';
    return name;
}

struct TopLevelSearch {
    const std::string *caption;  // nullptr: every visible window
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param)
{
    TopLevelSearch *search = reinterpret_cast<TopLevelSearch *>(param);
    if (!IsWindowVisible(window))
        return TRUE;
    if (!search->caption || WindowText(window) == *search->caption)
        search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM param)
{
    SeenDialog *dialog = reinterpret_cast<SeenDialog *>(param);
    // Only the dialog's own controls, not the children of a nested child window.
    if (GetParent(child) != dialog->window)
        return TRUE;
    SeenControl control;
    int id = GetDlgCtrlID(child);
    control.id = (id == 0xFFFF) ? -1 : id;
    control.className = ClassOf(child);
    control.text = WindowText(child);
    control.style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    GetWindowRect(child, &control.rect);
    dialog->controls.push_back(control);
    return TRUE;
}

bool WriteBmp(const std::string &path, int width, int height, const std::vector<unsigned char> &pixels)
{
    int stride = ((width * 3) + 3) & ~3;
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER info;
    std::memset(&file, 0, sizeof file);
    std::memset(&info, 0, sizeof info);
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(stride * height);
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(&info, sizeof info, 1, f) == 1 &&
              std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
    return std::fclose(f) == 0 && ok;
}

bool CaptureRectBmp(const RECT &rect, const std::string &path)
{
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    if (!screen)
        return false;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    bool ok = false;
    if (memory && bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
        SelectObject(memory, old);
        if (ok) {
            BITMAPINFO info;
            std::memset(&info, 0, sizeof info);
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = width;
            info.bmiHeader.biHeight = height;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 24;
            info.bmiHeader.biCompression = BI_RGB;
            int stride = ((width * 3) + 3) & ~3;
            std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
            ok = GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS) == height &&
                 WriteBmp(path, width, height, pixels);
        }
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool Matches(HWND window, const ExpectedDialog &expected)
{
    if (!IsWindowVisible(window) || !IsWindowEnabled(window) || WindowText(window) != expected.caption)
        return false;
    if (expected.mustContain.empty())
        return true;
    return DescribeWindow(window).HasTextContaining(expected.mustContain);
}

} // namespace

ExpectedDialog PressButton(const std::string &caption, int buttonId, const std::string &mustContain)
{
    ExpectedDialog expected;
    expected.caption = caption;
    expected.mustContain = mustContain;
    expected.pressId = buttonId;
    return expected;
}

ExpectedDialog PressButtonText(const std::string &caption, const std::string &buttonText,
                               const std::string &mustContain)
{
    ExpectedDialog expected;
    expected.caption = caption;
    expected.mustContain = mustContain;
    expected.pressText = buttonText;
    return expected;
}

const SeenControl *SeenDialog::Control(int id) const
{
    for (const SeenControl &c : controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

const SeenControl *SeenDialog::ControlWithText(const std::string &text) const
{
    for (const SeenControl &c : controls)
        if (c.text == text)
            return &c;
    return nullptr;
}

bool SeenDialog::HasTextContaining(const std::string &part) const
{
    for (const SeenControl &c : controls)
        if (c.text.find(part) != std::string::npos)
            return true;
    return false;
}

std::string SeenDialog::AllTexts() const
{
    std::string all = "[" + caption + "]";
    for (const SeenControl &c : controls) {
        char id[32];
        std::snprintf(id, sizeof id, " %d:", c.id);
        all += id + c.className + "=\"" + c.text + "\"";
    }
    return all;
}

bool PressDialogButton(HWND dialog, int buttonId, PressMethod method)
{
    if (method == PressMethod::None)
        return false;
    HWND button = GetDlgItem(dialog, buttonId == -1 ? 0xFFFF : buttonId);
    if (method == PressMethod::Click && button)
        return PostMessageA(button, BM_CLICK, 0, 0) != 0;
    return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != 0;
}

SeenDialog DescribeWindow(HWND window)
{
    SeenDialog dialog;
    dialog.window = window;
    dialog.caption = WindowText(window);
    dialog.className = ClassOf(window);
    dialog.style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    dialog.exStyle = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
    GetWindowRect(window, &dialog.rect);
    GetClientRect(window, &dialog.client);
    GetWindowThreadProcessId(window, &dialog.processId);
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

std::vector<HWND> FindTopLevelWindows(const std::string &caption)
{
    TopLevelSearch search;
    search.caption = &caption;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool CaptureWindowBmp(HWND window, const std::string &path)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    return CaptureRectBmp(rect, path);
}

bool CaptureScreenBmp(const std::string &path)
{
    RECT rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return CaptureRectBmp(rect, path);
}

DialogAnswerer::DialogAnswerer(const std::vector<ExpectedDialog> &sequence) : sequence_(sequence)
{
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    finished_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (!thread_) {
        Fail("could not start the answering thread");
        SetEvent(finished_);
    }
}

DialogAnswerer::~DialogAnswerer()
{
    SetEvent(stop_);
    if (thread_) {
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
    }
    for (SeenDialog &d : seen_)
        if (d.process)
            CloseHandle(d.process);
    CloseHandle(stop_);
    CloseHandle(finished_);
    DeleteCriticalSection(&lock_);
}

DWORD WINAPI DialogAnswerer::ThreadMain(void *self)
{
    static_cast<DialogAnswerer *>(self)->Run();
    return 0;
}

void DialogAnswerer::Fail(const std::string &why)
{
    EnterCriticalSection(&lock_);
    if (failure_.empty())
        failure_ = why;
    LeaveCriticalSection(&lock_);
}

void DialogAnswerer::Run()
{
    for (size_t step = 0; step < sequence_.size(); ++step) {
        const ExpectedDialog &expected = sequence_[step];
        DWORD start = GetTickCount();
        HWND window = nullptr;
        while (!window) {
            if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) {
                Fail("stopped while waiting for \"" + expected.caption + "\"");
                SetEvent(finished_);
                return;
            }
            TopLevelSearch search;
            search.caption = nullptr;
            EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
            for (HWND candidate : search.found) {
                EnterCriticalSection(&lock_);
                bool old = std::find(handled_.begin(), handled_.end(), candidate) != handled_.end();
                LeaveCriticalSection(&lock_);
                if (old)
                    continue;
                if (Matches(candidate, expected)) {
                    window = candidate;
                    break;
                }
                // Noted once, but still a candidate: its texts may not be set yet.
                if (ClassOf(candidate) == "#32770") {
                    EnterCriticalSection(&lock_);
                    bool noted = false;
                    for (const SeenDialog &u : unexpected_)
                        noted = noted || u.window == candidate;
                    if (!noted)
                        unexpected_.push_back(DescribeWindow(candidate));
                    LeaveCriticalSection(&lock_);
                }
            }
            if (!window) {
                if (GetTickCount() - start > expected.timeoutMs) {
                    char number[32];
                    std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(step));
                    std::string why = "timed out waiting for dialog " + std::string(number) + " \"" +
                                      expected.caption + "\"";
                    EnterCriticalSection(&lock_);
                    for (const SeenDialog &u : unexpected_)
                        why += "; saw instead " + u.AllTexts();
                    LeaveCriticalSection(&lock_);
                    Fail(why);
                    SetEvent(finished_);
                    return;
                }
                Sleep(kPollMs);
            }
        }

        // Let the dialog finish its initialisation (centring, painting) before looking.
        Sleep(expected.settleMs);
        SeenDialog seen = DescribeWindow(window);
        if (seen.processId)
            seen.process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE,
                                       seen.processId);
        if (!expected.screenshotBmp.empty() && CaptureWindowBmp(window, expected.screenshotBmp))
            seen.screenshot = expected.screenshotBmp;

        bool ok = true;
        if (expected.method != PressMethod::None) {
            const SeenControl *button = expected.pressText.empty() ? seen.Control(expected.pressId)
                                                                   : seen.ControlWithText(expected.pressText);
            if (!button) {
                Fail("dialog \"" + expected.caption + "\" has no button \"" + expected.pressText + "\" (" +
                     seen.AllTexts() + ")");
                ok = false;
            } else {
                PressDialogButton(window, button->id, expected.method);
                seen.pressed = true;
                seen.pressedId = button->id;
            }
        }
        EnterCriticalSection(&lock_);
        handled_.push_back(window);
        seen_.push_back(seen);
        LeaveCriticalSection(&lock_);
        if (!ok) {
            SetEvent(finished_);
            return;
        }
    }
    EnterCriticalSection(&lock_);
    done_ = true;
    LeaveCriticalSection(&lock_);
    SetEvent(finished_);
}

bool DialogAnswerer::Wait(DWORD timeoutMs)
{
    if (WaitForSingleObject(finished_, timeoutMs) != WAIT_OBJECT_0) {
        Fail("the dialogs did not all appear within the test's wait");
        SetEvent(stop_);
        WaitForSingleObject(finished_, 5000);
    }
    return Done();
}

bool DialogAnswerer::Done() const
{
    EnterCriticalSection(&lock_);
    bool done = done_ && failure_.empty();
    LeaveCriticalSection(&lock_);
    return done;
}

std::string DialogAnswerer::Failure() const
{
    EnterCriticalSection(&lock_);
    std::string failure = failure_;
    LeaveCriticalSection(&lock_);
    return failure;
}

std::vector<SeenDialog> DialogAnswerer::Seen() const
{
    EnterCriticalSection(&lock_);
    std::vector<SeenDialog> seen = seen_;
    LeaveCriticalSection(&lock_);
    return seen;
}

std::vector<SeenDialog> DialogAnswerer::Unexpected() const
{
    EnterCriticalSection(&lock_);
    std::vector<SeenDialog> unexpected = unexpected_;
    LeaveCriticalSection(&lock_);
    return unexpected;
}

RunResult DialogAnswerer::WaitProcess(size_t index, DWORD timeoutMs)
{
    HANDLE process = nullptr;
    DWORD id = 0;
    EnterCriticalSection(&lock_);
    if (index < seen_.size()) {
        process = seen_[index].process;
        id = seen_[index].processId;
    }
    LeaveCriticalSection(&lock_);
    RunResult result = WaitProcessHandle(process, timeoutMs);
    result.processId = id;
    return result;
}
