| A tiny guest for trying the emulator: it sets up its stack, counts down a busy loop
| for a moment (a few hundred million instructions) and ends the machine with SYS Quit.
        .include "zem.inc"

        .equ    STACK_TOP, 0x20000
        .equ    OUTER_LOOPS, 200

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        move.l  #OUTER_LOOPS, %d1
outer:
        move.l  #0xFFFFF, %d0
inner:
        subq.l  #1, %d0
        bne.s   inner
        subq.l  #1, %d1
        bne.s   outer
        SYS_QUIT
        ZEM_IMAGE_END
