// Points an entry of a loaded module's import table at a test function, so that the code
// linked into that module calls it instead of (or before) the system's: a platform call can
// be made to fail, recorded or counted for that module alone. Calls the module makes through
// another module's table are not seen.
#ifndef IMPORT_PATCH_H
#define IMPORT_PATCH_H

#include <windows.h>

// Returns the previous entry, or null when the module does not import the function by name
// from that library (library names compare without regard to case, function names exactly).
// Putting the returned entry back the same way undoes the patch.
void *PatchImport(HMODULE module, const char *dll, const char *function, void *replacement);

// The same for this program's own module; the original comes back when the patch goes out
// of scope.
class ImportPatch {
public:
    // dll e.g. "advapi32.dll", function e.g. "RegDeleteKeyA".
    ImportPatch(const char *dll, const char *function, void *replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch &) = delete;
    ImportPatch &operator=(const ImportPatch &) = delete;

    bool installed() const { return slot_ != nullptr; }
    void *original() const { return original_; }

private:
    void **slot_ = nullptr;
    void *original_ = nullptr;
};

#endif
