#include "pe_image.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

struct Reader {
    std::vector<unsigned char> bytes;
    const IMAGE_SECTION_HEADER *sections = nullptr;
    unsigned sectionCount = 0;

    template <typename T> const T *At(size_t offset) const
    {
        return offset + sizeof(T) <= bytes.size() ? reinterpret_cast<const T *>(&bytes[offset]) : nullptr;
    }
    // File offset of a relative virtual address, or 0 when no section holds it.
    size_t Offset(DWORD rva) const
    {
        for (unsigned i = 0; i < sectionCount; ++i) {
            const IMAGE_SECTION_HEADER &s = sections[i];
            DWORD size = s.Misc.VirtualSize ? s.Misc.VirtualSize : s.SizeOfRawData;
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    }
    std::string Text(DWORD rva) const
    {
        size_t off = Offset(rva);
        std::string out;
        while (off && off < bytes.size() && bytes[off])
            out += static_cast<char>(bytes[off++]);
        return out;
    }
};

} // namespace

PeImage ReadPeImage(const std::string &path)
{
    PeImage image;
    Reader r;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return image;
    unsigned char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        r.bytes.insert(r.bytes.end(), chunk, chunk + n);
    std::fclose(f);

    const IMAGE_DOS_HEADER *dos = r.At<IMAGE_DOS_HEADER>(0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE)
        return image;
    const IMAGE_NT_HEADERS32 *nt = r.At<IMAGE_NT_HEADERS32>(dos->e_lfanew);
    if (!nt || nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return image;
    image.subsystemMajor = nt->OptionalHeader.MajorSubsystemVersion;
    image.subsystemMinor = nt->OptionalHeader.MinorSubsystemVersion;
    image.characteristics = nt->FileHeader.Characteristics;
    size_t sectionOffset = dos->e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                           nt->FileHeader.SizeOfOptionalHeader;
    r.sectionCount = nt->FileHeader.NumberOfSections;
    if (sectionOffset + r.sectionCount * sizeof(IMAGE_SECTION_HEADER) > r.bytes.size())
        return image;
    r.sections = reinterpret_cast<const IMAGE_SECTION_HEADER *>(&r.bytes[sectionOffset]);

    const IMAGE_DATA_DIRECTORY &importDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (importDir.VirtualAddress) {
        size_t off = r.Offset(importDir.VirtualAddress);
        for (;; off += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const IMAGE_IMPORT_DESCRIPTOR *d = r.At<IMAGE_IMPORT_DESCRIPTOR>(off);
            if (!off || !d || (!d->Name && !d->FirstThunk))
                break;
            std::string dll = r.Text(d->Name);
            DWORD thunkRva = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
            size_t t = r.Offset(thunkRva);
            for (; t; t += 4) {
                const DWORD *thunk = r.At<DWORD>(t);
                if (!thunk || !*thunk)
                    break;
                char ordinal[16];
                if (*thunk & IMAGE_ORDINAL_FLAG32) {
                    std::snprintf(ordinal, sizeof ordinal, "#%lu", (unsigned long)(*thunk & 0xFFFF));
                    image.imports.push_back({dll, ordinal});
                } else {
                    image.imports.push_back({dll, r.Text(*thunk + 2)});
                }
            }
        }
    }

    const IMAGE_DATA_DIRECTORY &exportDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (exportDir.VirtualAddress) {
        const IMAGE_EXPORT_DIRECTORY *e = r.At<IMAGE_EXPORT_DIRECTORY>(r.Offset(exportDir.VirtualAddress));
        if (e) {
            size_t names = r.Offset(e->AddressOfNames), ords = r.Offset(e->AddressOfNameOrdinals);
            for (DWORD i = 0; names && ords && i < e->NumberOfNames; ++i) {
                const DWORD *nameRva = r.At<DWORD>(names + 4 * i);
                const WORD *ord = r.At<WORD>(ords + 2 * i);
                if (nameRva && ord)
                    image.exports.push_back({r.Text(*nameRva), e->Base + *ord});
            }
        }
    }
    image.valid = true;
    return image;
}
