// The read-only attribute of what the uninstaller removes. Files and folders copied from a
// CD-ROM keep it: DeleteFileA and RemoveDirectoryA refuse them, the boot passes over a
// read-only file named in the rename list, and CopyFileA gives it to the copy it makes.
#ifndef READ_ONLY_ATTRIBUTE_H
#define READ_ONLY_ATTRIBUTE_H

#include <windows.h>

// Takes the attribute away, keeping the others; returns the attributes as they were
// (INVALID_FILE_ATTRIBUTES when there is nothing at path), for PutAttributesBack.
DWORD ClearReadOnly(const char *path);

// For something that stays after all: what the run does not delete keeps its attributes.
void PutAttributesBack(const char *path, DWORD attributes);

#endif
