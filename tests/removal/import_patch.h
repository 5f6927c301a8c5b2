// Replaces an entry of this test program's own import table, so that the uninstaller code
// linked into it calls a test function instead of (or before) the system's. The original
// comes back when the patch goes out of scope.
#ifndef IMPORT_PATCH_H
#define IMPORT_PATCH_H

#include <windows.h>

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
