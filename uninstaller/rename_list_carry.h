// Carrying the lines of one rename list into another, ahead of the other's own.
#ifndef RENAME_LIST_CARRY_H
#define RENAME_LIST_CARRY_H

#include "rename_list_text.h"

// Writes the `newer` list with every line of the `older` one carried in ahead of its own
// lines, each section's lines in their own section, as if the older list's requests had been
// carried out first. Lines the two lists share are carried all the same: each program asked
// for its own. False when a list does not read.
bool WriteCarriedLines(ListReader *older, ListReader *newer, ListWriter *writer);

#endif
