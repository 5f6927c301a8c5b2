#include "keyboard_hook.h"

#include "page_state.h"
#include "position_engine.h"

#include <prsht.h>

namespace {

const LPARAM kAltHeld = 1L << 29;        // context code: Alt is down
const LPARAM kWasDown = 1L << 30;        // previous state: an auto-repeat or the release

} // namespace

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM key, LPARAM flags)
{
    if (code < 0)
        return CallNextHookEx(keyboardHook, code, key, flags);

    if ((flags & kAltHeld) && key >= VK_LEFT && key <= VK_DOWN) {
        // The step comes with the repeat or the release, never with the first press, so one
        // tap is one step and holding the key walks on.
        if (flags & kWasDown) {
            // VK_LEFT..VK_DOWN are in the order of POSMOVE_LEFT..POSMOVE_DOWN.
            if (MovePosition((int)(key - VK_LEFT)) && pageWindow)
                SendMessageA(GetParent(pageWindow), PSM_CHANGED, (WPARAM)pageWindow, 0);
        }
        // Kept from the other hooks; the keystroke itself still reaches its window.
        return 0;
    }
    if (key == VK_ESCAPE && (flags & kWasDown))
        MovePosition(POSMOVE_RESET);   // back to the baseline: nothing to apply
    return CallNextHookEx(keyboardHook, code, key, flags);
}
