/* File commands on the host-directory drives DOS1_ to DOS8_ (the host keeps the files),
   sector commands on the container drives WIN1_.. and floppy drives FLP1_.., and printing
   a file through PAR1. Names are QL style: drive, underscore, name. */
#include "os.h"
#include "shell.h"

enum { DRIVE_DOS, DRIVE_WIN, DRIVE_FLP };

struct name {
    int kind, drive;
    struct qstr file; /* the part after the underscore */
};

/* Refuses names that could reach outside the drive's folder on the host, or that the
   host could not store: parent references, separators, control characters. */
static int name_is_safe(const char* s)
{
    if (!*s) return 0;
    for (const char* p = s; *p; p++) {
        u8 c = (u8)*p;
        if (c < 32 || c == '/' || c == '\\' || c == ':') return 0;
        if (c == '.' && p[1] == '.') return 0;
    }
    return 1;
}

/* "DOS1_notes" → DOS drive 1, file "notes". With `need_file` the name must not be empty. */
static long parse_name(const char* text, struct name* n, int need_file)
{
    static const char* const kinds[] = {"DOS", "WIN", "FLP"};
    for (int k = 0; k < 3; k++) {
        if (!str_iprefix(text, kinds[k])) continue;
        char digit = text[3];
        if (digit < '1' || digit > '8' || text[4] != '_') return ERR_BN;
        n->kind = k;
        n->drive = digit - '0';
        const char* file = text + 5;
        if (strlen(file) > 200) return ERR_BN;
        if (need_file && !name_is_safe(file)) return ERR_BN;
        if (!need_file && *file && !name_is_safe(file)) return ERR_BN;
        qstr_set(&n->file, file);
        return 0;
    }
    return ERR_NF;
}

/* A name that must be a file on a DOS drive; prints the error otherwise. */
static int dos_file(const char* command, const char* text, struct name* n)
{
    long result = parse_name(text, n, 1);
    if (result == 0 && n->kind != DRIVE_DOS) result = ERR_NI;
    if (result < 0) {
        out_str(command);
        out_str(": ");
        out_str(text);
        out_str(": ");
        out_line(error_text(result));
        return 0;
    }
    return 1;
}

static void fail(const char* command, const char* text, long code)
{
    out_str(command);
    out_str(": ");
    out_str(text);
    out_str(": ");
    out_line(error_text(code));
}

static long dos_open(HOSTCALL((*op)), struct name* n, u32* handle)
{
    struct regs r = {0};
    r.a[1] = (u32)&n->file;
    r.d[2] = (u32)n->drive;
    long result = op(&r);
    *handle = r.d[1];
    return result;
}

static void dos_close(u32 handle)
{
    struct regs r = {0};
    r.d[1] = handle;
    hc_dos_close(&r);
}

/* Reads up to `count` bytes; the number read, or an error. */
static long dos_read(u32 handle, void* buffer, u32 count)
{
    struct regs r = {0};
    r.d[1] = handle;
    r.a[1] = (u32)buffer;
    r.d[0] = count;
    long result = hc_dos_read(&r);
    return result;
}

static long dos_write(u32 handle, const void* buffer, u32 count)
{
    struct regs r = {0};
    r.d[1] = handle;
    r.a[1] = (u32)buffer;
    r.d[0] = count;
    return hc_dos_write(&r);
}

static u8 buffer[16384];

void cmd_dir(int argc, char** argv)
{
    struct name n;
    (void)argc;
    long result = parse_name(argv[1], &n, 0);
    if (result == 0 && n.kind != DRIVE_DOS) result = ERR_NI;
    if (result < 0) {
        fail("dir", argv[1], result);
        return;
    }
    /* The host rewrites the name in place and names its listing after A0. */
    static struct qstr listing_name;
    listing_name = n.file;
    struct regs r = {0};
    r.a[1] = (u32)&listing_name;
    r.d[2] = (u32)n.drive;
    r.a[0] = (u32)&listing_name;
    result = hc_dos_open_directory(&r);
    if (result < 0) {
        fail("dir", argv[1], result);
        return;
    }
    u32 handle = r.d[1];
    int entries = 0;
    u8 header[64];
    while (dos_read(handle, header, 64) == 64) {
        u32 length = ((u32)header[0] << 24 | (u32)header[1] << 16 | (u32)header[2] << 8 | header[3]) - 64;
        int name_length = header[15] > 36 ? 36 : header[15];
        char name[40];
        memcpy(name, header + 16, (size_t)name_length);
        name[name_length] = 0;
        out_str(name);
        for (int i = name_length; i < 24; i++) out_char(' ');
        if (header[5] == 0xFF)
            out_line(" <dir>");
        else {
            out_char(' ');
            out_udec(length);
            out_char('\n');
        }
        entries++;
    }
    dos_close(handle);
    memset(&r, 0, sizeof r);
    r.a[0] = (u32)&listing_name;
    hc_dos_delete_temp_dir_file(&r);
    out_udec((u32)entries);
    out_line(" entries");
}

