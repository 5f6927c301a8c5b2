// Stand-in for the board's display-mode library. It exports the three entry points
// the deliverables call and behaves as the shipped library is described to behave.
//
// Tests watch it through two environment variables that the deliverables never read:
//   ZANCHG32_LOG       a file to which every call appends one line; while it is set,
//                      RestartWindows records the call and does not restart, so a test
//                      run under Wine is not taken down.
//   ZANCHG32_QUICKRES  the value CheckQuickRes returns (decimal); 0 when unset.
#include <windows.h>

namespace {

bool LogPath(char *path, DWORD size)
{
    DWORD n = GetEnvironmentVariableA("ZANCHG32_LOG", path, size);
    return n > 0 && n < size;
}

void AppendLog(const char *line)
{
    char path[MAX_PATH];
    if (!LogPath(path, sizeof path))
        return;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;
    SetFilePointer(file, 0, NULL, FILE_END);
    DWORD written = 0;
    WriteFile(file, line, lstrlenA(line), &written, NULL);
    WriteFile(file, "\r\n", 2, &written, NULL);
    CloseHandle(file);
}

int DecimalValue(const char *text)
{
    int sign = 1, value = 0;
    if (*text == '-') { sign = -1; ++text; }
    while (*text >= '0' && *text <= '9')
        value = value * 10 + (*text++ - '0');
    return sign * value;
}

} // namespace

extern "C" {

int WINAPI RestartWindows(void)
{
    char path[MAX_PATH];
    if (LogPath(path, sizeof path)) {
        AppendLog("RestartWindows");
        return 1;
    }
    return ExitWindowsEx(EWX_REBOOT, 0);
}

int WINAPI CheckQuickRes(void)
{
    char value[32];
    DWORD n = GetEnvironmentVariableA("ZANCHG32_QUICKRES", value, sizeof value);
    int result = (n > 0 && n < sizeof value) ? DecimalValue(value) : 0;
    char line[64];
    wsprintfA(line, "CheckQuickRes=%d", result);
    AppendLog(line);
    return result;
}

int WINAPI QuickResChange(const char *modeText)
{
    char line[96];
    // The text comes from the caller; keep the record bounded whatever it sends.
    lstrcpyA(line, "QuickResChange ");
    lstrcpynA(line + 15, modeText ? modeText : "(null)", sizeof line - 15);
    AppendLog(line);
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

} // extern "C"
