| Rewrites a whole 1920 x 1080 16-bit screen every frame (each frame a new colour) for a
| fixed number of frames, then reports the frames and quits: the time it takes is the
| guest's speed with the display busy.
        .include "zem.inc"
        .equ    STACK_TOP, 0x1F000
        .equ    SCREEN, 0x100000
        .equ    FRAMES, 400
        .equ    LONGS, 1920 * 1080 / 2

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        move.l  #(1920 << 16) + 1080, %d1
        move.l  #16, %d2
        SCR_SETSIZE 1
        SCR_INITDISPLAY
        moveq   #0, %d1
        SCR_SETMODE 1
        lea     SCREEN, %a1
        SCR_SETBASE 1
        move.l  #FRAMES, %d6
        move.l  #0x00010001, %d0
frame:  lea     SCREEN, %a0
        move.l  #LONGS, %d7
1:      move.l  %d0, (%a0)+
        subq.l  #1, %d7
        bne.s   1b
        add.l   #0x00210021, %d0
        subq.l  #1, %d6
        bne.s   frame
        move.l  #FRAMES, %d6
        SYS_DEBUGPRINT "frames %d6"
        SYS_QUIT
        ZEM_IMAGE_END
