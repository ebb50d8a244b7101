| The peer vanishes: after the guest's "R" it sends 100 bytes, waits for the guest's "G"
| and closes its end. The guest sees the carrier go, sends into the dead line, closes and
| tries to open the port again, and ends normally.
        .include "zem.inc"
        .equ    STACK_TOP, 0x10000

        ZEM_IMAGE_START
        lea     STACK_TOP, %sp
        bsr     ser_open1
        SYS_DEBUGPRINT "open %d0"
        moveq   #0x52, %d1                | "R"
        bsr     ser_put
        bsr     ser_flush

        moveq   #0, %d5
1:      bsr     ser_get
        tst.l   %d0
        bmi.s   2f
        addq.l  #1, %d5
        cmp.l   #100, %d5
        bne.s   1b
2:      SYS_DEBUGPRINT "received %d5"
        moveq   #0x47, %d1                | "G"
        bsr     ser_put
        bsr     ser_flush

        move.l  CLOCK, %d7
        add.l   #WAIT_SECONDS, %d7
3:      moveq   #1, %d1
        SER_CARRIER 1
        beq.s   4f
        cmp.l   CLOCK, %d7
        bhi.s   3b
4:      SYS_DEBUGPRINT "carrier %d0"

        moveq   #9, %d5
5:      move.l  %d5, %d1
        bsr     ser_put
        dbra    %d5, 5b
        bsr     ser_flush
        SYS_DEBUGPRINT "sent"
        moveq   #1, %d1
        SER_CLOSE 1
        move.l  #0x0301, %d1
        moveq   #0, %d2
        SER_OPEN 1
        SYS_DEBUGPRINT "reopen %d0"
        SYS_QUIT

        .include "ser.inc"
        ZEM_IMAGE_END
