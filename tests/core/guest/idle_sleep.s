| Sits in Idle for six seconds of the clock register while the poll keeps running,
| then reports how many polls it saw.
        .include "zem.inc"
        .equ    CLOCK, 0x1C000
        .equ    LEVEL2_VECTOR, 0x68
        .equ    STACK_TOP, 0x10000
        .equ    IDLE_SECONDS, 6

        ZEM_IMAGE_START
        lea     STACK_TOP, %sp
        move.l  #interrupt, LEVEL2_VECTOR
        lea     linkage(%pc), %a1
        SYS_SETLINKAGE
        move.w  #0x2000, %sr
        SYS_DEBUGPRINT "idle start"
        move.l  CLOCK, %d2
        addq.l  #IDLE_SECONDS, %d2
1:      SYS_IDLE
        cmp.l   CLOCK, %d2
        bhi.s   1b
        move.l  count, %d1
        SYS_DEBUGPRINT "idle end %d1"
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
