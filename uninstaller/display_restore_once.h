// The standard display adapter written back once, however often an uninstall cut short is
// started again.
#ifndef DISPLAY_RESTORE_ONCE_H
#define DISPLAY_RESTORE_ONCE_H

// For a run with a note: takes away the adapter that a start before this one wrote back, in
// part or whole, then notes the names the restore is about to take and restores.
void RestoreStandardDisplayOnce();

#endif