void cmd_type(int argc, char** argv)
{
    struct name n;
    u32 handle;
    (void)argc;
    if (!dos_file("type", argv[1], &n)) return;
    long result = dos_open(hc_dos_open_shared, &n, &handle);
    if (result < 0) {
        fail("type", argv[1], result);
        return;
    }
    int column = 0;
    for (;;) {
        long got = dos_read(handle, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0) fail("type", argv[1], got);
            break;
        }
        for (long i = 0; i < got; i++) {
            char c = (char)buffer[i];
            if (c == '\r') continue;
            if (c == '\n')
                column = 0;
            else
                column++;
            out_char(c == '\t' ? ' ' : c);
        }
    }
    if (column) out_char('\n');
    dos_close(handle);
}

void cmd_copy(int argc, char** argv)
{
    struct name from, to;
    u32 in, out;
    (void)argc;
    if (!dos_file("copy", argv[1], &from) || !dos_file("copy", argv[2], &to)) return;
    long result = dos_open(hc_dos_open_shared, &from, &in);
    if (result < 0) {
        fail("copy", argv[1], result);
        return;
    }
    result = dos_open(hc_dos_open_overwrite, &to, &out);
    if (result < 0) {
        dos_close(in);
        fail("copy", argv[2], result);
        return;
    }
    u32 total = 0;
    for (;;) {
        long got = dos_read(in, buffer, sizeof buffer);
        if (got < 0) {
            fail("copy", argv[1], got);
            break;
        }
        if (got == 0) break;
        long written = dos_write(out, buffer, (u32)got);
        if (written != got) {
            fail("copy", argv[2], written < 0 ? written : ERR_DF);
            break;
        }
        total += (u32)got;
    }
    dos_close(in);
    dos_close(out);
    out_udec(total);
    out_line(" bytes copied");
}

void cmd_delete(int argc, char** argv)
{
    struct name n;
    (void)argc;
    if (!dos_file("delete", argv[1], &n)) return;
    struct regs r = {0};
    r.a[1] = (u32)&n.file;
    r.d[2] = (u32)n.drive;
    long result = hc_dos_delete(&r);
    if (result < 0)
        fail("delete", argv[1], result);
    else
        out_line("deleted");
}

void cmd_mkdir(int argc, char** argv)
{
    struct name n;
    (void)argc;
    if (!dos_file("mkdir", argv[1], &n)) return;
    struct regs r = {0};
    r.a[1] = (u32)&n.file;
    r.d[2] = (u32)n.drive;
    long result = hc_dos_create_directory(&r);
    if (result < 0)
        fail("mkdir", argv[1], result);
    else
        out_line("made");
}

void cmd_rename(int argc, char** argv)
{
    struct name from, to;
    u32 handle;
    (void)argc;
    if (!dos_file("rename", argv[1], &from) || !dos_file("rename", argv[2], &to)) return;
    if (from.drive != to.drive) {
        fail("rename", argv[2], ERR_BN);
        return;
    }
    /* The host refuses to replace a file; so do we, before moving anything. */
    long result = dos_open(hc_dos_open_shared, &to, &handle);
    if (result == 0) {
        dos_close(handle);
        fail("rename", argv[2], ERR_EX);
        return;
    }
    result = dos_open(hc_dos_open_shared, &from, &handle);
    if (result < 0) {
        fail("rename", argv[1], result);
        return;
    }
    struct regs r = {0};
    r.d[1] = handle;
    r.a[1] = (u32)&to.file;
    r.d[2] = (u32)to.drive;
    result = hc_dos_rename(&r);
    dos_close(handle);
    if (result < 0)
        fail("rename", argv[1], result);
    else
        out_line("renamed");
}

/* Sector numbers: a number on WIN drives; TRACK/HEAD/SECTOR on floppies. */
static int parse_sector(const struct name* n, const char* text, u32* sector)
{
    long v;
    if (n->kind == DRIVE_WIN) {
        if (!parse_long(text, &v) || v < 0) return 0;
        *sector = (u32)v;
        return 1;
    }
    long parts[3];
    char piece[12];
    for (int i = 0; i < 3; i++) {
        int k = 0;
        while (*text && *text != '/' && k < 11) piece[k++] = *text++;
        piece[k] = 0;
        if (!parse_long(piece, &parts[i]) || parts[i] < 0 || parts[i] > 255) return 0;
        if (i < 2 && *text++ != '/') return 0;
    }
    if (*text || parts[2] < 1) return 0;
    *sector = (u32)(parts[0] << 16 | parts[1] << 8 | parts[2]);
    return 1;
}

