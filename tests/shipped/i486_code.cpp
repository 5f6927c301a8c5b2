#include "i486_code.h"

#include <cstdio>
#include <regex>
#include <set>
#include <sstream>

namespace {

// Prefixes objdump writes ahead of a mnemonic; the i386 has them all.
// (bnd, notrack, xacquire and xrelease are later names of prefix bytes the i386 has, which
// older processors ignore where they stand.)
const std::set<std::string> kPrefixes = {"rep", "repe", "repz", "repne", "repnz", "lock", "data16", "data32",
                                         "addr16", "addr32", "cs", "ds", "es", "fs", "gs", "ss",
                                         "bnd", "notrack", "xacquire", "xrelease"};

// Mnemonics of what came after the i486: the Pentium's own (CPUID and the model-specific
// registers among them: the early i486 has no CPUID, and nothing here needs to ask), the
// Pentium Pro's (CMOV, FCMOV, FCOMI and FUCOMI below, the long NOP 0F 1F that assemblers pad
// with), and later ones that use no MMX or SSE register (those are told by their registers).
const std::set<std::string> kNewer = {
    "cmpxchg8b", "cpuid", "rdtsc", "rdmsr", "wrmsr", "rsm", "rdpmc", "sysenter", "sysexit", "syscall",
    "sysret", "fxsave", "fxrstor", "emms", "femms", "ldmxcsr", "stmxcsr", "sfence", "lfence", "mfence",
    "clflush", "movnti", "fisttp", "monitor", "mwait", "rdtscp", "cmpxchg16b", "popcnt", "lzcnt", "tzcnt",
    "movbe", "crc32", "andn", "bextr", "blsi", "blsmsk", "blsr", "bzhi", "mulx", "pdep", "pext", "rorx",
    "sarx", "shlx", "shrx", "adcx", "adox", "rdrand", "rdseed", "endbr32", "endbr64", "nopl", "nopw",
};
const char *const kNewerFamilies[] = {"cmov", "fcmov", "fcomi", "fucomi", "prefetch", "xsave", "xrstor"};

// MMX, SSE and AVX registers (and AVX-512's masks, MPX's bounds).
const std::regex kNewerRegister(R"(\b([xyz]?mm[0-9]+|k[0-7]|bnd[0-3])\b)");

} // namespace

bool NewerThanI486(const std::string &mnemonic, const std::string &operands)
{
    if (kNewer.count(mnemonic))
        return true;
    for (const char *family : kNewerFamilies)
        if (mnemonic.rfind(family, 0) == 0)
            return true;
    // 0F 1F, the Pentium Pro's NOP with an operand; the one-byte NOP (and PAUSE, which the
    // i486 runs as one) take none.
    if (mnemonic == "nop" && !operands.empty())
        return true;
    // A branch's target comes with its symbol ("call 401234 <name>"), no register.
    return std::regex_search(operands.substr(0, operands.find('<')), kNewerRegister);
}

CodeCheck CheckI486Code(const std::string &objdump, const std::string &path)
{
    CodeCheck check;
    std::string command = "'" + objdump + "' -d -M intel --no-show-raw-insn '" + path + "' 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) {
        check.error = "cannot start " + objdump;
        return check;
    }
    std::string output;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.append(chunk, got);
    int status = pclose(pipe);
    if (status != 0) {
        check.error = objdump + " failed: " + output.substr(0, 500);
        return check;
    }
    // "  401000:\tpush   ebp". Bytes that decode as no instruction ("(bad)") are data: the
    // linker's constructor and destructor lists at the end of .text, never run.
    std::istringstream lines(output);
    std::string line;
    static const std::regex kInstruction(R"(^ *([0-9a-f]+):\t(.*)$)");
    std::smatch m;
    while (std::getline(lines, line)) {
        if (!std::regex_match(line, m, kInstruction))
            continue;
        std::istringstream words(m[2].str());
        std::string mnemonic;
        while (words >> mnemonic && kPrefixes.count(mnemonic)) {
        }
        std::string operands;
        std::getline(words, operands);
        operands.erase(0, operands.find_first_not_of(' '));
        if (mnemonic.empty() || mnemonic == "(bad)")
            continue;
        ++check.instructions;
        if (NewerThanI486(mnemonic, operands))
            check.newer.push_back(m[1].str() + ": " + m[2].str());
    }
    check.ran = true;
    return check;
}
