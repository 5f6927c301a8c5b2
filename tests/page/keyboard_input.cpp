#include "keyboard_input.h"

#include "test_sheet.h"

namespace {

std::vector<SeenKey> seenKeys;
HHOOK recorderHook;
HWND dialogKeysSheet;
DWORD keySettleMs = 60;

bool IsExtended(BYTE vk)
{
    return vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN || vk == VK_HOME || vk == VK_END;
}

void Send(BYTE vk, DWORD flags)
{
    if (IsExtended(vk))
        flags |= KEYEVENTF_EXTENDEDKEY;
    keybd_event(vk, (BYTE)MapVirtualKeyA(vk, 0), flags, 0);
    Pump(keySettleMs, dialogKeysSheet);
}

LRESULT CALLBACK RecorderProc(int code, WPARAM key, LPARAM flags)
{
    if (code >= 0)
        seenKeys.push_back({key, flags});
    return CallNextHookEx(recorderHook, code, key, flags);
}

} // namespace

void DeliverDialogKeysTo(HWND sheet) { dialogKeysSheet = sheet; }
void SetKeySettleTime(DWORD milliseconds) { keySettleMs = milliseconds; }

void KeyDown(BYTE vk) { Send(vk, 0); }
void KeyUp(BYTE vk) { Send(vk, KEYEVENTF_KEYUP); }

void Tap(BYTE vk)
{
    KeyDown(vk);
    KeyUp(vk);
}

void AltTap(BYTE vk)
{
    KeyDown(VK_MENU);
    Tap(vk);
    KeyUp(VK_MENU);
}

void RightClick(HWND window)
{
    RECT rc;
    GetWindowRect(window, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    Pump(60);
    mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
    Pump(60);
    mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
    Pump(60);
}

KeyRecorder::KeyRecorder()
{
    seenKeys.clear();
    hook_ = SetWindowsHookExA(WH_KEYBOARD, RecorderProc, nullptr, GetCurrentThreadId());
    recorderHook = hook_;
}

KeyRecorder::~KeyRecorder()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    recorderHook = nullptr;
}

const std::vector<SeenKey> &KeyRecorder::Seen() const { return seenKeys; }

int KeyRecorder::Count(WPARAM key) const
{
    int n = 0;
    for (const SeenKey &k : seenKeys)
        if (k.key == key)
            ++n;
    return n;
}

void KeyRecorder::Clear() { seenKeys.clear(); }
