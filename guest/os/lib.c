/* The few library routines our system needs, and its output path: every character goes
   to the console, and every finished line also to the host's debug output, so scripts
   run headless can be followed from outside. */
#include "os.h"

void* memcpy(void* d, const void* s, size_t n)
{
    u8* dp = d;
    const u8* sp = s;
    while (n--) *dp++ = *sp++;
    return d;
}

void* memmove(void* d, const void* s, size_t n)
{
    u8* dp = d;
    const u8* sp = s;
    if (dp < sp) return memcpy(d, s, n);
    while (n--) dp[n] = sp[n];
    return d;
}

void* memset(void* d, int c, size_t n)
{
    u8* dp = d;
    while (n--) *dp++ = (u8)c;
    return d;
}

int memcmp(const void* a, const void* b, size_t n)
{
    const u8 *ap = a, *bp = b;
    for (; n; n--, ap++, bp++)
        if (*ap != *bp) return *ap - *bp;
    return 0;
}

size_t strlen(const char* s)
{
    size_t n = 0;
    while (s[n]) n++;
    return n;
}

int strcmp(const char* a, const char* b)
{
    while (*a && *a == *b) a++, b++;
    return (u8)*a - (u8)*b;
}

char to_upper(char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

int str_ieq(const char* a, const char* b)
{
    while (*a && to_upper(*a) == to_upper(*b)) a++, b++;
    return *a == 0 && *b == 0;
}

int str_iprefix(const char* s, const char* prefix)
{
    while (*prefix)
        if (to_upper(*s++) != to_upper(*prefix++)) return 0;
    return 1;
}

char* str_copy(char* d, const char* s, size_t size)
{
    size_t i = 0;
    if (!size) return d;
    for (; i + 1 < size && s[i]; i++) d[i] = s[i];
    d[i] = 0;
    return d;
}

/* Decimal, with an optional sign; the whole text must be the number. */
int parse_long(const char* s, long* out)
{
    int negative = 0;
    u32 v = 0;
    if (*s == '-' || *s == '+') negative = *s++ == '-';
    if (!*s) return 0;
    for (; *s; s++) {
        if (*s < '0' || *s > '9') return 0;
        if (v > 200000000) return 0;
        v = v * 10 + (u32)(*s - '0');
    }
    *out = negative ? -(long)v : (long)v;
    return 1;
}

void qstr_set(struct qstr* q, const char* s)
{
    size_t n = strlen(s);
    if (n > sizeof q->text) n = sizeof q->text;
    memcpy(q->text, s, n);
    q->length = (u16)n;
}

const char* error_text(long code)
{
    switch (code) {
    case ERR_NC:
        return "not complete";
    case ERR_NM:
        return "out of memory";
    case ERR_BF:
        return "buffer full";
    case ERR_NO:
        return "channel not open";
    case ERR_NF:
        return "not found";
    case ERR_EX:
        return "already exists";
    case ERR_IU:
        return "in use";
    case ERR_EF:
        return "end of file";
    case ERR_DF:
        return "drive full";
    case ERR_BN:
        return "bad name";
    case ERR_TE:
        return "transmission error";
    case ERR_BP:
        return "bad parameter";
    case ERR_FE:
        return "bad or changed medium";
    case ERR_OV:
        return "arithmetic overflow";
    case ERR_NI:
        return "not implemented";
    case ERR_RO:
        return "read only";
    case -22:
        return "host failure";
    case -23:
        return "refused by the host";
    default:
        return "error";
    }
}

/* Debug output of one line: the host prints the QDOS string that A0 points at. */
void debug_text(const char* s)
{
    static struct qstr line;
    qstr_set(&line, s);
    register struct qstr* a0 __asm__("a0") = &line;
    __asm__ volatile(".short 0xA0FF\n\t.asciz \"%%sa0\"\n\t.even" : : "a"(a0) : "memory", "cc");
}

static char pending[256];
static int pending_length;

/* Long lines reach the debug output in pieces of this many characters. */
#define DEBUG_PIECE 200

static void note_char(char c)
{
    if (c == '\n' || pending_length >= DEBUG_PIECE) {
        pending[pending_length] = 0;
        debug_text(pending);
        pending_length = 0;
    }
    if (c != '\n') pending[pending_length++] = c;
}

void out_char(char c)
{
    con_putc(c);
    note_char(c);
}

void out_note(const char* s)
{
    while (*s) note_char(*s++);
}

void out_str(const char* s)
{
    while (*s) out_char(*s++);
}

void out_line(const char* s)
{
    out_str(s);
    out_char('\n');
}

void out_udec(u32 v)
{
    char buf[12];
    int i = 0;
    do buf[i++] = (char)('0' + v % 10), v /= 10;
    while (v);
    while (i) out_char(buf[--i]);
}

void out_dec(long v)
{
    if (v < 0) {
        out_char('-');
        out_udec((u32)0 - (u32)v);
    } else {
        out_udec((u32)v);
    }
}

void out_hex(u32 v, int digits)
{
    while (digits--) out_char("0123456789ABCDEF"[(v >> (digits * 4)) & 15]);
}

/* A failing command: its name, what failed, and the guest error text. */
void out_error(const char* what, long code)
{
    out_str(what);
    out_str(": ");
    out_str(error_text(code));
    if (strcmp(error_text(code), "error") == 0) {
        out_char(' ');
        out_dec(code);
    }
    out_char('\n');
}
