// Putting a new rename list in the list's place so that a cut at any moment loses no line,
// and settling, at the next start, what such a cut left.
#ifndef RENAME_LIST_REPLACE_H
#define RENAME_LIST_REPLACE_H

#include <windows.h>

#include "file_stream.h"
#include "rename_list_text.h"

// The list and the working files of its replacement, all in the Windows folder.
struct ListFiles {
    char list[MAX_PATH];          // "wininit.ini", what the boot carries out
    char newList[MAX_PATH];       // a new list, written beside the list
    char replacedList[MAX_PATH];  // the list that a new one replaces, moved out of its place
    char waitingList[MAX_PATH];   // a whole list of ours that found another program's list in
                                  // its place; its lines go in ahead of that list's
};

// Starts an update of the list: settles what an earlier one left, opens the list to be read
// in binary (*list null when there is none) and the new list to be written. False, with
// nothing open, when no update may start: leftovers that do not settle, a list that is there
// but does not open (it must not give way to one without its lines), no new list.
bool StartListUpdate(const char *windows, ListFiles *files, FileStream **list, ListWriter *writer);

// Closes the new list; when it came out whole (nothing failed on the way to the disk, the
// file holds every byte sent, and writer->ok), it takes the list's place and the list's
// attributes. True when it is in place.
bool PutNewListInPlace(const ListFiles &files, ListWriter *writer);

#endif
