/* A mix of integer kernels: sorting, checksums, matrix and list code, string handling
 * and division-heavy number theory. Each pass folds every kernel's result into one
 * checksum, so a single wrong instruction anywhere changes the outcome. Only 32-bit
 * integer arithmetic is used: the guest is built without any support library. */
#include "workload.h"

#include <stddef.h>

#define SORT_COUNT 3000
#define BUFFER_SIZE 16384
#define MATRIX_N 24
#define LIST_NODES 2000
#define TEXT_SIZE 4096
#define SIEVE_LIMIT 20000

static uint32_t rng_state;

static uint32_t next_random(void)
{
    /* xorshift32 */
    uint32_t x = rng_state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    rng_state = x;
    return x;
}

static uint32_t mix(uint32_t sum, uint32_t value)
{
    sum ^= value + 0x9E3779B9u + (sum << 6) + (sum >> 2);
    return sum;
}

/* --- sorting ------------------------------------------------------------------------ */

static uint32_t sort_data[SORT_COUNT];
static uint32_t sort_copy[SORT_COUNT];

static void insertion_sort(uint32_t* a, int lo, int hi)
{
    for (int i = lo + 1; i <= hi; ++i) {
        uint32_t v = a[i];
        int j = i - 1;
        while (j >= lo && a[j] > v) {
            a[j + 1] = a[j];
            --j;
        }
        a[j + 1] = v;
    }
}

static void quick_sort(uint32_t* a, int lo, int hi)
{
    while (hi - lo > 12) {
        uint32_t pivot = a[lo + (hi - lo) / 2];
        int i = lo, j = hi;
        while (i <= j) {
            while (a[i] < pivot) ++i;
            while (a[j] > pivot) --j;
            if (i <= j) {
                uint32_t t = a[i];
                a[i] = a[j];
                a[j] = t;
                ++i;
                --j;
            }
        }
        /* Recurse into the smaller half to bound the stack. */
        if (j - lo < hi - i) {
            quick_sort(a, lo, j);
            lo = i;
        } else {
            quick_sort(a, i, hi);
            hi = j;
        }
    }
    insertion_sort(a, lo, hi);
}

static void heap_sift(uint32_t* a, int start, int end)
{
    int root = start;
    while (2 * root + 1 <= end) {
        int child = 2 * root + 1;
        if (child + 1 <= end && a[child] < a[child + 1]) ++child;
        if (a[root] >= a[child]) return;
        uint32_t t = a[root];
        a[root] = a[child];
        a[child] = t;
        root = child;
    }
}

static void heap_sort(uint32_t* a, int n)
{
    for (int start = (n - 2) / 2; start >= 0; --start) heap_sift(a, start, n - 1);
    for (int end = n - 1; end > 0; --end) {
        uint32_t t = a[0];
        a[0] = a[end];
        a[end] = t;
        heap_sift(a, 0, end - 1);
    }
}

static uint32_t kernel_sort(void)
{
    for (int i = 0; i < SORT_COUNT; ++i) sort_data[i] = sort_copy[i] = next_random() % 100000u;
    quick_sort(sort_data, 0, SORT_COUNT - 1);
    heap_sort(sort_copy, SORT_COUNT);
    uint32_t sum = 0;
    for (int i = 0; i < SORT_COUNT; ++i) {
        if (i > 0 && sort_data[i - 1] > sort_data[i]) sum += 0x1000000u;  /* unsorted */
        if (sort_data[i] != sort_copy[i]) sum += 0x10000u;                /* disagree */
        sum = mix(sum, sort_data[i] * (uint32_t)(i + 1));
    }
    return sum;
}

/* --- checksums ---------------------------------------------------------------------- */

static uint8_t buffer[BUFFER_SIZE];
static uint32_t crc_table[256];

static void build_crc_table(void)
{
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crc_table[n] = c;
    }
}

