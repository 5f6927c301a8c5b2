// Putting a new rename list in the list's place so that a cut at any moment loses no line,
// and settling, at the next start, what such a cut left.
#ifndef RENAME_LIST_REPLACE_H
#define RENAME_LIST_REPLACE_H

#include "rename_list_text.h"

// Writes the new list's text from the list in place (`list` null when there is none); `text`
// is the caller's own, passed on.
typedef void (*ComposeList)(ListReader *list, ListWriter *writer, const char *text);

// One update of the list in the Windows folder, while no other runs: settles what an earlier
// one left, then puts the composed list in the list's place, unless its bytes are the list's
// own. False when the list is not the composed one: leftovers that do not settle, a list that
// is there but does not open (it must not give way to one without its lines), another update
// that does not end, a failure on the way to the disk.
bool UpdateList(const char *windows, ComposeList compose, const char *text);

#endif
