#include "registry_layout.h"

#include <string.h>

#include "bounded_format.h"
#include "byte_search.h"
#include "decimal_text.h"
#include "short_path_equality.h"

namespace {

const char kDriverKey[] = "SOFTWARE\\ZANRO INC\\DISPLAY\\DRIVER";
const char kRecordKeyFormat[] = "Software\\ZANRO INC\\DISPLAY\\DRIVER\\%s";

unsigned char Folded(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// "Counter" as the installer writes it: decimal digits only, small enough to search.
bool IsUsableCounter(const char *text)
{
    size_t length = strlen(text);
    if (length == 0 || length > 4)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return RecordNumberValue(text) <= MAX_RECORD_COUNTER;
}

// The record key of a number text; false when it does not fit (it never does not, for the
// texts the search makes, but a cut key would name another record).
bool FormatRecordKey(const char *numberText, char *key)
{
    return FormatBounded(key, RECORD_KEY_SIZE, kRecordKeyFormat, numberText);
}

} // namespace

int ReadRegistryValue(HKEY root, const char *subkey, const char *valueName, char *buffer, DWORD size)
{
    HKEY key;
    if (size == 0 || RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return 0;
    DWORD length = size;
    LONG rc = RegQueryValueExA(key, valueName, NULL, NULL, reinterpret_cast<BYTE *>(buffer), &length);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || length > size) {
        // The system may have written part of a value that did not fit.
        buffer[0] = '\0';
        return 0;
    }
    // The stored bytes need not end in a zero: the text is what comes before the first
    // zero, or all the bytes when there is room for a terminator after them.
    if (HoldsByte(buffer, length, '\0'))
        return 1;
    if (length < size) {
        buffer[length] = '\0';
        return 1;
    }
    buffer[0] = '\0';
    return 0;
}

void FormatRecordNumber(int number, char *text)
{
    char digits[RECORD_NUMBER_SIZE];
    FormatBounded(digits, sizeof digits, "%d", number);
    if (strlen(digits) == 1)
        FormatBounded(text, RECORD_NUMBER_SIZE, "0%s", digits);
    else
        FormatBounded(text, RECORD_NUMBER_SIZE, "%s", digits);
}

int RecordNumberValue(const char *text)
{
    return DecimalValue(text);
}

int SelectDriverRecord(const char *bootDir, DriverRecord *record)
{
    memset(record, 0, sizeof *record);
    char counter[RECORD_VALUE_SIZE];
    if (!ReadRegistryValue(HKEY_LOCAL_MACHINE, kDriverKey, "Counter", counter, sizeof counter) ||
        !IsUsableCounter(counter))
        return 0;

    // The first candidate is named by the counter's own text (a single digit gets its
    // leading zero); each further one by the next lower number.
    char numberText[RECORD_NUMBER_SIZE];
    if (strlen(counter) == 1)
        FormatBounded(numberText, sizeof numberText, "0%s", counter);
    else
        FormatBounded(numberText, sizeof numberText, "%s", counter);
    for (;;) {
        char key[RECORD_KEY_SIZE];
        char instDir[RECORD_VALUE_SIZE];
        if (FormatRecordKey(numberText, key) &&
            ReadRegistryValue(HKEY_LOCAL_MACHINE, key, "InstDir", instDir, sizeof instDir) &&
            (NamesEqual(instDir, bootDir) || ShortPathsEqual(instDir, bootDir))) {
            record->number = RecordNumberValue(numberText);
            memcpy(record->numberText, numberText, sizeof numberText);
            memcpy(record->key, key, sizeof key);
            memcpy(record->instDir, instDir, sizeof instDir);
            return 1;
        }
        int next = RecordNumberValue(numberText) - 1;
        if (next < 0)
            return 0;
        FormatRecordNumber(next, numberText);
    }
}

int CountSubkeys(const char *path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    int count = 0;
    char name[256];
    while (count < MAX_COUNTED_SUBKEYS && RegEnumKeyA(key, count, name, sizeof name) == ERROR_SUCCESS)
        ++count;
    RegCloseKey(key);
    return count;
}

int NamesEqual(const char *a, const char *b)
{
    const unsigned char *x = reinterpret_cast<const unsigned char *>(a);
    const unsigned char *y = reinterpret_cast<const unsigned char *>(b);
    for (;; ++x, ++y) {
        if (Folded(*x) != Folded(*y))
            return 0;
        if (*x == '\0')
            return 1;
    }
}

int NameHasPrefix(const char *name, const char *prefix)
{
    const unsigned char *x = reinterpret_cast<const unsigned char *>(name);
    const unsigned char *p = reinterpret_cast<const unsigned char *>(prefix);
    for (; *p; ++x, ++p)
        if (Folded(*x) != Folded(*p))  // also stops at the end of a shorter name
            return 0;
    return 1;
}