static uint32_t crc32(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    while (n--) c = crc_table[(c ^ *p++) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

static uint32_t adler32(const uint8_t* p, size_t n)
{
    uint32_t a = 1, b = 0;
    while (n--) {
        a = (a + *p++) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

static uint32_t fletcher16_words(const uint8_t* p, size_t n)
{
    uint32_t s1 = 0xFFFF, s2 = 0xFFFF;
    for (size_t i = 0; i + 1 < n; i += 2) {
        s1 += (uint32_t)(p[i] << 8 | p[i + 1]);
        s2 += s1;
        s1 = (s1 & 0xFFFF) + (s1 >> 16);
        s2 = (s2 & 0xFFFF) + (s2 >> 16);
    }
    return (s2 << 16) | s1;
}

static uint32_t kernel_checksums(void)
{
    for (int i = 0; i < BUFFER_SIZE; ++i) buffer[i] = (uint8_t)(next_random() >> 11);
    uint32_t sum = crc32(buffer, BUFFER_SIZE);
    sum = mix(sum, adler32(buffer, BUFFER_SIZE));
    sum = mix(sum, fletcher16_words(buffer, BUFFER_SIZE));
    /* Byte-wise rotate-and-add, the kind of code that exercises shifts and bit fields. */
    uint32_t r = 0;
    for (int i = 0; i < BUFFER_SIZE; ++i) r = ((r << 5) | (r >> 27)) + buffer[i];
    return mix(sum, r);
}

/* --- matrices ----------------------------------------------------------------------- */

static int32_t mat_a[MATRIX_N][MATRIX_N], mat_b[MATRIX_N][MATRIX_N], mat_c[MATRIX_N][MATRIX_N];

static uint32_t kernel_matrix(void)
{
    for (int i = 0; i < MATRIX_N; ++i)
        for (int j = 0; j < MATRIX_N; ++j) {
            mat_a[i][j] = (int32_t)(next_random() % 2001u) - 1000;
            mat_b[i][j] = (int32_t)(next_random() % 2001u) - 1000;
        }
    for (int i = 0; i < MATRIX_N; ++i)
        for (int j = 0; j < MATRIX_N; ++j) {
            int32_t s = 0;
            for (int k = 0; k < MATRIX_N; ++k) s += mat_a[i][k] * mat_b[k][j];
            mat_c[i][j] = s;
        }
    /* Transpose in place and take a trace and a signed division per row. */
    uint32_t sum = 0;
    for (int i = 0; i < MATRIX_N; ++i)
        for (int j = i + 1; j < MATRIX_N; ++j) {
            int32_t t = mat_c[i][j];
            mat_c[i][j] = mat_c[j][i];
            mat_c[j][i] = t;
        }
    for (int i = 0; i < MATRIX_N; ++i) {
        int32_t divisor = mat_a[i][i] == 0 ? 7 : mat_a[i][i];
        sum = mix(sum, (uint32_t)mat_c[i][i]);
        sum = mix(sum, (uint32_t)(mat_c[i][0] / divisor));
        sum = mix(sum, (uint32_t)(mat_c[0][i] % divisor));
    }
    return sum;
}

/* --- linked lists ------------------------------------------------------------------- */

struct node {
    struct node* next;
    uint32_t key;
    uint16_t tag;
};

static struct node nodes[LIST_NODES];

static struct node* list_merge(struct node* a, struct node* b)
{
    struct node head;
    struct node* tail = &head;
    while (a && b) {
        if (a->key <= b->key) {
            tail->next = a;
            a = a->next;
        } else {
            tail->next = b;
            b = b->next;
        }
        tail = tail->next;
    }
    tail->next = a ? a : b;
    return head.next;
}

static struct node* list_sort(struct node* list)
{
    if (!list || !list->next) return list;
    struct node* slow = list;
    struct node* fast = list->next;
    while (fast && fast->next) {
        slow = slow->next;
        fast = fast->next->next;
    }
    struct node* second = slow->next;
    slow->next = 0;
    return list_merge(list_sort(list), list_sort(second));
}

static uint32_t kernel_list(void)
{
    struct node* list = 0;
    for (int i = 0; i < LIST_NODES; ++i) {
        nodes[i].key = next_random() & 0xFFFFF;
        nodes[i].tag = (uint16_t)i;
        nodes[i].next = list;
        list = &nodes[i];
    }
    /* Reverse, drop every node whose key is divisible by 3, then sort. */
    struct node* reversed = 0;
    while (list) {
        struct node* n = list->next;
        list->next = reversed;
        reversed = list;
        list = n;
    }
    struct node** link = &reversed;
    while (*link) {
        if ((*link)->key % 3u == 0)
            *link = (*link)->next;
        else
            link = &(*link)->next;
    }
    list = list_sort(reversed);
    uint32_t sum = 0, count = 0, previous = 0;
    for (struct node* n = list; n; n = n->next) {
        if (n->key < previous) sum += 0x100000u;
        previous = n->key;
        sum = mix(sum, n->key ^ n->tag);
        ++count;
    }
    return mix(sum, count);
}

/* --- strings ------------------------------------------------------------------------ */

static char text[TEXT_SIZE];
static char scratch[TEXT_SIZE];

static size_t str_length(const char* s)
{
    const char* p = s;
    while (*p) ++p;
    return (size_t)(p - s);
}

static int str_compare(const char* a, const char* b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return (unsigned char)*a - (unsigned char)*b;
}

static const char* str_find(const char* hay, const char* needle)
{
    size_t n = str_length(needle);
    for (; *hay; ++hay) {
        size_t i = 0;
        while (i < n && hay[i] == needle[i]) ++i;
        if (i == n) return hay;
    }
    return 0;
}

static char* put_decimal(char* out, uint32_t value)
{
    char digits[12];
    int n = 0;
    do {
        digits[n++] = (char)('0' + value % 10u);
        value /= 10u;
    } while (value);
    while (n) *out++ = digits[--n];
    return out;
}

static uint32_t parse_decimal(const char** s)
{
    uint32_t v = 0;
    while (**s >= '0' && **s <= '9') v = v * 10u + (uint32_t)(*(*s)++ - '0');
    return v;
}

static uint32_t kernel_strings(void)
{
    static const char* const words[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta",
                                        "eta", "theta", "iota", "kappa", "lambda", "mu"};
    const int word_count = (int)(sizeof words / sizeof words[0]);
    char* p = text;
    char* limit = text + TEXT_SIZE - 32;
    while (p < limit) {
        const char* w = words[next_random() % (uint32_t)word_count];
        while (*w) *p++ = *w++;
        *p++ = ' ';
        p = put_decimal(p, next_random() % 100000u);
        *p++ = ' ';
    }
    *p = 0;

    uint32_t sum = (uint32_t)str_length(text);
    /* Sum the numbers back out of the text. */
    for (const char* s = text; *s;) {
        if (*s >= '0' && *s <= '9')
            sum = mix(sum, parse_decimal(&s));
        else
            ++s;
    }
    /* Count occurrences of a few needles. */
    for (int k = 0; k < 4; ++k) {
        uint32_t hits = 0;
        for (const char* s = text; (s = str_find(s, words[k * 3])) != 0; ++s) ++hits;
        sum = mix(sum, hits);
    }
    /* Upper-case copy, reverse each word, compare against the original. */
    size_t n = str_length(text);
    for (size_t i = 0; i <= n; ++i) {
        char c = text[i];
        scratch[i] = (c >= 'a' && c <= 'z') ? (char)(c - 32) : c;
    }
    for (size_t i = 0; i < n;) {
        size_t j = i;
        while (j < n && scratch[j] != ' ') ++j;
        for (size_t a = i, b = j; a + 1 < b; ++a, --b) {
            char t = scratch[a];
            scratch[a] = scratch[b - 1];
            scratch[b - 1] = t;
        }
        i = j + 1;
    }
    int cmp = str_compare(text, scratch);
    sum = mix(sum, (uint32_t)(cmp < 0 ? 1 : cmp > 0 ? 2 : 3));
    for (size_t i = 0; i < n; i += 97) sum = mix(sum, (uint32_t)(unsigned char)scratch[i]);
    return sum;
}

/* --- number theory ------------------------------------------------------------------ */

static uint8_t sieve[SIEVE_LIMIT];

static uint32_t gcd(uint32_t a, uint32_t b)
{
    while (b) {
        uint32_t t = a % b;
        a = b;
        b = t;
    }
    return a;
}

static uint32_t kernel_numbers(void)
{
    for (int i = 0; i < SIEVE_LIMIT; ++i) sieve[i] = 1;
    sieve[0] = sieve[1] = 0;
    for (int i = 2; i * i < SIEVE_LIMIT; ++i)
        if (sieve[i])
            for (int j = i * i; j < SIEVE_LIMIT; j += i) sieve[j] = 0;
    uint32_t primes = 0, last = 0;
    for (int i = 0; i < SIEVE_LIMIT; ++i)
        if (sieve[i]) {
            ++primes;
            last = (uint32_t)i;
        }
    uint32_t sum = mix(primes, last);
    for (int i = 0; i < 300; ++i) {
        uint32_t a = next_random() | 1, b = next_random() >> 3;
        sum = mix(sum, gcd(a, b));
        int32_t s = (int32_t)next_random();
        int32_t d = (int32_t)(next_random() >> 20) - 2048;
        if (d == 0 || d == -1) d = 3; /* no division by zero, no INT_MIN / -1 */
        sum = mix(sum, (uint32_t)(s / d));
        sum = mix(sum, (uint32_t)(s % d));
    }
    return sum;
}

uint32_t workload_run(void)
{
    uint32_t result = 0;
    rng_state = 0x2545F491u;
    build_crc_table();
    for (int pass = 0; pass < WORKLOAD_REPEAT; ++pass) {
        result = mix(result, kernel_sort());
        result = mix(result, kernel_checksums());
        result = mix(result, kernel_matrix());
        result = mix(result, kernel_list());
        result = mix(result, kernel_strings());
        result = mix(result, kernel_numbers());
    }
    return result;
}
