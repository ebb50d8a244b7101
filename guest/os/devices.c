/* Device commands: an HTTP GET over the host's TCP/IP, text out of and into serial ports,
   the beeper, and CD audio. Waits are counted in poll ticks (50 a second) and spent in
   Idle, so a slow peer costs no host time. */
#include "os.h"
#include "shell.h"

#define TICKS_PER_SECOND 50

static int wait_ticks(u32 since, u32 limit)
{
    if (os_ticks - since >= limit) return 0;
    wait_for_something();
    return 1;
}

/* ---- net get HOST PORT PATH ---- */

static long ip_op(u32 code, struct regs* r)
{
    r->d[0] = code;
    return hc_ip_op(r);
}

enum { IP_SEND_MULTIPLE = 73, IP_RECEIVE = 83 };

static char last_received;

static void out_received(const u8* data, long n)
{
    for (long i = 0; i < n; i++)
        if (data[i] != '\r') out_char(last_received = (char)data[i]);
}

void cmd_net(int argc, char** argv)
{
    static struct qstr name;
    static char request[600];
    static u8 reply[2048];
    long port;
    (void)argc;
    if (!str_ieq(argv[1], "get") || !parse_long(argv[3], &port) || port < 1 || port > 65535 || strlen(argv[2]) > 200 ||
        strlen(argv[4]) > 300 || argv[4][0] != '/') {
        out_line("usage: net get HOST PORT /PATH");
        return;
    }
    char text[240];
    str_copy(text, "TCP_", sizeof text);
    str_copy(text + 4, argv[2], sizeof text - 4);
    size_t n = strlen(text);
    text[n++] = ':';
    str_copy(text + n, argv[3], sizeof text - n);
    qstr_set(&name, text);

    struct regs r = {0};
    u32 start = os_ticks;
    long result;
    do {
        memset(&r, 0, sizeof r);
        r.a[1] = (u32)&name;
        r.d[1] = 0xFFFF;
        r.d[3] = 1;
        result = hc_ip_open(&r);
    } while (result == ERR_NC && wait_ticks(start, 10 * TICKS_PER_SECOND));
    if (result < 0) {
        out_error("net", result);
        return;
    }
    u32 handle = r.a[0];

    str_copy(request, "GET ", sizeof request);
    str_copy(request + 4, argv[4], sizeof request - 4);
    n = strlen(request);
    str_copy(request + n, " HTTP/1.0\r\nHost: ", sizeof request - n);
    n = strlen(request);
    str_copy(request + n, argv[2], sizeof request - n);
    n = strlen(request);
    str_copy(request + n, "\r\nConnection: close\r\n\r\n", sizeof request - n);
    u32 length = (u32)strlen(request), sent = 0;
    start = os_ticks;
    do {
        memset(&r, 0, sizeof r);
        r.a[0] = handle;
        r.a[1] = (u32)request + sent;
        r.d[1] = sent;
        r.d[2] = length;
        result = ip_op(IP_SEND_MULTIPLE, &r);
        sent = r.d[1];
    } while (result == ERR_NC && wait_ticks(start, 10 * TICKS_PER_SECOND));
    if (result < 0) {
        out_error("net", result);
    } else {
        /* Everything the server sends until it closes the connection. */
        u32 total = 0;
        last_received = '\n';
        start = os_ticks;
        for (;;) {
            memset(&r, 0, sizeof r);
            r.a[0] = handle;
            r.a[1] = (u32)reply;
            r.d[2] = sizeof reply;
            result = ip_op(IP_RECEIVE, &r);
            if (result == ERR_NC) {
                if (!wait_ticks(start, 10 * TICKS_PER_SECOND)) {
                    out_error("net", ERR_NC);
                    break;
                }
                continue;
            }
            if (result < 0 || r.d[1] == 0) {
                if (result < 0 && result != ERR_EF) out_error("net", result);
                break;
            }
            out_received(reply, (long)r.d[1]);
            total += r.d[1];
            start = os_ticks;
        }
        if (last_received != '\n') out_char('\n');
        out_udec(total);
        out_line(" bytes received");
    }
    memset(&r, 0, sizeof r);
    r.a[0] = handle;
    hc_ip_close(&r);
}

/* ---- ser PORT send TEXT | ser PORT recv ---- */

static u8 serial_open[9];
static u32 serial_rx[9], serial_tx[9];

static long serial_port(int port)
{
    if (serial_open[port]) return 0;
    struct regs r = {0};
    r.d[1] = 0x0300 | (u32)port;
    long result = hc_ser_open(&r);
    if (result < 0) return result;
    memset(&r, 0, sizeof r);
    r.d[1] = (u32)port;
    hc_ser_receive_ring(&r);
    serial_rx[port] = r.d[3];
    hc_ser_transmit_ring(&r);
    serial_tx[port] = r.d[4];
    memset(&r, 0, sizeof r);
    r.d[0] = (u32)port;
    hc_ser_receive_on(&r);
    serial_open[port] = 1;
    return 0;
}

