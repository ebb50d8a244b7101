/* Shell commands: each takes the words of its line and prints its own output. */
#ifndef SHELL_H
#define SHELL_H

#define MAX_ARGS 16
typedef void (*command_fn)(int argc, char** argv);

struct command {
    const char* name;
    command_fn run;
    int min_args, max_args; /* counting the command's own name */
    const char* usage;
};

void cmd_echo(int argc, char** argv);
void cmd_help(int argc, char** argv);
void cmd_ver(int argc, char** argv);
void cmd_quit(int argc, char** argv);
void cmd_cls(int argc, char** argv);
void cmd_mode(int argc, char** argv);
void cmd_config(int argc, char** argv);
void cmd_crash(int argc, char** argv);
void cmd_clip(int argc, char** argv);
void cmd_time(int argc, char** argv);
void cmd_date(int argc, char** argv);
void cmd_calc(int argc, char** argv);
void cmd_dir(int argc, char** argv);
void cmd_type(int argc, char** argv);
void cmd_copy(int argc, char** argv);
void cmd_delete(int argc, char** argv);
void cmd_rename(int argc, char** argv);
void cmd_mkdir(int argc, char** argv);
void cmd_dump(int argc, char** argv);
void cmd_secopy(int argc, char** argv);
void cmd_print(int argc, char** argv);
void cmd_net(int argc, char** argv);
void cmd_ser(int argc, char** argv);
void cmd_beep(int argc, char** argv);
void cmd_cd(int argc, char** argv);

extern const struct command commands[];
void os_banner(void);

#endif
