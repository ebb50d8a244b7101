| Every byte value both ways: the peer sends 0-255 after the guest's "R", the guest sends
| 255-0 back and waits for the peer's "A".
        .include "zem.inc"
        .equ    STACK_TOP, 0x10000

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
        cmp.b   %d5, %d1
        beq.s   2f
        addq.l  #1, %d6
2:      addq.l  #1, %d5
        cmp.l   #256, %d5
        bne.s   1b
3:      SYS_DEBUGPRINT "received %d5 wrong %d6"

        move.l  #255, %d5
4:      move.l  %d5, %d1
        bsr     ser_put
        dbra    %d5, 4b
        bsr     ser_flush
        bsr     ser_get
        SYS_DEBUGPRINT "ack %d0 %d1"
        moveq   #1, %d1
        SER_CLOSE 1
        SYS_QUIT

        .include "ser.inc"
        ZEM_IMAGE_END
