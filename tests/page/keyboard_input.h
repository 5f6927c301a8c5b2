// Real keystrokes and clicks, injected as the user's (they reach the thread's keyboard
// hooks like typed keys), and a keyboard hook that records what passes through to it.
#ifndef KEYBOARD_INPUT_H
#define KEYBOARD_INPUT_H

#include <windows.h>

#include <vector>

// While the messages are run after each keystroke, the sheet's dialog keys (Escape,
// Enter, Tab) are handled as its owner's loop would; null (the default): not.
void DeliverDialogKeysTo(HWND sheet);
// How long the messages are run after each keystroke (60 ms unless set).
void SetKeySettleTime(DWORD milliseconds);
void KeyDown(BYTE vk);
void KeyUp(BYTE vk);
// Alt held around a tap of the key.
void AltTap(BYTE vk);
void Tap(BYTE vk);
// A right or left click at the centre of the window.
void RightClick(HWND window);

struct SeenKey {
    WPARAM key;
    LPARAM flags;
};

// A WH_KEYBOARD hook of the calling thread that records every key it is given. Hooks made
// later are asked first, so one made before the page's sees what the page passes on.
class KeyRecorder {
public:
    KeyRecorder();
    ~KeyRecorder();
    KeyRecorder(const KeyRecorder &) = delete;
    KeyRecorder &operator=(const KeyRecorder &) = delete;
    const std::vector<SeenKey> &Seen() const;
    int Count(WPARAM key) const;
    void Clear();

private:
    HHOOK hook_ = nullptr;
};

#endif
