/* Shared declarations of our guest system: types, the host-call shims, the small C
   library, output, console, keyboard and the shell. Freestanding, integer only. */
#ifndef OS_H
#define OS_H

typedef unsigned char u8;
typedef unsigned short u16;
typedef unsigned long u32;
typedef signed long s32;
typedef unsigned long size_t;
#define NULL ((void*)0)

/* Guest registers for a host call; ccr holds the status register after the call. */
struct regs {
    u32 d[8];
    u32 a[7];
    u16 sr;
};
#define CCR_C 1
#define CCR_V 2
#define CCR_Z 4
#define CCR_N 8

#define HOSTCALL(name) long name(struct regs* r)
HOSTCALL(hc_quit);
HOSTCALL(hc_get_version);
HOSTCALL(hc_get_ram_size);
HOSTCALL(hc_ring_get);
HOSTCALL(hc_ring_put);
HOSTCALL(hc_ring_test);
HOSTCALL(hc_idle);
HOSTCALL(hc_get_command_line);
HOSTCALL(hc_set_window_title);
HOSTCALL(hc_clipboard_put);
HOSTCALL(hc_clipboard_fetch);
HOSTCALL(hc_clipboard_get);
HOSTCALL(hc_scr_set_size);
HOSTCALL(hc_scr_init_display);
HOSTCALL(hc_scr_set_mode);
HOSTCALL(hc_scr_set_base);
HOSTCALL(hc_scr_move_area);
HOSTCALL(hc_scr_fill);
HOSTCALL(hc_scr_mirror);
HOSTCALL(hc_ser_port_count);
HOSTCALL(hc_ser_close);
HOSTCALL(hc_ser_open);
HOSTCALL(hc_ser_receive_on);
HOSTCALL(hc_ser_receive_ring);
HOSTCALL(hc_ser_transmit_ring);
HOSTCALL(hc_ser_send);
HOSTCALL(hc_par_port_count);
HOSTCALL(hc_par_end_job);
HOSTCALL(hc_par_open);
HOSTCALL(hc_par_send);
HOSTCALL(hc_par_ring);
HOSTCALL(hc_inp_set_pointer);
HOSTCALL(hc_snd_beep);
HOSTCALL(hc_snd_stop_beep);
HOSTCALL(hc_ip_open);
HOSTCALL(hc_ip_op);
HOSTCALL(hc_ip_close);
HOSTCALL(hc_cd_open);
HOSTCALL(hc_cd_play);
HOSTCALL(hc_cd_track_start);
HOSTCALL(hc_cd_disc_info);
HOSTCALL(hc_cd_track_length);
HOSTCALL(hc_dos_open_new);
HOSTCALL(hc_dos_open_overwrite);
HOSTCALL(hc_dos_open_directory);
HOSTCALL(hc_dos_open_shared);
HOSTCALL(hc_dos_close);
HOSTCALL(hc_dos_delete);
HOSTCALL(hc_dos_delete_temp_dir_file);
HOSTCALL(hc_dos_create_directory);
HOSTCALL(hc_dos_read);
HOSTCALL(hc_dos_write);
HOSTCALL(hc_dos_rename);
HOSTCALL(hc_dos_get_file_size);
HOSTCALL(hc_win_read);
HOSTCALL(hc_win_write);
HOSTCALL(hc_flp_read);
HOSTCALL(hc_flp_write);

/* Accelerator words and the shim that runs one of them. */
extern char fp_words_add[], fp_words_sub[], fp_words_mul[], fp_words_div[], fp_words_sqrt[];
long fp_call(void* word, struct regs* r);

/* Set by the start code and the interrupt routines. */
extern volatile u32 os_ticks, os_keyboard_ring, os_parallel_events, os_serial_out_events, os_serial_in_events;
void os_interrupts_on(void);
void os_restart(void) __attribute__((noreturn));

/* Our settings block, as the host left it. */
extern u8 cfg_colour_depth, cfg_keyboard_driver;
extern short cfg_resolution_x, cfg_resolution_y, cfg_country;

/* Host-written locations. */
#define CLOCK_REGISTER (*(volatile u32*)0x1C000)
#define MOUSE_X (*(volatile u16*)0x1C070)
#define MOUSE_Y (*(volatile u16*)0x1C072)
#define MOUSE_BUTTONS (*(volatile u8*)0x1C078)

/* Guest error codes. */
enum {
    ERR_NC = -1,
    ERR_NM = -3,
    ERR_BF = -5,
    ERR_NO = -6,
    ERR_NF = -7,
    ERR_EX = -8,
    ERR_IU = -9,
    ERR_EF = -10,
    ERR_DF = -11,
    ERR_BN = -12,
    ERR_TE = -13,
    ERR_BP = -15,
    ERR_FE = -16,
    ERR_OV = -18,
    ERR_NI = -19,
    ERR_RO = -20
};
const char* error_text(long code);

/* Small C library. */
void* memcpy(void* d, const void* s, size_t n);
void* memmove(void* d, const void* s, size_t n);
void* memset(void* d, int c, size_t n);
int memcmp(const void* a, const void* b, size_t n);
size_t strlen(const char* s);
int strcmp(const char* a, const char* b);
int str_ieq(const char* a, const char* b);
int str_iprefix(const char* s, const char* prefix);
char* str_copy(char* d, const char* s, size_t size);
int parse_long(const char* s, long* out);
char to_upper(char c);

/* A QDOS string: length word then bytes. */
struct qstr {
    u16 length;
    char text[256];
};
void qstr_set(struct qstr* q, const char* s);

/* Output: the console, and each finished line also as a debug print. */
void out_char(char c);
void out_str(const char* s);
void out_line(const char* s);
void out_note(const char* s); /* to the debug line only: what the console shows already */
void out_dec(long v);
void out_udec(u32 v);
void out_hex(u32 v, int digits);
void out_error(const char* what, long code);
void debug_text(const char* s);

/* Console. */
struct screen {
    int width, height, bits, ql8;
    u32 pitch, base;
    int cols, rows;
};
extern struct screen scr;
int screen_setup(int width, int height, int depth);
void con_init(void);
void con_putc(char c);
void con_clear(void);
int con_row(void);
void con_set_colour(int colour);
void con_show_cursor(int on);
void con_goto(int col, int row);
int con_col(void);
extern int con_scrolls; /* counts scrolls, so an editor knows its line moved up */
void pointer_update(void);
void draw_glyph(int col, int row, char c, int colour);
void font_init(void);
extern const char* const font_art[95];
extern u8 font_bits[95][10];
#define CELL_W 8
#define CELL_H 10

/* Keyboard: one normalised key code or -1. */
enum {
    KEY_ENTER = 0x0A,
    KEY_ESC = 0x1B,
    KEY_LEFT = 0xC0,
    KEY_RIGHT = 0xC8,
    KEY_UP = 0xD0,
    KEY_DOWN = 0xD8,
    KEY_HOME = 0xC1,
    KEY_END = 0xC9,
    KEY_BACKSPACE = 0xC2,
    KEY_DELETE = 0xCA,
    KEY_CLICK = 0x100
};
int kbd_get(void);
void kbd_take_byte(u32 byte);
void wait_for_something(void);

/* Shell. */
void shell_run_line(char* line);
int line_edit(char* buffer, int size);
void os_resume(void);
extern int os_quit_requested;

#endif
