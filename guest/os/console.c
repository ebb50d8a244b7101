/* The screen in the configured mode, and a text console on it with our font: characters
   are drawn into screen memory, the console scrolls with the host's area move and clears
   with its block fill (by plain stores in the two QL formats, which have no fill). */
#include "os.h"

#define SCREEN_BASE 0x100000

struct screen scr;

static int cur_col, cur_row, colour = 1, cursor_shown;

/* Colour index 0 black, 1 white, 2 green, 3 red, per pixel format. */
static const u8 ql_green[4] = {0, 1, 1, 0}, ql_red[4] = {0, 1, 0, 1}, ql_blue[4] = {0, 1, 0, 0};
static const u8 palette8[4] = {0, 255, 146, 73};
static const u16 rgb16[4] = {0x0000, 0xFFFF, 0x07E0, 0xF800};

/* Pixels across as the guest counts them: 8-colour QL pixels are two host pixels wide. */
static int logical_width(void) { return scr.ql8 ? scr.width / 2 : scr.width; }

int screen_setup(int width, int height, int depth)
{
    struct regs r = {0};
    int bits = depth == 2 ? 8 : depth == 3 ? 16 : 2;
    hc_get_ram_size(&r);
    u32 ram = r.a[0];
    if (width < 512) width = 512;
    if (height < 256) height = 256;
    /* The screen must fit between its base and the end of memory. */
    while ((u32)width * height * bits / 8 > ram - SCREEN_BASE && (width > 512 || height > 256)) {
        if (height > 256)
            height = height * 3 / 4 < 256 ? 256 : height * 3 / 4;
        else
            width = width * 3 / 4 < 512 ? 512 : (width * 3 / 4) & ~7;
    }
    if ((u32)512 * 256 * bits / 8 > ram - SCREEN_BASE) return ERR_NM;
    memset(&r, 0, sizeof r);
    r.d[1] = ((u32)width << 16) | (u16)height;
    r.d[2] = (u32)bits;
    hc_scr_set_size(&r);
    scr.width = (int)(r.d[1] >> 16);
    scr.height = (int)(r.d[1] & 0xFFFF);
    scr.bits = bits;
    scr.ql8 = depth == 1;
    scr.pitch = (u32)scr.width * (u32)bits / 8;
    scr.base = SCREEN_BASE;
    memset(&r, 0, sizeof r);
    hc_scr_init_display(&r);
    r.d[1] = scr.ql8 ? 8 : 0;
    hc_scr_set_mode(&r);
    r.a[1] = scr.base;
    hc_scr_set_base(&r);
    scr.cols = logical_width() / CELL_W;
    scr.rows = scr.height / CELL_H;
    return 0;
}

static u8* line_address(int y) { return (u8*)(scr.base + scr.pitch * (u32)y); }

/* Eight pixels of one cell row: bit 7 of `pattern` is the leftmost, set = colour c,
   clear = black. */
static void put_row8(int x, int y, u8 pattern, int c)
{
    u8* p = line_address(y);
    switch (scr.bits) {
    case 2:
        if (!scr.ql8) {
            p += (x >> 3) * 2;
            p[0] = ql_green[c] ? pattern : 0;
            p[1] = ql_red[c] ? pattern : 0;
        } else {
            p += (x >> 2) * 2;
            for (int half = 0; half < 2; half++) {
                u8 even = 0, odd = 0;
                for (int k = 0; k < 4; k++) {
                    if (!(pattern & (0x80 >> (half * 4 + k)))) continue;
                    if (ql_green[c]) even |= (u8)(0x80 >> (2 * k));
                    if (ql_red[c]) odd |= (u8)(0x80 >> (2 * k));
                    if (ql_blue[c]) odd |= (u8)(0x40 >> (2 * k));
                }
                p[half * 2] = even;
                p[half * 2 + 1] = odd;
            }
        }
        break;
    case 8:
        p += x;
        for (int k = 0; k < 8; k++) p[k] = pattern & (0x80 >> k) ? palette8[c] : 0;
        break;
    default:
        p += x * 2;
        for (int k = 0; k < 8; k++) {
            u16 v = pattern & (0x80 >> k) ? rgb16[c] : 0;
            p[2 * k] = (u8)v;
            p[2 * k + 1] = (u8)(v >> 8);
        }
        break;
    }
}

/* Inverts one pixel (all colour bits), for the cursor and the mouse pointer. */
static void xor_pixel(int x, int y)
{
    if (x < 0 || y < 0 || x >= logical_width() || y >= scr.height) return;
    u8* p = line_address(y);
    switch (scr.bits) {
    case 2:
        if (!scr.ql8) {
            p += (x >> 3) * 2;
            p[0] ^= (u8)(0x80 >> (x & 7));
            p[1] ^= (u8)(0x80 >> (x & 7));
        } else {
            p += (x >> 2) * 2;
            p[0] ^= (u8)(0x80 >> (2 * (x & 3)));
            p[1] ^= (u8)(0xC0 >> (2 * (x & 3)));
        }
        break;
    case 8:
        p[x] ^= 0xFF;
        break;
    default:
        p[2 * x] ^= 0xFF;
        p[2 * x + 1] ^= 0xFF;
        break;
    }
}

