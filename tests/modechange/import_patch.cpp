#include "import_patch.h"

void *PatchImport(HMODULE module, const char *dll, const char *function, void *replacement)
{
    BYTE *base = reinterpret_cast<BYTE *>(module);
    if (!base) return nullptr;
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return nullptr;
    // An entry already bound is recognised by its address as well as by its name.
    void *real = nullptr;
    if (HMODULE loaded = GetModuleHandleA(dll)) real = reinterpret_cast<void *>(GetProcAddress(loaded, function));
    for (const auto *desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
         desc->Name; desc++) {
        if (lstrcmpiA(reinterpret_cast<const char *>(base + desc->Name), dll) != 0) continue;
        void **iat = reinterpret_cast<void **>(base + desc->FirstThunk);
        const auto *names = desc->OriginalFirstThunk
                                ? reinterpret_cast<const IMAGE_THUNK_DATA *>(base + desc->OriginalFirstThunk)
                                : nullptr;
        for (int k = 0; iat[k]; k++) {
            bool match = real && iat[k] == real;
            if (!match && names && !IMAGE_SNAP_BY_ORDINAL(names[k].u1.Ordinal)) {
                const auto *byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names[k].u1.AddressOfData);
                match = lstrcmpA(reinterpret_cast<const char *>(byName->Name), function) == 0;
            }
            if (!match) continue;
            DWORD old;
            if (!VirtualProtect(&iat[k], sizeof(void *), PAGE_READWRITE, &old)) return nullptr;
            void *previous = iat[k];
            iat[k] = replacement;
            VirtualProtect(&iat[k], sizeof(void *), old, &old);
            return previous;
        }
    }
    return nullptr;
}
