// Formatting into fixed buffers, where a text that does not fit is refused, never cut short.
#ifndef BOUNDED_FORMAT_H
#define BOUNDED_FORMAT_H

#include <stddef.h>

// Formats `text` into `buffer`; false, with the buffer emptied, when it does not fit. A cut
// path or key name would name something else.
bool FormatWhole(char *buffer, size_t size, const char *format, const char *text);

#endif
