// Alt with an arrow key steps the picture on the monitor; Escape takes it back.
#ifndef KEYBOARD_HOOK_H
#define KEYBOARD_HOOK_H

#include <windows.h>

// WH_KEYBOARD hook of the page's thread, installed while the page is active.
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM key, LPARAM flags);

#endif
