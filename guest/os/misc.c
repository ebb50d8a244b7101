/* time, date (from the host's clock register), calc (arithmetic with the host's
   floating-point accelerator words on six-byte floating-point values) and clip. */
#include "os.h"
#include "shell.h"

/* ---- clock ---- */

struct date {
    long year, month, day, hour, minute, second, weekday;
};

/* Guest seconds count from 1961-01-01 00:00, a Sunday. */
static void date_from_seconds(u32 s, struct date* d)
{
    static const u8 month_days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    u32 days = s / 86400, rest = s % 86400;
    d->hour = (long)(rest / 3600);
    d->minute = (long)(rest / 60 % 60);
    d->second = (long)(rest % 60);
    d->weekday = (long)(days % 7);
    long year = 1961;
    for (;;) {
        u32 length = (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)) ? 366 : 365;
        if (days < length) break;
        days -= length;
        year++;
    }
    int leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    long month = 0;
    for (;; month++) {
        u32 length = month_days[month] + (month == 1 && leap);
        if (days < length) break;
        days -= length;
    }
    d->year = year;
    d->month = month + 1;
    d->day = (long)days + 1;
}

static void out_two(long v)
{
    out_char((char)('0' + v / 10 % 10));
    out_char((char)('0' + v % 10));
}

void cmd_time(int argc, char** argv)
{
    struct date d;
    (void)argc, (void)argv;
    date_from_seconds(CLOCK_REGISTER, &d);
    out_two(d.hour);
    out_char(':');
    out_two(d.minute);
    out_char(':');
    out_two(d.second);
    out_char('\n');
}

