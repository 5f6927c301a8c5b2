#include "bounded_format.h"

#include <stdio.h>

bool FormatWhole(char *buffer, size_t size, const char *format, const char *text)
{
    // _snprintf leaves the buffer unterminated or returns -1 when the text does not fit.
    int n = _snprintf(buffer, size, format, text);
    if (n < 0 || static_cast<size_t>(n) >= size) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}
