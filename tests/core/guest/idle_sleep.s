| Sits in Idle for six seconds of the clock register while the poll keeps running,
| then reports how many polls it saw.
        .include "zem.inc"
        .equ    STACK_TOP, 0x10000
        .equ    IDLE_SECONDS, 6

        ZEM_IMAGE_START
        lea     STACK_TOP, %sp
        bsr     install_poll_counter
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

        .include "poll_counter.inc"
        ZEM_IMAGE_END
