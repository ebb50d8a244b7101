| Counts the 50 Hz poll for one second of the clock register and reports the clock and
| the count. The level-2 handler asks NextEvent for each routine until the done routine.
        .include "zem.inc"
        .equ    CLOCK, 0x1C000
        .equ    LEVEL2_VECTOR, 0x68
        .equ    STACK_TOP, 0x10000

        ZEM_IMAGE_START
        lea     STACK_TOP, %sp
        move.l  #interrupt, LEVEL2_VECTOR
        lea     linkage(%pc), %a1
        SYS_SETLINKAGE
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

| Each entry is the routine's offset from the entry itself, unsigned: the table lies
| before the routines.
linkage:
        .short  poll - .
        .short  done - .
        .short  done - .
        .short  0
        .short  done - .
        .short  done - .
        .short  done - .

interrupt:
        movem.l %d0-%d1, -(%sp)
        SYS_NEXTEVENT
poll:
        addq.l  #1, count
        SYS_NEXTEVENT
done:
        movem.l (%sp)+, %d0-%d1
        rte

        .even
count:  .long   0
        ZEM_IMAGE_END
