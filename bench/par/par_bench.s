| 10 MB through PAR1 as fast as the guest can hand it over: a line of text repeated,
| put byte by byte into the port's ring, the writer asked to send whenever it is full.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000
        .ifndef JOB_SIZE
        .equ    JOB_SIZE, 10 * 1024 * 1024
        .endif

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        moveq   #1, %d1
        PAR_RING 2
        moveq   #1, %d3
        PAR_OPEN 3
        SYS_DEBUGPRINT "open %d0"
        tst.l   %d0
        bne     done
        move.l  #JOB_SIZE, %d4
        moveq   #0, %d5
1:      lea     line, %a1
2:      move.b  (%a1)+, %d1
        beq     1b
3:      SYS_RINGTEST
        bne     4f
        PAR_SEND 3
        bra     3b
4:      SYS_RINGPUT 1
        addq.l  #1, %d5
        cmp.l   %d4, %d5
        bne     2b
        PAR_SEND 3
        PAR_ENDJOB 3
        SYS_DEBUGPRINT "sent %d5"
done:   SYS_QUIT

line:   .ascii  "ZEM parallel port throughput line, 64 characters of text.....\r\n"
        .byte   0
        .even
        ZEM_IMAGE_END
