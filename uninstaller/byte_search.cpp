#include "byte_search.h"

bool HoldsByte(const char *bytes, size_t count, char value)
{
    for (size_t i = 0; i < count; ++i)
        if (bytes[i] == value)
            return true;
    return false;
}
