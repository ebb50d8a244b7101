| The receive-ring RTS rule: the peer sends 1800 bytes after the guest's "R"; the guest
| leaves them in the ring for a second or two (the port logs RTS going off), then drains
| the ring and says so with receive on (the port logs RTS coming back).
        .include "zem.inc"
        .equ    STACK_TOP, 0x10000

        ZEM_IMAGE_START
        lea     STACK_TOP, %sp
        bsr     ser_open1
        SYS_DEBUGPRINT "open %d0"
        moveq   #0x52, %d1                | "R"
        bsr     ser_put
        bsr     ser_flush

        move.l  CLOCK, %d0
1:      cmp.l   CLOCK, %d0
        beq.s   1b
        move.l  CLOCK, %d0
2:      cmp.l   CLOCK, %d0
        beq.s   2b

        SYS_DEBUGPRINT "draining"
        moveq   #0, %d5
3:      move.l  %d3, %d2
        SYS_RINGGET
        beq.s   4f
        addq.l  #1, %d5
        bra.s   3b
4:      moveq   #1, %d0
        SER_RECEIVEON
        SYS_DEBUGPRINT "drained %d5"
        moveq   #1, %d1
        SER_CLOSE 1
        SYS_QUIT

        .include "ser.inc"
        ZEM_IMAGE_END
