// What the compiler may call on its own in a program without a C runtime: it turns
// structure initialisation, copies and some loops into memset/memcpy/strlen calls, and the
// sources call these few themselves. One copy for both shipped files; the test programs,
// which have the C runtime, take the C library's instead and never link this. It is built
// without loop-to-library pattern replacement, or these would call themselves.
#include <stddef.h>

extern "C" {

void *memset(void *dest, int value, size_t count)
{
    unsigned char *d = static_cast<unsigned char *>(dest);
    while (count--)
        *d++ = static_cast<unsigned char>(value);
    return dest;
}

void *memcpy(void *dest, const void *src, size_t count)
{
    unsigned char *d = static_cast<unsigned char *>(dest);
    const unsigned char *s = static_cast<const unsigned char *>(src);
    while (count--)
        *d++ = *s++;
    return dest;
}

void *memmove(void *dest, const void *src, size_t count)
{
    unsigned char *d = static_cast<unsigned char *>(dest);
    const unsigned char *s = static_cast<const unsigned char *>(src);
    if (d < s) {
        while (count--)
            *d++ = *s++;
    } else {
        d += count;
        s += count;
        while (count--)
            *--d = *--s;
    }
    return dest;
}

int memcmp(const void *a, const void *b, size_t count)
{
    const unsigned char *x = static_cast<const unsigned char *>(a);
    const unsigned char *y = static_cast<const unsigned char *>(b);
    for (; count; --count, ++x, ++y) {
        if (*x != *y)
            return *x < *y ? -1 : 1;
    }
    return 0;
}

size_t strlen(const char *text)
{
    size_t length = 0;
    while (text[length])
        ++length;
    return length;
}

} // extern "C"
