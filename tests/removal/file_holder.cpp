// Holds a file open the way a running program does, until told to let go:
//   removal_file_holder.exe PATH SHARE READY_EVENT RELEASE_EVENT
// SHARE "read" lets others read but not delete; "none" lets nobody even open it.
#include <windows.h>

#include <string.h>

int main(int argc, char **argv)
{
    if (argc != 5)
        return 2;
    DWORD share = strcmp(argv[2], "read") == 0 ? FILE_SHARE_READ : 0;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[4]);
    if (!ready || !release)
        return 4;
    SetEvent(ready);
    // As long as the test program may run (its CTest time-out): a minute was once less than
    // a sweep of list updates took on a loaded machine, and the file went free half-way.
    DWORD wait = WaitForSingleObject(release, 300000);
    CloseHandle(file);
    CloseHandle(ready);
    CloseHandle(release);
    return wait == WAIT_OBJECT_0 ? 0 : 5;
}
