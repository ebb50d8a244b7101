| Draws a line and quits after a while, so that the window is seen before the guest ends.
        .include "zem.inc"
        .include "window.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 512, 256, 16
        BYTE_PATTERN SCREEN, 1024
        SYS_DEBUGPRINT "drawn"
        move.l  #100000000, %d7
1:      subq.l  #1, %d7
        bne.s   1b
        SYS_QUIT
        ZEM_IMAGE_END
