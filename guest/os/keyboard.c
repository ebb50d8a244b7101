/* All key reading of our system. The interrupt routine queues the bytes of the host's
   keyboard ring here; kbd_get() turns them into one set of key codes whichever host driver
   is configured: the "Windows" driver already sends finished codes, the other one sends
   PC scan codes (set 1, $E0 before extended keys) that we translate with our own table. */
#include "os.h"

static volatile u8 queue[256];
static volatile u8 queue_in, queue_out;

void kbd_take_byte(u32 byte)
{
    u8 next = (u8)(queue_in + 1);
    if (next != queue_out) {
        queue[queue_in] = (u8)byte;
        queue_in = next;
    }
}

static int queue_get(void)
{
    if (queue_in == queue_out) return -1;
    int b = queue[queue_out];
    queue_out = (u8)(queue_out + 1);
    return b;
}

/* US layout, scan codes $00-$39: plain and shifted. */
static const char plain[0x3A] = {0,    0x1B, '1', '2', '3', '4', '5', '6', '7', '8', '9',  '0', '-', '=',  0,
                                 '\t', 'q',  'w', 'e', 'r', 't', 'y', 'u', 'i', 'o', 'p',  '[', ']', 0,    0,
                                 'a',  's',  'd', 'f', 'g', 'h', 'j', 'k', 'l', ';', '\'', '`', 0,   '\\', 'z',
                                 'x',  'c',  'v', 'b', 'n', 'm', ',', '.', '/', 0,   '*',  0,   ' '};
static const char shifted[0x3A] = {0,    0x1B, '!', '@', '#', '$', '%', '^', '&', '*', '(', ')', '_', '+', 0,
                                   '\t', 'Q',  'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', '{', '}', 0,   0,
                                   'A',  'S',  'D', 'F', 'G', 'H', 'J', 'K', 'L', ':', '"', '~', 0,   '|', 'Z',
                                   'X',  'C',  'V', 'B', 'N', 'M', '<', '>', '?', 0,   '*', 0,   ' '};

static int shift_down, ctrl_down, caps_on, extended;

static int from_scan_code(int b)
{
    if (b == 0xE0) {
        extended = 1;
        return -1;
    }
    int was_extended = extended;
    extended = 0;
    int released = b & 0x80, code = b & 0x7F;
    if (code == 0x2A || code == 0x36) {
        if (!was_extended) shift_down = !released;
        return -1;
    }
    if (code == 0x1D) {
        ctrl_down = !released;
        return -1;
    }
    if (released) return -1;
    if (code == 0x3A) {
        caps_on = !caps_on;
        return -1;
    }
    switch (code) {
    case 0x1C:
        return KEY_ENTER;
    case 0x0E:
        return KEY_BACKSPACE;
    case 0x48:
        return KEY_UP;
    case 0x50:
        return KEY_DOWN;
    case 0x4B:
        return KEY_LEFT;
    case 0x4D:
        return KEY_RIGHT;
    case 0x47:
        return KEY_HOME;
    case 0x4F:
        return KEY_END;
    case 0x53:
        return KEY_DELETE;
    }
    if (was_extended) return code == 0x35 ? '/' : -1;
    if (code >= 0x3A) return -1;
    char c = shift_down ? shifted[code] : plain[code];
    if (!c) return -1;
    if (caps_on && c >= 'a' && c <= 'z')
        c -= 32;
    else if (caps_on && c >= 'A' && c <= 'Z')
        c += 32;
    if (ctrl_down && (c | 0x20) >= 'a' && (c | 0x20) <= 'z') return (c | 0x20) - 'a' + 1;
    return (u8)c;
}

int kbd_get(void)
{
    for (;;) {
        int b = queue_get();
        if (b < 0) return -1;
        if (cfg_keyboard_driver) return b;
        int key = from_scan_code(b);
        if (key >= 0) return key;
    }
}
