#include "pe_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

enum : unsigned { kExportDirectory = 0, kImportDirectory = 1, kResourceDirectory = 2, kTlsDirectory = 9 };
enum : uint32_t { kHighBit = 0x80000000u };

struct Section {
    uint32_t rva, size, fileOffset;
};

// Every read goes through here: one that would leave the file marks it malformed and
// yields 0, so a damaged table ends its walk instead of reading past the buffer.
struct Reader {
    std::vector<unsigned char> bytes;
    std::vector<Section> sections;
    bool bad = false;

    bool Fits(size_t offset, size_t count)
    {
        if (offset <= bytes.size() && count <= bytes.size() - offset)
            return true;
        bad = true;
        return false;
    }
    uint64_t Le(size_t offset, unsigned width)
    {
        uint64_t value = 0;
        if (Fits(offset, width))
            for (unsigned i = width; i-- > 0;)
                value = value << 8 | bytes[offset + i];
        return value;
    }
    unsigned U16(size_t offset) { return static_cast<unsigned>(Le(offset, 2)); }
    uint32_t U32(size_t offset) { return static_cast<uint32_t>(Le(offset, 4)); }
    // File offset of `count` bytes at a relative virtual address; they must lie in the
    // file data of one section, since the zero-filled tail of a section is not in the file.
    size_t Offset(uint32_t rva, size_t count = 1)
    {
        for (const Section &s : sections) {
            uint32_t at = rva - s.rva;
            if (rva >= s.rva && at < s.size && count <= s.size - at)
                return size_t(s.fileOffset) + at;
        }
        bad = true;
        return 0;
    }
    std::string Text(uint32_t rva)
    {
        std::string text;
        for (size_t at = Offset(rva); !bad && Fits(at, 1) && bytes[at]; ++at)
            text += static_cast<char>(bytes[at]);
        return text;
    }
};

// A resource directory entry's name: "#id", or its UTF-16 text with anything beyond ASCII
// written as \uXXXX so that keys stay plain text.
std::string EntryName(Reader &r, size_t root, uint32_t name)
{
    char part[16];
    if (!(name & kHighBit)) {
        std::snprintf(part, sizeof part, "#%u", name & 0xFFFF);
        return part;
    }
    size_t at = root + (name & ~kHighBit);
    std::string text;
    for (unsigned i = 0, length = r.U16(at); i < length && !r.bad; ++i) {
        unsigned c = r.U16(at + 2 + 2 * i);
        if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            std::snprintf(part, sizeof part, "\\u%04X", c);
            text += part;
        }
    }
    return text;
}

// Type, name and language directories, then the data entry; three levels and no deeper,
// so a directory that points back at itself cannot loop.
void WalkResources(Reader &r, PeFile &pe, size_t root, size_t directory, int level, const std::string &key)
{
    unsigned count = r.U16(directory + 12) + r.U16(directory + 14);
    for (unsigned i = 0; i < count && !r.bad; ++i) {
        size_t entry = directory + 16 + 8 * i;
        uint32_t target = r.U32(entry + 4);
        std::string path = key + (level ? "/" : "") + EntryName(r, root, r.U32(entry));
        if (bool(target & kHighBit) != (level < 2)) {
            r.bad = true;
        } else if (level < 2) {
            WalkResources(r, pe, root, root + (target & ~kHighBit), level + 1, path);
        } else {
            uint32_t size = r.U32(root + target + 4);
            size_t at = r.Offset(r.U32(root + target), size);
            if (r.Fits(at, size))
                pe.resources[path].assign(r.bytes.begin() + at, r.bytes.begin() + at + size);
        }
    }
}

void ReadImports(Reader &r, PeFile &pe, uint32_t rva)
{
    unsigned width = pe.plus ? 8 : 4;
    for (size_t d = r.Offset(rva); !r.bad; d += 20) {
        uint32_t lookup = r.U32(d), name = r.U32(d + 12), bound = r.U32(d + 16);
        if (!name && !bound)
            break;
        std::string dll = r.Text(name);
        for (size_t t = r.Offset(lookup ? lookup : bound); !r.bad; t += width) {
            uint64_t thunk = r.Le(t, width);
            if (!thunk)
                break;
            char ordinal[16];
            std::snprintf(ordinal, sizeof ordinal, "#%u", static_cast<unsigned>(thunk & 0xFFFF));
            // A name entry starts with a two-byte hint.
            bool byOrdinal = thunk >> (8 * width - 1);
            pe.imports.push_back({dll, byOrdinal ? ordinal : r.Text(static_cast<uint32_t>(thunk) + 2)});
        }
    }
}

void ReadExports(Reader &r, PeFile &pe, uint32_t rva)
{
    size_t e = r.Offset(rva, 40);
    uint32_t base = r.U32(e + 16), count = r.U32(e + 24);
    if (!count)
        return;
    size_t names = r.Offset(r.U32(e + 32), 4 * size_t(count));
    size_t ordinals = r.Offset(r.U32(e + 36), 2 * size_t(count));
    for (uint32_t i = 0; i < count && !r.bad; ++i)
        pe.exports.push_back({r.Text(r.U32(names + 4 * i)), base + r.U16(ordinals + 2 * i)});
}

} // namespace

PeFile ReadPeFile(const std::string &path)
{
    PeFile pe;
    Reader r;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return pe;
    r.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());

    size_t nt = r.U32(0x3C);
    if (r.U16(0) != 0x5A4D || r.U32(nt) != 0x4550)  // "MZ", "PE\0\0"
        return pe;
    pe.machine = r.U16(nt + 4);
    pe.characteristics = r.U16(nt + 22);
    size_t optional = nt + 24;
    size_t sectionTable = optional + r.U16(nt + 20);
    unsigned magic = r.U16(optional);
    if (magic != 0x10B && magic != 0x20B)
        return pe;
    pe.plus = magic == 0x20B;
    pe.subsystemMajor = r.U16(optional + 48);
    pe.subsystemMinor = r.U16(optional + 50);
    uint32_t directoryCount = r.U32(optional + (pe.plus ? 108 : 92));
    size_t directories = optional + (pe.plus ? 112 : 96);

    for (unsigned i = 0, count = r.U16(nt + 6); i < count; ++i) {
        size_t s = sectionTable + 40 * i;
        uint32_t virtualSize = r.U32(s + 8), fileSize = r.U32(s + 16);
        // The file data is padded to the file alignment; past the virtual size it is not the section's.
        r.sections.push_back({r.U32(s + 12), virtualSize ? std::min(virtualSize, fileSize) : fileSize, r.U32(s + 20)});
        std::string name;
        for (unsigned k = 0; k < 8 && r.Fits(s + k, 1) && r.bytes[s + k]; ++k)
            name += static_cast<char>(r.bytes[s + k]);
        pe.sections.push_back(name);
    }
    auto directory = [&](unsigned index) { return index < directoryCount ? r.U32(directories + 8 * index) : 0u; };
    pe.tlsDirectory = directory(kTlsDirectory);
    if (uint32_t rva = directory(kImportDirectory))
        ReadImports(r, pe, rva);
    if (uint32_t rva = directory(kExportDirectory))
        ReadExports(r, pe, rva);
    if (uint32_t rva = directory(kResourceDirectory)) {
        size_t root = r.Offset(rva, 16);
        WalkResources(r, pe, root, root, 0, "");
    }
    pe.valid = !r.bad;
    return pe;
}
