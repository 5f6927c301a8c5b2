#include "short_path_equality.h"

#include <string.h>
#include <windows.h>

#include "registry_layout.h"

namespace {

// By character: "ソ" and "表" end in the byte of a backslash.
bool EndsInBackslash(const char *path)
{
    return *path && *CharPrevA(path, path + strlen(path)) == '\\';
}

bool ShortForm(const char *path, char *shortPath)
{
    DWORD length = GetShortPathNameA(path, shortPath, MAX_PATH);
    return length > 0 && length < MAX_PATH;
}

} // namespace

bool ShortPathsEqual(const char *a, const char *b)
{
    // The short form keeps a trailing backslash as it is given; not every system may.
    if (EndsInBackslash(a) != EndsInBackslash(b))
        return false;
    char shortA[MAX_PATH], shortB[MAX_PATH];
    return ShortForm(a, shortA) && ShortForm(b, shortB) && NamesEqual(shortA, shortB);
}
