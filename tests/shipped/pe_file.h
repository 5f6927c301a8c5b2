// Reads, on any host, what the Windows loader and resource functions look at in a PE file:
// machine, subsystem version, sections, imports, exports, the TLS directory and resources.
// PE32 and PE32+ alike.
#ifndef PE_FILE_H
#define PE_FILE_H

#include <map>
#include <string>
#include <vector>

enum : unsigned { kMachineI386 = 0x14C, kMachineAmd64 = 0x8664, kImageDll = 0x2000 };

struct PeImport {
    std::string dll;       // as named in the import table
    std::string function;  // name, or "#N" for an import by ordinal
};

struct PeExport {
    std::string name;
    unsigned ordinal;
};

struct PeFile {
    bool valid = false;  // false when missing, not PE, or any structure lies outside the file
    unsigned machine = 0;
    bool plus = false;  // PE32+ (64-bit optional header)
    unsigned subsystemMajor = 0, subsystemMinor = 0;
    unsigned characteristics = 0;
    std::vector<std::string> sections;  // names, as in the section table (at most 8 characters)
    unsigned tlsDirectory = 0;          // its address, 0 when the image has none
    std::vector<PeImport> imports;
    std::vector<PeExport> exports;
    // "type/name/language" -> data; an id reads "#5", a name its text.
    std::map<std::string, std::vector<unsigned char>> resources;
};

PeFile ReadPeFile(const std::string &path);

#endif
