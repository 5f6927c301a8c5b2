#include "rename_list_lock.h"

namespace {

// One name for every copy of the program on the machine, from whatever folder it runs: they
// all update the one list.
const char kLockName[] = "ZANRO DISPLAY wininit.ini update";

// An update holds the lock for a handful of file operations. A holder that keeps it this long
// has hung, and one that is merely slow may still wake up: going ahead would race it over the
// lines other programs have waiting, and those are worth more than our own entry, whose loss
// only leaves a file behind. So the update is given up.
enum { kLongestWait = 30000 };

// After a wait has run out, later updates only look at the lock, until one gets it: a hung
// holder must not cost each of them the whole wait.
bool listHolderHung;

} // namespace

bool LockListUpdates(HANDLE *lock)
{
    *lock = CreateMutexA(nullptr, FALSE, kLockName);
    if (!*lock)
        return false;
    DWORD result = WaitForSingleObject(*lock, listHolderHung ? 0 : kLongestWait);
    // Abandoned, the lock is ours all the same: its holder ended in the middle of an update,
    // which leaves what a power cut leaves, and the update's settling takes care of that.
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        listHolderHung = false;
        return true;
    }
    listHolderHung = result == WAIT_TIMEOUT;
    CloseHandle(*lock);
    return false;
}

void UnlockListUpdates(HANDLE lock)
{
    ReleaseMutex(lock);
    CloseHandle(lock);
}
