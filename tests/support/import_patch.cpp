#include "import_patch.h"

#include <string.h>

namespace {

// The slot the loader filled for that function, or null.
void **FindSlot(HMODULE module, const char *dll, const char *function)
{
    BYTE *base = reinterpret_cast<BYTE *>(module);
    if (!base || !dll || !function)
        return nullptr;
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return nullptr;
    // A loaded module has the process's own width (PE32+ in a 64-bit program, PE32 in a
    // 32-bit one), which is what IMAGE_NT_HEADERS and IMAGE_THUNK_DATA describe here.
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC ||
        nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT)
        return nullptr;
    const IMAGE_DATA_DIRECTORY &dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return nullptr;
    for (const auto *desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + dir.VirtualAddress);
         desc->Name; ++desc) {
        // Without its name table a library's slots hold nothing but addresses once loaded;
        // read as names they would lead anywhere, so such a library is passed over.
        if (!desc->OriginalFirstThunk || lstrcmpiA(reinterpret_cast<const char *>(base + desc->Name), dll) != 0)
            continue;
        const auto *names = reinterpret_cast<const IMAGE_THUNK_DATA *>(base + desc->OriginalFirstThunk);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + desc->FirstThunk);
        for (size_t k = 0; names[k].u1.AddressOfData; ++k) {
            // An entry taken by ordinal has no name to compare: its flag is the top bit of
            // the pointer-sized entry, not an address.
            if (IMAGE_SNAP_BY_ORDINAL(names[k].u1.Ordinal))
                continue;
            const auto *byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names[k].u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char *>(byName->Name), function) == 0)
                return reinterpret_cast<void **>(&slots[k].u1.Function);
        }
    }
    return nullptr;
}

// The loader may have left the table read-only.
bool WriteSlot(void **slot, void *value)
{
    DWORD old;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return false;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return true;
}

} // namespace

void *PatchImport(HMODULE module, const char *dll, const char *function, void *replacement)
{
    void **slot = FindSlot(module, dll, function);
    if (!slot)
        return nullptr;
    void *previous = *slot;
    return WriteSlot(slot, replacement) ? previous : nullptr;
}

ImportPatch::ImportPatch(const char *dll, const char *function, void *replacement)
{
    void **slot = FindSlot(GetModuleHandleA(nullptr), dll, function);
    if (!slot)
        return;
    void *previous = *slot;
    if (!WriteSlot(slot, replacement))
        return;
    slot_ = slot;
    original_ = previous;
}

ImportPatch::~ImportPatch()
{
    if (slot_)
        WriteSlot(slot_, original_);
}
