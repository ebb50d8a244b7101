| Start of the benchmark workload: stack, cleared bss, the workload, then SYS Quit with
| the result in D0 (the benchmark prints it).
        .include "zem.inc"

        .equ    STACK_TOP, 0x00F00000       | well inside the 16 MB of the bare processor

        .section .text.start, "ax"
        .globl  _start
_start:
        lea     STACK_TOP, %sp
        lea     __bss_start, %a0
        lea     __bss_end, %a1
clear:
        cmp.l   %a1, %a0
        bcc.s   cleared
        clr.b   (%a0)+
        bra.s   clear
cleared:
        jsr     workload_run
        SYS_QUIT
stop:
        bra.s   stop
