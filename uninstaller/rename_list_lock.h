// One update of the rename list at a time, across processes: two uninstallers running at
// once (both started from the Windows folder and answered) would otherwise settle away each
// other's working files, or carry the same lines twice.
#ifndef RENAME_LIST_LOCK_H
#define RENAME_LIST_LOCK_H

#include <windows.h>

// Waits until no other update runs and takes the lock; false, with nothing held, when the
// wait runs out or the lock cannot be made: the update must then not run.
bool LockListUpdates(HANDLE *lock);
void UnlockListUpdates(HANDLE lock);

#endif
