// Formatting into fixed buffers, where a text that does not fit is refused, never cut short.
#ifndef BOUNDED_FORMAT_H
#define BOUNDED_FORMAT_H

#include <stdarg.h>
#include <stddef.h>

// Formats into `buffer` of `size` bytes with the system's wvsprintfA (%s, %d, %u, %c, %x and
// the like; no floating point); false, with the buffer emptied, when the text with its
// terminating zero does not fit, or when the system says it may have cut it (it formats
// into 1024 bytes at most). A cut path, key name or command would name something else.
bool FormatBounded(char *buffer, size_t size, const char *format, ...);
bool FormatBoundedList(char *buffer, size_t size, const char *format, va_list args);

// The same with one text argument.
bool FormatWhole(char *buffer, size_t size, const char *format, const char *text);

#endif
