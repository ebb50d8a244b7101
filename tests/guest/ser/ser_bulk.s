| A megabyte each way: byte i of either stream is (i ^ i >> 8 ^ i >> 16) & $FF, so a lost,
| doubled or misplaced byte shows as a wrong one. The peer starts after the guest's "R"
| and ends with "A" once it has the guest's megabyte.
        .include "zem.inc"
        .equ    STACK_TOP, 0x10000
        .equ    SIZE, 0x100000

        ZEM_IMAGE_START
        lea     STACK_TOP, %sp
        bsr     ser_open1
        SYS_DEBUGPRINT "open %d0"
        moveq   #0x52, %d1                | "R"
        bsr     ser_put
        bsr     ser_flush

        moveq   #0, %d5                 | bytes taken
        moveq   #0, %d6                 | bytes not as expected
1:      bsr     ser_get
        tst.l   %d0
        bmi.s   3f
        bsr     pattern
        cmp.b   %d0, %d1
        beq.s   2f
        addq.l  #1, %d6
2:      addq.l  #1, %d5
        cmp.l   #SIZE, %d5
        bne.s   1b
3:      SYS_DEBUGPRINT "received %d5 wrong %d6"

        moveq   #0, %d5
4:      bsr     pattern
        move.l  %d0, %d1
        bsr     ser_put
        addq.l  #1, %d5
        cmp.l   #SIZE, %d5
        bne.s   4b
        bsr     ser_flush
        bsr     ser_get
        SYS_DEBUGPRINT "ack %d0 %d1"
        moveq   #1, %d1
        SER_CLOSE 1
        SYS_QUIT

| D0.B = byte D5 of the stream. Uses D7.
pattern:
        move.l  %d5, %d0
        lsr.l   #8, %d0
        move.l  %d0, %d7
        lsr.l   #8, %d7
        eor.l   %d7, %d0
        eor.l   %d5, %d0
        rts

        .include "ser.inc"
        ZEM_IMAGE_END
