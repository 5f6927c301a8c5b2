// Looking for one byte in a block of bytes that need not end in a zero (what the registry
// returns for a value).
#ifndef BYTE_SEARCH_H
#define BYTE_SEARCH_H

#include <stddef.h>

// Whether one of the first `count` bytes is `value`.
bool HoldsByte(const char *bytes, size_t count, char value);

#endif
