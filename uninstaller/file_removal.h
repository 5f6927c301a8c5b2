// Deleting the package's files, or leaving them to the next boot through "wininit.ini".
#ifndef FILE_REMOVAL_H
#define FILE_REMOVAL_H

// Deletes the file; when it is in use, lists its short path for deletion at the next boot
// and sets restartRequired. A file that does not open for reading is left alone. A
// read-only file loses the attribute first, and keeps it only when it is neither deleted
// nor listed.
void DeleteOrScheduleFile(const char *path);

// Removes the directory when it is empty, read-only or not; one that stays keeps its
// attributes.
void RemoveEmptyDirectory(const char *path);

// Drops the pending lines of the rename list that name the display-mode library markers
// (section headers stay, and so does all from an end-of-file mark on), or creates the list
// holding only its "[rename]" header; a list with nothing to drop and every line ended by
// CR LF is left as it is. First it
// settles what an update cut short left behind: a new list that did not get into place goes
// there, or its lines go ahead of those of the list another program has put there since.
void FilterWininit();

#endif
