/* The few library functions the compiler may call on its own in freestanding code
 * (block copies and clears). Built with loop-pattern recognition off so they do not
 * turn into calls to themselves. */
#include <stddef.h>

void* memcpy(void* dest, const void* src, size_t n)
{
    unsigned char* d = dest;
    const unsigned char* s = src;
    while (n--) *d++ = *s++;
    return dest;
}

void* memmove(void* dest, const void* src, size_t n)
{
    unsigned char* d = dest;
    const unsigned char* s = src;
    if (d < s) {
        while (n--) *d++ = *s++;
    } else {
        d += n;
        s += n;
        while (n--) *--d = *--s;
    }
    return dest;
}

void* memset(void* dest, int value, size_t n)
{
    unsigned char* d = dest;
    while (n--) *d++ = (unsigned char)value;
    return dest;
}

int memcmp(const void* a, const void* b, size_t n)
{
    const unsigned char* p = a;
    const unsigned char* q = b;
    for (; n--; ++p, ++q)
        if (*p != *q) return *p - *q;
    return 0;
}
