#include "registry_tree.h"

#include <string.h>
#include <windows.h>

#include "byte_search.h"

namespace {

enum { kPathSize = MAX_PATH, kNameSize = MAX_PATH };

bool OpenKey(const char *path, HKEY *key)
{
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, key) == ERROR_SUCCESS;
}

// Appends "\" and the name when the result stays within 259 characters.
bool AppendName(char *path, const char *name)
{
    size_t used = strlen(path);
    size_t add = strlen(name);
    if (used + 1 + add > kPathSize - 1)
        return false;
    path[used] = '\\';
    memcpy(path + used + 1, name, add + 1);
    return true;
}

} // namespace

int DeleteRegistryTree(const char *path)
{
    if (strlen(path) > kPathSize - 1)
        return 0;
    HKEY key;
    if (!OpenKey(path, &key))
        return 1;

    char visit[kPathSize];
    char name[kNameSize];
    // The leaf removed by the previous walk: a walk that arrives there again found a key
    // that did not go, and walking on would never end.
    char lastLeaf[kPathSize];
    lastLeaf[0] = '\0';
    for (;;) {
        memcpy(visit, path, strlen(path) + 1);
        // Down along the first subkey of each level; `key` is open at `visit`.
        for (;;) {
            DWORD nameLength = sizeof name;
            LONG rc = RegEnumKeyExA(key, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
            RegCloseKey(key);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            if (rc != ERROR_SUCCESS || !AppendName(visit, name) || !OpenKey(visit, &key))
                return 0;
        }
        if (SameText(visit, lastLeaf))
            return 0;
        if (RegDeleteKeyA(HKEY_LOCAL_MACHINE, visit) != ERROR_SUCCESS)
            return 0;
        memcpy(lastLeaf, visit, strlen(visit) + 1);

        if (!OpenKey(path, &key))
            return 1;  // the key itself was the leaf just removed
        DWORD nameLength = sizeof name;
        LONG rc = RegEnumKeyExA(key, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            RegCloseKey(key);
            return RegDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS ? 1 : 0;
        }
        if (rc != ERROR_SUCCESS) {
            RegCloseKey(key);
            return 0;
        }
        // The key to be removed stays open: the next walk starts from it.
    }
}
