// The names from which the uninstall run builds the paths and keys it removes. A value that
// names nothing, or a path in a file entry, would name something the run must not touch.
#ifndef REMOVAL_NAMES_H
#define REMOVAL_NAMES_H

#include <stddef.h>

// dest = a + b + c; false (and dest empty) when the result does not fit.
bool Compose(char *dest, size_t size, const char *a, const char *b, const char *c = "");

// A registry name that names a key below its parent (not empty, not only backslashes).
bool NamesKey(const char *name);

// A directory or group name that names something below its parent.
bool NamesFolder(const char *name);

// The directory of an installed file, by its three-letter extension (with its trailing
// backslash); false and "" when the extension is unknown, or is "CPL" without
// withControlPanel.
bool FileDirectory(const char *entry, bool withControlPanel, char *dir, size_t size);

// A file entry that is a plain name, not a path.
bool IsPlainName(const char *entry);

#endif
