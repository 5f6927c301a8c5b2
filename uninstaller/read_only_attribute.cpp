#include "read_only_attribute.h"

namespace {

// The attributes SetFileAttributesA takes; the directory bit and the like are the system's.
const DWORD kSettable =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

bool SetSettable(const char *path, DWORD attributes)
{
    DWORD settable = attributes & kSettable;
    return SetFileAttributesA(path, settable ? settable : FILE_ATTRIBUTE_NORMAL) != 0;
}

} // namespace

DWORD ClearReadOnly(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetSettable(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    return attributes;
}

void PutAttributesBack(const char *path, DWORD attributes)
{
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetSettable(path, attributes);
}
