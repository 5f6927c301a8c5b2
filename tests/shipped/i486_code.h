// Whether a 32-bit image's code runs on an i486: its code sections disassembled by
// i686-w64-mingw32-objdump, every instruction looked at.
#ifndef I486_CODE_H
#define I486_CODE_H

#include <string>
#include <vector>

struct CodeCheck {
    bool ran = false;            // the disassembler ran and said nothing went wrong
    std::string error;           // why not
    size_t instructions = 0;     // how many were looked at
    std::vector<std::string> newer;  // "address: instruction" of each one the i486 lacks
};

CodeCheck CheckI486Code(const std::string &objdump, const std::string &path);

// Whether one instruction, as objdump writes it in Intel syntax without its prefixes, is
// beyond the i486 (exposed for the check's own test).
bool NewerThanI486(const std::string &mnemonic, const std::string &operands);

#endif
