#include "page_state.h"

ModeSelection pageSelection;
HWND pageWindow;
HHOOK keyboardHook;
DWORD pageOwnsMode = 1;
DWORD skipPageApply;
DWORD pageModeUnlisted;
