// Looking for one byte in a block of bytes that need not end in a zero (what the registry
// returns for a value), and telling two texts equal byte for byte; the uninstaller has no
// C library to do either.
#ifndef BYTE_SEARCH_H
#define BYTE_SEARCH_H

#include <stddef.h>

// Whether one of the first `count` bytes is `value`.
bool HoldsByte(const char *bytes, size_t count, char value);

// Whether two zero-terminated texts hold the same bytes: case counts, unlike NamesEqual's.
bool SameText(const char *a, const char *b);

#endif
