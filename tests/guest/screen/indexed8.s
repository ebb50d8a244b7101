| A 512 x 256 8-bit screen: pixel (x, y) = (x + 3y) & $FF, every palette index on every
| line. Then the QL screen mirrored in 4-colour mode draws green (index 147) and red
| (index 73) pixels on line 200.
        .include "zem.inc"
        .include "screen.inc"
        .equ    W, 512
        .equ    H, 256

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP W, H, 8
        lea     SCREEN, %a0
        moveq   #0, %d7                 | y
row:    move.l  %d7, %d4
        mulu.w  #3, %d4
        move.w  #W-1, %d6
1:      move.b  %d4, (%a0)+
        addq.w  #1, %d4
        dbra    %d6, 1b
        addq.l  #1, %d7
        cmp.l   #H, %d7
        blt.s   row

        moveq   #4, %d1
        SCR_MIRROR 1
        move.w  #0xF00F, QL_SCREEN + 128 * 200
        SYS_QUIT
        ZEM_IMAGE_END
