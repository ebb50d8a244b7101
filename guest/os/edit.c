/* The line editor: insert and delete anywhere, cursor keys, Home/End, a history of earlier
   lines on Up/Down, and a left click on the line puts the cursor under the pointer. */
#include "os.h"

#define HISTORY 16
#define HISTORY_LINE 256

static char history[HISTORY][HISTORY_LINE];
static int history_count;

static int start_col, start_row;

/* Puts the console cursor at position `pos` of the line, which may span several rows. */
static void goto_position(int pos)
{
    int offset = start_col + pos;
    con_goto(offset % scr.cols, start_row + offset / scr.cols);
}

/* Redraws the line from position `from` and puts the cursor at `pos`. */
static void redraw(const char* buf, int length, int from, int pos, int old_length)
{
    goto_position(from);
    int scrolls = con_scrolls;
    for (int i = from; i < length; i++) con_putc(buf[i]);
    for (int i = length; i < old_length; i++) con_putc(' ');
    /* When the text ran past the last row the screen scrolled: the line moved up. */
    start_row -= con_scrolls - scrolls;
    goto_position(pos);
}

static void remember(const char* buf)
{
    if (!*buf) return;
    if (history_count && strcmp(history[(history_count - 1) % HISTORY], buf) == 0) return;
    str_copy(history[history_count % HISTORY], buf, HISTORY_LINE);
    history_count++;
}

/* Position in the line under a left click, or -1 when the click is elsewhere. */
static int clicked_position(int length)
{
    int x = MOUSE_X, y = MOUSE_Y;
    if (scr.ql8) x /= 2;
    int col = x / CELL_W, row = y / CELL_H;
    int offset = (row - start_row) * scr.cols + col - start_col;
    if (offset < 0 || row < start_row) return -1;
    return offset > length ? length : offset;
}

int line_edit(char* buf, int size)
{
    int length = 0, pos = 0, browse = history_count, was_down = MOUSE_BUTTONS & 1;
    /* The line must fit on the screen, or its start would scroll out of reach. */
    int screen_room = scr.cols * (scr.rows - 1) - con_col();
    if (size > screen_room) size = screen_room > 1 ? screen_room : 1;
    start_col = con_col();
    start_row = con_row();
    buf[0] = 0;
    con_show_cursor(1);
    for (;;) {
        int key = kbd_get();
        int down = MOUSE_BUTTONS & 1;
        if (key < 0 && down && !was_down) key = KEY_CLICK;
        was_down = down;
        if (key < 0) {
            wait_for_something();
            continue;
        }
        int old_length = length;
        switch (key) {
        case KEY_ENTER:
            con_show_cursor(0);
            goto_position(length);
            buf[length] = 0;
            out_note(buf);
            out_char('\n');
            remember(buf);
            return length;
        case KEY_LEFT:
            if (pos > 0) pos--;
            break;
        case KEY_RIGHT:
            if (pos < length) pos++;
            break;
        case KEY_HOME:
            pos = 0;
            break;
        case KEY_END:
            pos = length;
            break;
        case KEY_BACKSPACE:
            if (pos == 0) break;
            pos--;
            /* fall through */
        case KEY_DELETE:
            if (pos >= length) break;
            memmove(buf + pos, buf + pos + 1, (size_t)(length - pos));
            length--;
            redraw(buf, length, pos, pos, old_length);
            continue;
        case KEY_UP:
        case KEY_DOWN: {
            int limit = history_count < HISTORY ? history_count : HISTORY;
            int target = browse + (key == KEY_UP ? -1 : 1);
            if (target < history_count - limit || target > history_count) break;
            browse = target;
            if (browse == history_count)
                buf[0] = 0;
            else
                str_copy(buf, history[browse % HISTORY], (size_t)size);
            length = (int)strlen(buf);
            pos = length;
            redraw(buf, length, 0, pos, old_length);
            continue;
        }
        case KEY_CLICK: {
            int p = clicked_position(length);
            if (p >= 0) pos = p;
            break;
        }
        case KEY_ESC:
            length = pos = 0;
            buf[0] = 0;
            redraw(buf, length, 0, pos, old_length);
            continue;
        default:
            if (key < 32 || key > 255 || key == 127 || length >= size - 1) break;
            memmove(buf + pos + 1, buf + pos, (size_t)(length - pos + 1));
            buf[pos] = (char)key;
            length++;
            buf[length] = 0;
            redraw(buf, length, pos, pos + 1, old_length);
            pos++;
            continue;
        }
        goto_position(pos);
    }
}
