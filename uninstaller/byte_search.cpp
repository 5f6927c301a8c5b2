#include "byte_search.h"

#include <string.h>

bool HoldsByte(const char *bytes, size_t count, char value)
{
    for (size_t i = 0; i < count; ++i)
        if (bytes[i] == value)
            return true;
    return false;
}

bool SameText(const char *a, const char *b)
{
    size_t length = strlen(a);
    return strlen(b) == length && memcmp(a, b, length) == 0;
}
