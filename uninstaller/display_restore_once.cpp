// The restore creates a new adapter each time it runs without a BIOS display device: it
// neither looks for nor reuses one that is there. A run started again after a cut in or after
// the restore would leave two, the first perhaps half-written. So the names the restore is
// about to take are noted before it starts, and a later start of the same run first removes
// what is at those names. They were free when noted, so what is there is the earlier
// restore's. The restore then takes the lowest free names again, which are the same ones,
// as a whole run does.
#include "display_restore_once.h"

#include <string.h>
#include <windows.h>

#include "bounded_format.h"
#include "registry_tree.h"
#include "run_note.h"
#include "standard_display.h"

namespace {

// The name the restore takes under a parent: 0000 when the parent is missing (the restore
// creates it), else the lowest free one. Nothing is created here.
bool NameToBeTaken(const char *parentPath, char name[5])
{
    HKEY parent;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, parentPath, &parent) != ERROR_SUCCESS) {
        memcpy(name, "0000", 5);
        return true;
    }
    bool found = FindFreeInstanceName(parent, name) != 0;
    RegCloseKey(parent);
    return found;
}

void RemoveAt(const char *format, const char *name)
{
    char path[MAX_PATH];
    if (FormatWhole(path, sizeof path, format, name))
        DeleteRegistryTree(path);
}

} // namespace

void RestoreStandardDisplayOnce()
{
    NotedRestore earlier[MAX_NOTED_RESTORES];
    int count = ReadNotedRestores(earlier, MAX_NOTED_RESTORES);
    for (int i = 0; i < count; ++i) {
        RemoveAt("System\\CurrentControlSet\\Services\\Class\\DISPLAY\\%s", earlier[i].classInstance);
        RemoveAt("Enum\\Root\\Display\\%s", earlier[i].deviceInstance);
        RemoveAt("Config\\0001\\Enum\\Root\\Display\\%s", earlier[i].deviceInstance);
    }
    NotedRestore names;
    if (NameToBeTaken("System\\CurrentControlSet\\Services\\Class\\DISPLAY", names.classInstance) &&
        NameToBeTaken("Enum\\Root\\Display", names.deviceInstance))
        NoteRestore(names);
    RestoreStandardDisplay();
}
