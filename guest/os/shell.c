/* The shell: splits a line into words (double quotes keep blanks together), finds the
   command and checks its number of words, so the commands see sane input. */
#include "os.h"
#include "shell.h"

const struct command commands[] = {
    {"help", cmd_help, 1, 1, "help"},
    {"echo", cmd_echo, 1, MAX_ARGS, "echo TEXT"},
    {"ver", cmd_ver, 1, 1, "ver"},
    {"quit", cmd_quit, 1, 1, "quit"},
    {"cls", cmd_cls, 1, 1, "cls"},
    {"mode", cmd_mode, 1, 4, "mode [4|8|8bit|16bit] [WIDTH HEIGHT]"},
    {"config", cmd_config, 1, 1, "config (the settings the host gave us)"},
    {"crash", cmd_crash, 1, 1, "crash (an illegal instruction: the fault handler reports it)"},
    {"dir", cmd_dir, 2, 2, "dir DOS1_[dir]"},
    {"type", cmd_type, 2, 2, "type DOS1_file"},
    {"copy", cmd_copy, 3, 3, "copy DOS1_from DOS2_to"},
    {"delete", cmd_delete, 2, 2, "delete DOS1_file"},
    {"rename", cmd_rename, 3, 3, "rename DOS1_old DOS1_new"},
    {"mkdir", cmd_mkdir, 2, 2, "mkdir DOS1_dir"},
    {"dump", cmd_dump, 3, 3, "dump WIN1_ SECTOR (FLP1_ TRACK/HEAD/SECTOR)"},
    {"secopy", cmd_secopy, 5, 5, "secopy WIN1_ FIRST COUNT DOS1_file"},
    {"print", cmd_print, 2, 2, "print DOS1_file (through PAR1)"},
    {"time", cmd_time, 1, 1, "time"},
    {"date", cmd_date, 1, 1, "date"},
    {"calc", cmd_calc, 2, MAX_ARGS, "calc EXPRESSION (+ - * / ( ) sqrt, decimals)"},
    {"clip", cmd_clip, 2, MAX_ARGS, "clip put TEXT | clip get"},
    {"net", cmd_net, 5, 5, "net get HOST PORT /PATH"},
    {"ser", cmd_ser, 3, MAX_ARGS, "ser PORT send TEXT | ser PORT recv"},
    {"beep", cmd_beep, 3, 3, "beep PITCH DURATION"},
    {"cd", cmd_cd, 3, 3, "cd play TRACK"},
    {0, 0, 0, 0, 0},
};

static int split(char* line, char** argv)
{
    int argc = 0;
    char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t') p++;
        if (!*p) break;
        if (argc == MAX_ARGS) return -1;
        if (*p == '"') {
            argv[argc++] = ++p;
            while (*p && *p != '"') p++;
        } else {
            argv[argc++] = p;
            while (*p && *p != ' ' && *p != '\t') p++;
        }
        if (*p) *p++ = 0;
    }
    return argc;
}

void shell_run_line(char* line)
{
    char* argv[MAX_ARGS];
    int argc = split(line, argv);
    if (argc == 0) return;
    if (argc < 0) {
        out_error("shell", ERR_BP);
        return;
    }
    for (const struct command* c = commands; c->name; c++) {
        if (!str_ieq(argv[0], c->name)) continue;
        if (argc < c->min_args || argc > c->max_args) {
            out_str("usage: ");
            out_line(c->usage);
            return;
        }
        c->run(argc, argv);
        return;
    }
    out_str(argv[0]);
    out_line(": unknown command (try help)");
}

void cmd_help(int argc, char** argv)
{
    (void)argc, (void)argv;
    out_line("commands:");
    for (const struct command* c = commands; c->name; c++) {
        out_str("  ");
        out_line(c->usage);
    }
    out_line("names: DOS1_file ... DOS8_file, WIN1_, FLP1_ (drive, underscore, name)");
}

void cmd_echo(int argc, char** argv)
{
    for (int i = 1; i < argc; i++) {
        if (i > 1) out_char(' ');
        out_str(argv[i]);
    }
    out_char('\n');
}

static void out_version(void)
{
    struct regs r = {0};
    hc_get_version(&r);
    out_str("ZEM2 guest system 1.0, host ");
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = (char)(r.d[1] >> shift);
        if (c > ' ') out_char(c);
    }
    out_char('\n');
}

void cmd_ver(int argc, char** argv)
{
    (void)argc, (void)argv;
    out_version();
}

void os_banner(void)
{
    con_set_colour(2);
    out_version();
    con_set_colour(1);
    out_line("type help for the list of commands");
}

void cmd_quit(int argc, char** argv)
{
    (void)argc, (void)argv;
    out_line("bye");
    struct regs r = {0};
    hc_quit(&r);
}

void cmd_cls(int argc, char** argv)
{
    (void)argc, (void)argv;
    con_clear();
}

/* mode [4|8|8bit|16bit] [WIDTH HEIGHT]: another depth or size; the console starts afresh. */
void cmd_mode(int argc, char** argv)
{
    int depth = scr.bits == 2 ? (scr.ql8 ? 1 : 0) : scr.bits == 8 ? 2 : 3;
    long width = scr.width, height = scr.height;
    int next = 1;
    if (argc == 1) {
        out_dec(scr.width);
        out_char('x');
        out_dec(scr.height);
        out_str(depth == 0 ? " QL 4-colour" : depth == 1 ? " QL 8-colour" : depth == 2 ? " 8-bit" : " 16-bit");
        out_char('\n');
        return;
    }
    if (argc == 2 || argc == 4) {
        const char* m = argv[1];
        if (str_ieq(m, "4"))
            depth = 0;
        else if (str_ieq(m, "8"))
            depth = 1;
        else if (str_ieq(m, "8bit"))
            depth = 2;
        else if (str_ieq(m, "16bit"))
            depth = 3;
        else {
            out_error("mode", ERR_BP);
            return;
        }
        next = 2;
    }
    if (argc - next == 2) {
        if (!parse_long(argv[next], &width) || !parse_long(argv[next + 1], &height) || width < 1 || height < 1 ||
            width > 8192 || height > 8192) {
            out_error("mode", ERR_BP);
            return;
        }
    } else if (argc - next != 0) {
        out_line("usage: mode [4|8|8bit|16bit] [WIDTH HEIGHT]");
        return;
    }
    long result = screen_setup((int)width, (int)height, depth);
    if (result < 0) {
        out_error("mode", result);
        return;
    }
    con_init();
    cmd_mode(1, argv);
}

/* The settings block as the host wrote it before loading us. */
void cmd_config(int argc, char** argv)
{
    (void)argc, (void)argv;
    out_str("resolution ");
    out_dec(cfg_resolution_x);
    out_char('x');
    out_dec(cfg_resolution_y);
    out_str(", colour depth ");
    out_dec(cfg_colour_depth);
    out_str(", keyboard driver ");
    out_dec(cfg_keyboard_driver);
    out_str(cfg_keyboard_driver ? " (finished key codes)" : " (scan codes)");
    out_str(", country ");
    out_dec(cfg_country);
    out_char('\n');
}

void cmd_crash(int argc, char** argv)
{
    (void)argc, (void)argv;
    __asm__ volatile("illegal");
}
