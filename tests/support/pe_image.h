// Reads what the Windows 95 loader looks at in a PE file: subsystem version and imports.
#ifndef PE_IMAGE_H
#define PE_IMAGE_H

#include <string>
#include <vector>

struct PeImport {
    std::string dll;       // as named in the import table
    std::string function;  // name, or "#N" for an import by ordinal
};

struct PeExport {
    std::string name;
    unsigned ordinal;
};

struct PeImage {
    bool valid = false;
    unsigned subsystemMajor = 0, subsystemMinor = 0;
    unsigned characteristics = 0;
    std::vector<PeImport> imports;
    std::vector<PeExport> exports;
};

PeImage ReadPeImage(const std::string &path);

#endif
