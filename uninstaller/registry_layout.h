// The product's registry layout as the board's installer leaves it, and the reads and name
// comparisons that every part of the uninstaller uses.
//
// HKEY_LOCAL_MACHINE "SOFTWARE\ZANRO INC\DISPLAY"
//     "BootDir"            the folder the uninstaller was first started from
//     UTILITY\...          one subkey per installation of the display utility
//     DRIVER  "Counter"    decimal text: the record number the search starts from
//     DRIVER\00, 01, ...   one driver installation each ("InstDir", "FolderName", "Board",
//                          "DeviceNo", and the file list "0", "1", ... "49")
#ifndef REGISTRY_LAYOUT_H
#define REGISTRY_LAYOUT_H

#include <windows.h>

enum {
    RECORD_NUMBER_SIZE = 16,  // holds any int as record number text
    RECORD_KEY_SIZE = 256,
    RECORD_VALUE_SIZE = 256,
    MAX_COUNTED_SUBKEYS = 100,
    // A "Counter" above this is not taken as a record number: the search would otherwise
    // try that many keys one by one.
    MAX_RECORD_COUNTER = 9999,
};

struct DriverRecord {
    int number;                         // N
    char numberText[RECORD_NUMBER_SIZE];  // "00", "01", ... "10", ...
    char key[RECORD_KEY_SIZE];          // "Software\ZANRO INC\DISPLAY\DRIVER\<numberText>"
    char instDir[RECORD_VALUE_SIZE];    // its "InstDir"
};

// Reads a value's text below root\subkey into buffer (size bytes). Returns 1 when read; the
// buffer then always holds a zero-terminated string. A value whose text with its terminating
// zero does not fit (larger than the buffer, or filling it without a terminator) is not read
// (0). When the key does not open the buffer is left as it was; when the value cannot be
// read it is made empty.
int ReadRegistryValue(HKEY root, const char *subkey, const char *valueName, char *buffer, DWORD size);

// Record number text: decimal, at least two digits ("00" ... "09", "10", ...). text must
// hold RECORD_NUMBER_SIZE bytes.
void FormatRecordNumber(int number, char *text);
// Decimal value of the leading digits (0 when there are none).
int RecordNumberValue(const char *text);

// Finds the record whose "InstDir" equals bootDir, as written or by the short forms of
// both (ShortPathsEqual), searching from "Counter" downwards.
// Returns 1 with *record filled, or 0 when there is no such record: "Counter" is missing,
// not a plain decimal number of at most 4 digits (e.g. negative, empty, "3a", " 3"), or no
// record down to "00" matches. *record is zero-filled then.
int SelectDriverRecord(const char *bootDir, DriverRecord *record);

// Number of subkeys of HKEY_LOCAL_MACHINE\path, at most MAX_COUNTED_SUBKEYS; 0 when the key
// does not open.
int CountSubkeys(const char *path);

// Name equality of the uninstaller: byte by byte as unsigned values, only the ASCII capitals
// A-Z folded to a-z (double-byte characters get no special treatment).
int NamesEqual(const char *a, const char *b);
// The same rule over the first strlen(prefix) bytes of name; a shorter name does not match.
int NameHasPrefix(const char *name, const char *prefix);

#endif
