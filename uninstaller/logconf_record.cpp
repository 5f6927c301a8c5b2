#include "logconf_record.h"

namespace {

enum {
    kFormatVersion = 0x400,
    kPriorityForced = 0,
    kPriorityHardwired = 0xE000,
    kTypeMemory = 1,
    kTypePort = 2,
    kPortEntrySize = 32,
    kPortRangeSize = 12,
    kMemoryEntrySize = 44,
    kMemoryRangeSize = 20,
    kDecode = 3,
};

struct Resource {
    int type;
    unsigned long first;
    unsigned long last;
};

const Resource kResources[] = {
    {kTypePort, 0x60, 0x60},     {kTypePort, 0x62, 0x62},     {kTypePort, 0x64, 0x64},
    {kTypePort, 0x66, 0x66},     {kTypePort, 0x68, 0x68},     {kTypePort, 0x6A, 0x6A},
    {kTypePort, 0x6C, 0x6C},     {kTypePort, 0x6E, 0x6E},     {kTypePort, 0x7C, 0x7C},
    {kTypePort, 0x7E, 0x7E},     {kTypePort, 0xA0, 0xA0},     {kTypePort, 0xA2, 0xA2},
    {kTypePort, 0xA4, 0xA4},     {kTypePort, 0xA6, 0xA6},     {kTypePort, 0xA8, 0xA8},
    {kTypePort, 0xAA, 0xAA},     {kTypePort, 0xAC, 0xAC},     {kTypePort, 0xAE, 0xAE},
    {kTypePort, 0x4A0, 0x4A0},   {kTypePort, 0x18F0, 0x18F3},
    {kTypeMemory, 0xA8000, 0xBFFFF}, {kTypeMemory, 0xE0000, 0xE7FFF},
};

struct Writer {
    unsigned char *at;
    void Byte(unsigned long v) { *at++ = static_cast<unsigned char>(v & 0xFF); }
    void Word(unsigned long v) { Byte(v); Byte(v >> 8); }
    void Dword(unsigned long v) { Word(v & 0xFFFF); Word(v >> 16); }
};

void PortEntry(Writer &w, const Resource &r, bool forced)
{
    w.Dword(kPortEntrySize);
    w.Dword(kTypePort);
    w.Word(1);                          // one range
    w.Word(kPortRangeSize);
    w.Word(forced ? r.first : 0);       // allocated first port
    w.Word(forced ? r.last : 0);        // allocated last port
    w.Word(0);                          // descriptor flags
    w.Byte(0);                          // allocated alias
    w.Byte(forced ? kDecode : 0);       // allocated decode
    w.Word(0xFFFF);                     // alignment mask
    w.Word(r.last - r.first + 1);       // number of ports
    w.Word(r.first);                    // lowest first port
    w.Word(r.last);                     // highest last port
    w.Word(0);                          // range flags
    w.Byte(0);                          // range alias
    w.Byte(kDecode);                    // range decode
}

void MemoryEntry(Writer &w, const Resource &r, bool forced)
{
    w.Dword(kMemoryEntrySize);
    w.Dword(kTypeMemory);
    w.Word(1);                          // one range
    w.Word(kMemoryRangeSize);
    w.Dword(forced ? r.first : 0);      // allocated start
    w.Dword(forced ? r.last : 0);       // allocated end
    w.Word(0);                          // descriptor flags
    w.Word(0);
    w.Dword(0xFFFFF000);                // alignment mask
    w.Dword(r.last - r.first + 1);      // length in bytes
    w.Dword(r.first);                   // lowest start
    w.Dword(r.last);                    // highest end
    w.Word(0);                          // range flags
    w.Word(0);
}

} // namespace

void BuildLogConfRecord(LogConfKind kind, unsigned char record[LOGCONF_RECORD_SIZE])
{
    bool forced = kind == LOGCONF_FORCED;
    Writer w{record};
    w.Dword(kFormatVersion);
    w.Dword(forced ? kPriorityForced : kPriorityHardwired);
    for (const Resource &r : kResources) {
        if (r.type == kTypePort)
            PortEntry(w, r, forced);
        else
            MemoryEntry(w, r, forced);
    }
    w.Dword(0);  // end marker
}
