| Counts the 50 Hz poll for one second of the clock register and reports the clock and
| the count. The level-2 handler asks NextEvent for each routine until the done routine.
        .include "zem.inc"
        .equ    STACK_TOP, 0x10000

        ZEM_IMAGE_START
        lea     STACK_TOP, %sp
        bsr     install_poll_counter
        move.l  CLOCK, %d1
        SYS_DEBUGPRINT "clock %d1"
        move.w  #0x2000, %sr            | interrupts on

        | Start counting at a change of the clock register, stop at the next one.
        move.l  CLOCK, %d0
1:      cmp.l   CLOCK, %d0
        beq.s   1b
        clr.l   count
        move.l  CLOCK, %d0
2:      cmp.l   CLOCK, %d0
        beq.s   2b
        move.l  count, %d1
        SYS_DEBUGPRINT "polls %d1"
        SYS_QUIT

        .include "poll_counter.inc"
        ZEM_IMAGE_END
