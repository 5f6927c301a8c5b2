#include "bounded_format.h"

#include <string.h>
#include <windows.h>

namespace {

// wvsprintfA writes at most 1024 bytes, its terminating zero included, and says how many
// characters it wrote; a text it may have cut comes out as 1024 (under Wine a text of 1023
// characters too, which filled the bytes), so 1024 or more counts as a text that does not
// fit. The scratch buffer has a byte to spare.
enum { kMostFormatted = 1024 };

} // namespace

bool FormatBoundedList(char *buffer, size_t size, const char *format, va_list args)
{
    char scratch[kMostFormatted + 1];
    int n = wvsprintfA(scratch, format, args);
    if (n < 0 || n >= kMostFormatted || static_cast<size_t>(n) >= size) {
        if (size > 0)
            buffer[0] = '\0';
        return false;
    }
    memcpy(buffer, scratch, static_cast<size_t>(n) + 1);
    return true;
}

bool FormatBounded(char *buffer, size_t size, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    bool fits = FormatBoundedList(buffer, size, format, args);
    va_end(args);
    return fits;
}

bool FormatWhole(char *buffer, size_t size, const char *format, const char *text)
{
    return FormatBounded(buffer, size, format, text);
}
