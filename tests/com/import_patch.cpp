#include "import_patch.h"

#include <string.h>

void *PatchImport(HMODULE module, const char *dll, const char *function, void *replacement)
{
    BYTE *base = reinterpret_cast<BYTE *>(module);
    IMAGE_DOS_HEADER *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    IMAGE_NT_HEADERS *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return nullptr;
    for (IMAGE_IMPORT_DESCRIPTOR *d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
         d->Name; ++d) {
        if (_stricmp(reinterpret_cast<const char *>(base + d->Name), dll) != 0)
            continue;
        IMAGE_THUNK_DATA *names = reinterpret_cast<IMAGE_THUNK_DATA *>(
            base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        IMAGE_THUNK_DATA *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            IMAGE_IMPORT_BY_NAME *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char *>(byName->Name), function) != 0)
                continue;
            void **slot = reinterpret_cast<void **>(&slots->u1.Function);
            DWORD old;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
            void *previous = *slot;
            *slot = replacement;
            VirtualProtect(slot, sizeof *slot, old, &old);
            return previous;
        }
    }
    return nullptr;
}
