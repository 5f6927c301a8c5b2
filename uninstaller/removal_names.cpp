// The names from which the run builds what it removes, and the checks that keep a path
// built from them on what the board's installer meant.
#include "removal_names.h"

#include <string.h>
#include <windows.h>

#include "process_state.h"
#include "registry_layout.h"

namespace {

bool Append(char *dest, size_t size, size_t *used, const char *text)
{
    size_t length = strlen(text);
    if (*used + length >= size)
        return false;
    memcpy(dest + *used, text, length + 1);
    *used += length;
    return true;
}

} // namespace

bool Compose(char *dest, size_t size, const char *a, const char *b, const char *c)
{
    size_t used = 0;
    dest[0] = '\0';
    if (Append(dest, size, &used, a) && Append(dest, size, &used, b) && Append(dest, size, &used, c))
        return true;
    dest[0] = '\0';
    return false;
}

// Names are read by character, as the ANSI code page makes them: the second byte of a
// double-byte character may be that of a backslash (表 95 5C, ソ 83 5C) or of a letter.
//
// A registry name that names a key below its parent: an empty one, or one made only of
// backslashes, would name the parent itself.
bool NamesKey(const char *name)
{
    for (; *name; name = CharNextA(name))
        if (*name != '\\')
            return true;
    return false;
}

// A directory or group name that names something below its parent. Windows drops trailing
// dots and spaces, and "." and ".." name the folder itself and its parent.
bool NamesFolder(const char *name)
{
    for (; *name; name = CharNextA(name))
        if (*name != '\\' && *name != '/' && *name != '.' && *name != ' ')
            return true;
    return false;
}

// The directory an installed file lives in, by the last three characters of its name; ""
// when the name has no known extension. Older records' control-panel files are left.
bool FileDirectory(const char *entry, bool withControlPanel, char *dir, size_t size)
{
    static const char *const systemFiles[] = {"DRV", "VXD", "DLL", "CPL", "LRC", "ICO"};
    static const char *const windowsFiles[] = {"INI", "CPD", "EXE"};
    size_t length = strlen(entry);
    dir[0] = '\0';
    if (length < 3)
        return false;
    const char *extension = entry + length - 3;
    const char *c = entry;
    while (c < extension)
        c = CharNextA(c);
    if (c != extension)
        return false;  // the last bytes end a double-byte character: no three-letter extension
    for (const char *e : systemFiles)
        if (NamesEqual(extension, e)) {
            if (!withControlPanel && NamesEqual(e, "CPL"))
                return false;
            return Compose(dir, size, systemDir, "\\");
        }
    for (const char *e : windowsFiles)
        if (NamesEqual(extension, e))
            return Compose(dir, size, windowsDir, "\\");
    if (NamesEqual(extension, "INF"))
        return Compose(dir, size, infDir, "\\");
    if (NamesEqual(extension, "HLP"))
        return Compose(dir, size, windowsDir, "\\Help\\");
    return false;
}

// A file entry names a file in its extension's directory. A path in it ("..\WIN.INI",
// "C:\X.DRV", "SUB/X.DLL") would name somebody else's file elsewhere, so it names none.
bool IsPlainName(const char *entry)
{
    for (const char *c = entry; *c; c = CharNextA(c))
        if (*c == '\\' || *c == '/' || *c == ':' || (c[0] == '.' && c[1] == '.'))
            return false;
    return true;
}

