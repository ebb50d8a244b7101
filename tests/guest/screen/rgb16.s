| A 640 x 480 16-bit screen: pixel (x, y) = 37x + 101y (16 bits, low byte first),
| written a row at a time with words, bytes, longs and words at odd addresses in turn.
| First the size call's adjustments as the guest sees them.
        .include "zem.inc"
        .include "screen.inc"
        .equ    W, 640
        .equ    H, 480

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        move.l  #0x01FF0100, %d3
        moveq   #16, %d4
        SCR_SETSIZE 3
        move.l  #0x04060200, %d5
        moveq   #16, %d6
        SCR_SETSIZE 5
        moveq   #-1, %d7
        move.l  #16, %a0
        SCR_SETSIZE 7
        SYS_DEBUGPRINT "sizes %d3 %d5 %d7"

        SCREEN_SETUP W, H, 16
        lea     SCREEN, %a0
        moveq   #0, %d7                 | y
        moveq   #0, %d5                 | 101 y
row:    move.w  %d5, %d4                | pixel value
        move.l  %d7, %d0
        and.l   #3, %d0
        beq.s   words
        cmp.l   #1, %d0
        beq.s   bytes
        cmp.l   #2, %d0
        beq.s   longs
        bra.s   odd

words:  move.w  #W-1, %d6
1:      move.w  %d4, %d1
        ror.w   #8, %d1
        move.w  %d1, (%a0)+
        add.w   #37, %d4
        dbra    %d6, 1b
        bra.s   next

bytes:  move.w  #W-1, %d6
1:      move.b  %d4, (%a0)+
        move.w  %d4, %d1
        lsr.w   #8, %d1
        move.b  %d1, (%a0)+
        add.w   #37, %d4
        dbra    %d6, 1b
        bra.s   next

longs:  move.w  #W/2-1, %d6
1:      move.w  %d4, %d1
        ror.w   #8, %d1
        swap    %d1
        add.w   #37, %d4
        move.w  %d4, %d1
        ror.w   #8, %d1
        move.l  %d1, (%a0)+
        add.w   #37, %d4
        dbra    %d6, 1b
        bra.s   next

| Each word at an odd address holds the high byte of one pixel and the low byte of the
| next, so it ends one cell and starts another when it sits at a cell's last byte.
odd:    move.b  %d4, (%a0)+
        move.w  %d4, %d3
        lsr.w   #8, %d3
        add.w   #37, %d4
        move.w  #W-2, %d6
1:      move.w  %d3, %d1
        lsl.w   #8, %d1
        move.b  %d4, %d1
        move.w  %d1, (%a0)+
        move.w  %d4, %d3
        lsr.w   #8, %d3
        add.w   #37, %d4
        dbra    %d6, 1b
        move.b  %d3, (%a0)+

next:   add.w   #101, %d5
        addq.l  #1, %d7
        cmp.l   #H, %d7
        blt     row
        SYS_QUIT
        ZEM_IMAGE_END
