// The note of an uninstall run in progress: what the run needs of its selected record once
// the record's key is gone, kept so that a start after a power cut can finish the run.
#ifndef RUN_NOTE_H
#define RUN_NOTE_H

#include "registry_layout.h"

enum { MAX_NOTED_RESTORES = 8 };

struct RunNote {
    char numberText[RECORD_NUMBER_SIZE];  // the selected record's number text
    char instDir[RECORD_VALUE_SIZE];      // its "InstDir", "FolderName", "Board", "DeviceNo"
    char folderName[RECORD_VALUE_SIZE];
    char board[RECORD_VALUE_SIZE];
    char deviceNo[RECORD_VALUE_SIZE];
};

// Instance names that the standard display restore was about to take: the display-class
// instance and the root-enumerated device.
struct NotedRestore {
    char classInstance[5];
    char deviceInstance[5];
};

// Writes the note of a run that is about to remove its selected record, in place of any
// earlier one, and waits until it is on the disk. False when it could not be written whole.
bool WriteRunNote(const RunNote &note);

// The note as the selected record of a start that found no record matching its boot
// directory: 1 with *record and *note filled when the note reads back whole, as it was
// written, and belongs to this start: made for the same boot directory, or the boot
// directory is gone (a run deletes it shortly before the note), and its record key is gone
// or still that installation's. 0 otherwise, *record and *note zero-filled. `bootDir` is
// null when there is none.
int TakeRunNote(const char *bootDir, DriverRecord *record, RunNote *note);

// Adds to the note the names a restore is about to take, unless they are noted already.
// False when the note is not there whole or the names could not be added.
bool NoteRestore(const NotedRestore &names);

// The names noted for restores, at most MAX_NOTED_RESTORES; each one read back whole.
int ReadNotedRestores(NotedRestore *names, int max);

// Notes the older record of the board about to be removed, in place of the one before it,
// which is gone by then. False when the note is not there whole or the slot not written.
bool NoteOlderRecord(const RunNote &older);

// The older record noted last, when it is the one numbered `numberText` and reads back
// whole: 1 with *older filled, else 0.
int TakeNotedOlderRecord(const char *numberText, RunNote *older);

// Removes the note, once everything the run did before is on the disk.
void RemoveRunNote();

#endif