void cmd_date(int argc, char** argv)
{
    static const char* const names[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    struct date d;
    (void)argc, (void)argv;
    date_from_seconds(CLOCK_REGISTER, &d);
    out_dec(d.year);
    out_char('-');
    out_two(d.month);
    out_char('-');
    out_two(d.day);
    out_char(' ');
    out_line(names[d.weekday]);
}

/* ---- calc ---- */

/* A six-byte floating-point value: exponent (biased by $800), two's complement fraction. */
struct fp {
    u16 exponent;
    s32 mantissa;
} __attribute__((packed));

static long fp_error;

static struct fp fp_from_long(long v)
{
    struct fp f = {0, 0};
    if (v == 0) return f;
    s32 m = v;
    int e = 0x800 + 31;
    while (((m >> 31) & 1) == ((m >> 30) & 1)) {
        m <<= 1;
        e--;
    }
    f.exponent = (u16)e;
    f.mantissa = m;
    return f;
}

/* One accelerator word on NOS and TOS (or TOS alone); the result, or an error noted. */
static struct fp fp_binary(void* word, struct fp nos, struct fp tos)
{
    struct fp stack[2];
    stack[0] = tos;
    stack[1] = nos;
    struct regs r = {0};
    r.a[1] = (u32)&stack[0];
    long result = fp_call(word, &r);
    if (result < 0 && !fp_error) fp_error = result;
    return *(struct fp*)r.a[1];
}

static struct fp fp_unary(void* word, struct fp tos)
{
    struct fp stack[1];
    stack[0] = tos;
    struct regs r = {0};
    r.a[1] = (u32)&stack[0];
    long result = fp_call(word, &r);
    if (result < 0 && !fp_error) fp_error = result;
    return *(struct fp*)r.a[1];
}

static int fp_negative(struct fp f) { return f.mantissa < 0; }

static struct fp fp_negate(struct fp f) { return fp_binary(fp_words_sub, fp_from_long(0), f); }

/* The whole part of a value below 2^31 in size, truncated toward zero. */
static long fp_truncate(struct fp f)
{
    if (f.mantissa == 0) return 0;
    int e = (int)f.exponent - 0x800;
    if (e <= 0) return 0;
    s32 m = f.mantissa;
    int negative = m < 0;
    u32 magnitude = negative ? (u32)0 - (u32)m : (u32)m;
    u32 whole = e >= 31 ? magnitude : magnitude >> (31 - e);
    return negative ? -(long)whole : (long)whole;
}

/* True when |f| < 2^30: small enough for the integer steps of printing. */
static int fp_small(struct fp f) { return f.mantissa == 0 || (int)f.exponent - 0x800 <= 30; }

static const char* expr_text;
static const char* expr_bad; /* where the first syntax error was met */

static void syntax_error(void)
{
    if (!expr_bad) expr_bad = expr_text;
}

static void skip_blanks(void)
{
    while (*expr_text == ' ') expr_text++;
}

static struct fp parse_expr(void);

static struct fp parse_number(void)
{
    struct fp value = fp_from_long(0), ten = fp_from_long(10);
    int digits = 0, decimals = -1;
    for (;; expr_text++) {
        char c = *expr_text;
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9') break;
        value = fp_binary(fp_words_add, fp_binary(fp_words_mul, value, ten), fp_from_long(c - '0'));
        digits++;
        if (decimals >= 0) decimals++;
    }
    if (!digits) syntax_error();
    for (int i = 0; i < decimals; i++) value = fp_binary(fp_words_div, value, ten);
    return value;
}

static struct fp parse_factor(void)
{
    skip_blanks();
    if (*expr_text == '-') {
        expr_text++;
        return fp_negate(parse_factor());
    }
    if (*expr_text == '+') {
        expr_text++;
        return parse_factor();
    }
    if (str_iprefix(expr_text, "sqrt")) {
        expr_text += 4;
        skip_blanks();
        if (*expr_text != '(') syntax_error();
        return fp_unary(fp_words_sqrt, parse_factor());
    }
    if (*expr_text == '(') {
        expr_text++;
        struct fp inner = parse_expr();
        skip_blanks();
        if (*expr_text == ')')
            expr_text++;
        else
            syntax_error();
        return inner;
    }
    return parse_number();
}

static struct fp parse_term(void)
{
    struct fp value = parse_factor();
    for (;;) {
        skip_blanks();
        char op = *expr_text;
        if (op != '*' && op != '/') return value;
        expr_text++;
        struct fp right = parse_factor();
        value = fp_binary(op == '*' ? fp_words_mul : fp_words_div, value, right);
    }
}

static struct fp parse_expr(void)
{
    struct fp value = parse_term();
    for (;;) {
        skip_blanks();
        char op = *expr_text;
        if (op != '+' && op != '-') return value;
        expr_text++;
        struct fp right = parse_term();
        value = fp_binary(op == '+' ? fp_words_add : fp_words_sub, value, right);
    }
}

/* Prints with up to six decimals, trailing zeros dropped; large values as d.ddddddE+n. */
static void out_fp(struct fp value)
{
    if (fp_negative(value)) {
        out_char('-');
        value = fp_negate(value);
    }
    struct fp ten = fp_from_long(10);
    int exponent = 0;
    while (!fp_small(value) && !fp_error) {
        value = fp_binary(fp_words_div, value, ten);
        exponent++;
    }
    while (exponent && fp_truncate(value) >= 10) {
        value = fp_binary(fp_words_div, value, ten);
        exponent++;
    }
    /* As many decimals as keep the scaled value within the integer range. */
    int decimals = 6;
    long scale = 1000000;
    while (decimals > 0) {
        struct fp scaled = fp_binary(fp_words_mul, value, fp_from_long(scale));
        if (fp_small(scaled)) break;
        decimals--;
        scale /= 10;
    }
    struct fp half = fp_binary(fp_words_div, fp_from_long(1), fp_from_long(2));
    long units = fp_truncate(fp_binary(fp_words_add, fp_binary(fp_words_mul, value, fp_from_long(scale)), half));
    out_dec(units / scale);
    long fraction = units % scale;
    if (fraction) {
        char digits[8];
        int n = decimals;
        digits[n] = 0;
        while (n--) {
            digits[n] = (char)('0' + fraction % 10);
            fraction /= 10;
        }
        for (n = decimals - 1; n > 0 && digits[n] == '0'; n--) digits[n] = 0;
        out_char('.');
        out_str(digits);
    }
    if (exponent) {
        out_str("E+");
        out_dec(exponent);
    }
}

void cmd_calc(int argc, char** argv)
{
    static char text[512];
    text[0] = 0;
    size_t used = 0;
    for (int i = 1; i < argc; i++) {
        size_t n = strlen(argv[i]);
        if (used + n + 2 > sizeof text) {
            out_error("calc", ERR_BP);
            return;
        }
        memcpy(text + used, argv[i], n);
        used += n;
        text[used++] = ' ';
        text[used] = 0;
    }
    if (used) text[--used] = 0;
    expr_text = text;
    expr_bad = 0;
    fp_error = 0;
    struct fp value = parse_expr();
    skip_blanks();
    if (expr_bad || *expr_text) {
        const char* at = expr_bad ? expr_bad : expr_text;
        out_str("calc: syntax error at: ");
        out_line(*at ? at : "end");
        return;
    }
    if (fp_error) {
        out_error("calc", fp_error);
        return;
    }
    out_fp(value);
    out_char('\n');
}

/* ---- clipboard ---- */

void cmd_clip(int argc, char** argv)
{
    static struct qstr text;
    struct regs r = {0};
    if (str_ieq(argv[1], "put") && argc >= 3) {
        size_t used = 0;
        for (int i = 2; i < argc; i++) {
            size_t n = strlen(argv[i]);
            if (used + n + 1 > sizeof text.text) n = sizeof text.text - used - 1;
            memcpy(text.text + used, argv[i], n);
            used += n;
            if (i + 1 < argc) text.text[used++] = ' ';
        }
        text.length = (u16)used;
        r.a[1] = (u32)&text;
        long result = hc_clipboard_put(&r);
        if (result < 0)
            out_error("clip", result);
        else
            out_line("clipboard set");
        return;
    }
    if (str_ieq(argv[1], "get") && argc == 2) {
        static u8 buffer[32770];
        long result = hc_clipboard_fetch(&r);
        if (result < 0) {
            out_line("clip: the clipboard holds no text");
            return;
        }
        r.a[1] = (u32)buffer;
        result = hc_clipboard_get(&r);
        if (result < 0) {
            out_error("clip", result);
            return;
        }
        u16 length = (u16)(buffer[0] << 8 | buffer[1]);
        for (u16 i = 0; i < length; i++) out_char((char)buffer[2 + i]);
        out_char('\n');
        return;
    }
    out_line("usage: clip put TEXT | clip get");
}