void draw_glyph(int col, int row, char c, int colour_index)
{
    int g = (u8)c >= 32 && (u8)c < 127 ? c - 32 : '?' - 32;
    for (int y = 0; y < CELL_H; y++) put_row8(col * CELL_W, row * CELL_H + y, (u8)(font_bits[g][y] << 2), colour_index);
}

/* Text rows [first, first + count) to black. */
static void clear_rows(int first, int count)
{
    if (count <= 0) return;
    u32 y = (u32)first * CELL_H, lines = (u32)count * CELL_H;
    if (y + lines > (u32)scr.height) lines = (u32)scr.height - y;
    if (scr.bits == 2) {
        memset(line_address((int)y), 0, scr.pitch * lines);
        return;
    }
    struct regs r = {0};
    r.a[1] = scr.base + scr.pitch * y;
    r.a[2] = 0;
    r.d[1] = scr.pitch / 4;
    r.d[3] = lines;
    hc_scr_fill(&r);
}

int con_scrolls;

static void scroll_up(void)
{
    con_scrolls++;
    struct regs r = {0};
    u32 rows = (u32)(scr.rows - 1) * CELL_H;
    u32 width = scr.bits == 2 ? scr.pitch : (u32)scr.width;
    r.d[1] = (width << 16) | rows;
    r.d[2] = CELL_H;
    r.a[4] = scr.base;
    r.a[2] = scr.pitch;
    r.d[3] = 0;
    r.a[5] = scr.base;
    r.a[3] = scr.pitch;
    hc_scr_move_area(&r);
    clear_rows(scr.rows - 1, 1);
}

static void toggle_cursor(void)
{
    for (int y = CELL_H - 2; y < CELL_H; y++)
        for (int x = 0; x < CELL_W; x++) xor_pixel(cur_col * CELL_W + x, cur_row * CELL_H + y);
}

void con_show_cursor(int on)
{
    if (!scr.cols) return;
    if (on != cursor_shown) toggle_cursor();
    cursor_shown = on;
}

/* The mouse pointer: an arrow drawn by inverting pixels, taken away before any drawing. */
static const u8 arrow[11] = {0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xF8, 0xD8, 0x8C, 0x0C};
static int pointer_x = -1, pointer_y = -1;
/* The pointer appears once the host has moved it: without a mouse it would sit at 0,0
   over the first character. */
static int pointer_seen;
static u16 boot_mouse_x, boot_mouse_y;

static void toggle_pointer(int px, int py)
{
    for (int y = 0; y < 11; y++)
        for (int x = 0; x < 8; x++)
            if (arrow[y] & (0x80 >> x)) xor_pixel(px + x, py + y);
}

static void pointer_hide(void)
{
    if (pointer_x >= 0) toggle_pointer(pointer_x, pointer_y);
    pointer_x = -1;
}

/* Follows the host's pointer location (in host-width pixels; halved in 8-colour mode). */
void pointer_update(void)
{
    if (!scr.cols) return;
    int x = MOUSE_X, y = MOUSE_Y;
    if (!pointer_seen) {
        if (x == boot_mouse_x && y == boot_mouse_y) return;
        pointer_seen = 1;
    }
    if (scr.ql8) x /= 2;
    if (x == pointer_x && y == pointer_y) return;
    pointer_hide();
    toggle_pointer(x, y);
    pointer_x = x;
    pointer_y = y;
}

void con_clear(void)
{
    con_show_cursor(0);
    pointer_hide();
    clear_rows(0, scr.rows + 1);
    cur_col = cur_row = 0;
}

void con_init(void)
{
    boot_mouse_x = MOUSE_X;
    boot_mouse_y = MOUSE_Y;
    cur_col = cur_row = 0;
    cursor_shown = 0;
    pointer_x = -1;
    con_clear();
}

void con_set_colour(int c) { colour = c; }
int con_row(void) { return cur_row; }
int con_col(void) { return cur_col; }

void con_goto(int col, int row)
{
    int shown = cursor_shown;
    con_show_cursor(0);
    cur_col = col < 0 ? 0 : col >= scr.cols ? scr.cols - 1 : col;
    cur_row = row < 0 ? 0 : row >= scr.rows ? scr.rows - 1 : row;
    con_show_cursor(shown);
}

static void new_line(void)
{
    cur_col = 0;
    if (++cur_row >= scr.rows) {
        scroll_up();
        cur_row = scr.rows - 1;
    }
}

void con_putc(char c)
{
    if (!scr.cols) return;
    int shown = cursor_shown;
    con_show_cursor(0);
    pointer_hide();
    if (c == '\n') {
        new_line();
    } else if (c == '\r') {
        cur_col = 0;
    } else {
        if (cur_col >= scr.cols) new_line();
        draw_glyph(cur_col, cur_row, c, colour);
        cur_col++;
    }
    con_show_cursor(shown);
}