static long read_sector(const struct name* n, u32 sector, u8* into)
{
    struct regs r = {0};
    r.d[7] = (u32)n->drive;
    r.d[0] = sector;
    r.a[1] = (u32)into;
    if (n->kind == DRIVE_WIN) {
        r.d[2] = 1;
        return hc_win_read(&r);
    }
    return hc_flp_read(&r);
}

static int sector_drive(const char* command, const char* text, struct name* n)
{
    long result = parse_name(text, n, 0);
    if (result == 0 && (n->kind == DRIVE_DOS || n->file.length)) result = ERR_BN;
    if (result < 0) {
        fail(command, text, result);
        return 0;
    }
    return 1;
}

/* dump WIN1_ SECTOR: one sector in hex and as characters. */
void cmd_dump(int argc, char** argv)
{
    struct name n;
    u32 sector;
    (void)argc;
    if (!sector_drive("dump", argv[1], &n)) return;
    if (!parse_sector(&n, argv[2], &sector)) {
        fail("dump", argv[2], ERR_BP);
        return;
    }
    long result = read_sector(&n, sector, buffer);
    if (result < 0) {
        fail("dump", argv[1], result);
        return;
    }
    for (int line = 0; line < 512; line += 16) {
        out_hex((u32)line, 3);
        out_char(' ');
        for (int i = 0; i < 16; i++) {
            out_char(' ');
            out_hex(buffer[line + i], 2);
        }
        out_str("  ");
        for (int i = 0; i < 16; i++) {
            u8 c = buffer[line + i];
            out_char(c >= 32 && c < 127 ? (char)c : '.');
        }
        out_char('\n');
    }
}

/* secopy WIN1_ FIRST COUNT DOS1_file: sectors of a container or floppy into a host file. */
void cmd_secopy(int argc, char** argv)
{
    struct name n, to;
    u32 first, handle;
    long count;
    (void)argc;
    if (!sector_drive("secopy", argv[1], &n)) return;
    if (!parse_sector(&n, argv[2], &first) || !parse_long(argv[3], &count) || count < 1 || count > 65535) {
        fail("secopy", argv[2], ERR_BP);
        return;
    }
    if (!dos_file("secopy", argv[4], &to)) return;
    long result = dos_open(hc_dos_open_overwrite, &to, &handle);
    if (result < 0) {
        fail("secopy", argv[4], result);
        return;
    }
    long done = 0;
    for (; done < count; done++) {
        u32 sector = first + (u32)done;
        if (n.kind == DRIVE_FLP) sector = (first & 0xFFFF00) | ((first & 0xFF) + (u32)done);
        result = read_sector(&n, sector, buffer);
        if (result < 0) {
            fail("secopy", argv[1], result);
            break;
        }
        if (dos_write(handle, buffer, 512) != 512) {
            fail("secopy", argv[4], ERR_DF);
            break;
        }
    }
    dos_close(handle);
    out_udec((u32)done);
    out_line(" sectors copied");
}

/* print FILE: the file's bytes through PAR1; the host hands the job to its printer. */
void cmd_print(int argc, char** argv)
{
    struct name n;
    u32 handle;
    (void)argc;
    if (!dos_file("print", argv[1], &n)) return;
    long result = dos_open(hc_dos_open_shared, &n, &handle);
    if (result < 0) {
        fail("print", argv[1], result);
        return;
    }
    struct regs r = {0};
    r.d[1] = 1;
    result = hc_par_open(&r);
    if (result < 0) {
        dos_close(handle);
        fail("print", "PAR1", result);
        return;
    }
    memset(&r, 0, sizeof r);
    r.d[1] = 1;
    hc_par_ring(&r);
    u32 ring = r.d[2];
    u32 total = 0;
    for (;;) {
        long got = dos_read(handle, buffer, sizeof buffer);
        if (got <= 0) break;
        for (long i = 0; i < got; i++) {
            /* While the port's ring is full, let its writer drain it. */
            for (;;) {
                memset(&r, 0, sizeof r);
                r.d[2] = ring;
                hc_ring_test(&r);
                if (!(r.sr & CCR_Z)) break;
                memset(&r, 0, sizeof r);
                r.d[1] = 1;
                hc_par_send(&r);
                wait_for_something();
            }
            memset(&r, 0, sizeof r);
            r.d[2] = ring;
            r.d[1] = buffer[i];
            hc_ring_put(&r);
        }
        total += (u32)got;
    }
    dos_close(handle);
    memset(&r, 0, sizeof r);
    r.d[1] = 1;
    hc_par_send(&r);
    r.d[1] = 1;
    hc_par_end_job(&r);
    out_udec(total);
    out_line(" bytes sent to PAR1");
}