static void serial_put(int port, u8 byte)
{
    struct regs r = {0};
    u32 start = os_ticks;
    for (;;) {
        memset(&r, 0, sizeof r);
        r.d[2] = serial_tx[port];
        hc_ring_test(&r);
        if (!(r.sr & CCR_Z)) break;
        r.d[1] = (u32)port;
        hc_ser_send(&r);
        if (!wait_ticks(start, 5 * TICKS_PER_SECOND)) return;
    }
    memset(&r, 0, sizeof r);
    r.d[2] = serial_tx[port];
    r.d[1] = byte;
    hc_ring_put(&r);
}

void cmd_ser(int argc, char** argv)
{
    long port;
    if (!parse_long(argv[1], &port) || port < 1 || port > 8 ||
        !(str_ieq(argv[2], "recv") ? argc == 3 : str_ieq(argv[2], "send") && argc >= 4)) {
        out_line("usage: ser PORT send TEXT | ser PORT recv");
        return;
    }
    long result = serial_port((int)port);
    if (result < 0) {
        out_error("ser", result);
        return;
    }
    struct regs r = {0};
    if (str_ieq(argv[2], "send")) {
        u32 count = 0;
        for (int i = 3; i < argc; i++) {
            for (const char* p = argv[i]; *p; p++, count++) serial_put((int)port, (u8)*p);
            serial_put((int)port, i + 1 < argc ? ' ' : '\n');
            count++;
        }
        memset(&r, 0, sizeof r);
        r.d[1] = (u32)port;
        hc_ser_send(&r);
        out_udec(count);
        out_line(" bytes sent");
        return;
    }
    /* What has come in, and whatever follows within a second of quiet. */
    u32 count = 0, quiet = os_ticks;
    char last = '\n';
    for (;;) {
        memset(&r, 0, sizeof r);
        r.d[2] = serial_rx[port];
        hc_ring_get(&r);
        if (!(r.sr & CCR_Z)) {
            u8 c = (u8)r.d[1];
            if (c != '\r') out_char(last = (char)c);
            count++;
            quiet = os_ticks;
            continue;
        }
        memset(&r, 0, sizeof r);
        r.d[0] = (u32)port;
        hc_ser_receive_on(&r);
        if (!wait_ticks(quiet, TICKS_PER_SECOND)) break;
    }
    if (last != '\n') out_char('\n');
    out_udec(count);
    out_line(" bytes received");
}

/* ---- beep PITCH DURATION ---- */

void cmd_beep(int argc, char** argv)
{
    long pitch, duration;
    static u8 block[8];
    (void)argc;
    if (!parse_long(argv[1], &pitch) || !parse_long(argv[2], &duration) || pitch < 0 || pitch > 254 || duration < 1 ||
        duration > 32767) {
        out_line("usage: beep PITCH (0-254) DURATION (1-32767)");
        return;
    }
    memset(block, 0, sizeof block);
    block[0] = block[1] = (u8)(pitch + 1);
    block[4] = (u8)duration;
    block[5] = (u8)(duration >> 8);
    struct regs r = {0};
    r.a[1] = (u32)block;
    hc_snd_beep(&r);
    out_line("beep");
}

/* ---- cd play TRACK ---- */

void cmd_cd(int argc, char** argv)
{
    long track;
    (void)argc;
    if (!str_ieq(argv[1], "play") || !parse_long(argv[2], &track) || track < 1 || track > 99) {
        out_line("usage: cd play TRACK");
        return;
    }
    struct regs r = {0};
    long result = hc_cd_open(&r);
    if (result >= 0) {
        memset(&r, 0, sizeof r);
        result = hc_cd_disc_info(&r);
    }
    if (result < 0) {
        out_error("cd", result);
        return;
    }
    long last = (long)((r.d[2] >> 8) & 0xFF);
    if (track > last) {
        out_error("cd", ERR_NF);
        return;
    }
    memset(&r, 0, sizeof r);
    r.d[1] = (u32)track;
    result = hc_cd_track_start(&r);
    u32 start = r.d[1];
    if (result >= 0) {
        r.d[2] = (u32)track;
        result = hc_cd_track_length(&r);
    }
    if (result >= 0) {
        u32 frames = r.d[2];
        memset(&r, 0, sizeof r);
        r.d[1] = start;
        r.d[2] = frames;
        result = hc_cd_play(&r);
        if (result >= 0) {
            out_str("playing track ");
            out_dec(track);
            out_str(", ");
            out_udec(frames / 75);
            out_line(" seconds");
            return;
        }
    }
    out_error("cd", result);
}
