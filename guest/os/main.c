/* Boot and the top level: screen and console in the configured mode, the banner, then the
   -CMDLINE script (commands separated by ';'), then the interactive prompt. A fault
   anywhere is reported and brings us back here, where the script or the prompt goes on. */
#include "os.h"

#define SCRIPT_SIZE 32000

static char script[SCRIPT_SIZE + 2];
static int script_length, script_pos;
int os_quit_requested;

void wait_for_something(void)
{
    pointer_update();
    struct regs r = {0};
    hc_idle(&r);
}

void os_report_fault(u32 vector, u32 pc)
{
    out_str("exception ");
    out_udec(vector);
    out_str(" at $");
    out_hex(pc, 8);
    out_line(" - back to the shell");
}

static void read_script(void)
{
    struct regs r = {0};
    r.a[0] = (u32)script;
    r.d[1] = SCRIPT_SIZE;
    long result = hc_get_command_line(&r);
    if (result < 0) {
        out_error("command line", result);
        return;
    }
    script_length = *(u16*)script;
    memmove(script, script + 2, (size_t)script_length);
    script[script_length] = 0;
}

static void run_script(void)
{
    while (script_pos < script_length) {
        char* command = script + script_pos;
        int end = script_pos;
        while (end < script_length && script[end] != ';') end++;
        script[end] = 0;
        script_pos = end + 1;
        while (*command == ' ') command++;
        if (!*command) continue;
        con_set_colour(2);
        out_str("> ");
        con_set_colour(1);
        out_line(command);
        shell_run_line(command);
    }
}

static char line[1024];

void os_resume(void)
{
    run_script();
    for (;;) {
        con_set_colour(2);
        out_str("> ");
        con_set_colour(1);
        if (line_edit(line, sizeof line) < 0) continue;
        shell_run_line(line);
    }
}

void os_banner(void);

void os_main(void)
{
    font_init();
    int depth = cfg_colour_depth;
    int width = cfg_resolution_x > 0 ? cfg_resolution_x : 800;
    int height = cfg_resolution_y > 0 ? cfg_resolution_y : 600;
    if (screen_setup(width, height, depth == 1 ? 0 : depth) == 0) con_init();
    os_interrupts_on();
    os_banner();
    read_script();
    os_resume();
}
