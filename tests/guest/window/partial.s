| A 512 x 256 16-bit screen filled with the byte pattern; once that is on the window, a few
| small spots change (pixels 100-103 of lines 100 and 101, the first pixel and the last),
| so that the window shows them through repaints of those spots alone.
        .include "zem.inc"
        .include "window.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 512, 256, 16
        BYTE_PATTERN SCREEN, 1024 * 256
        SYS_DEBUGPRINT "drawn"
        move.w  #50, %d7
1:      SYS_IDLE
        dbra    %d7, 1b
        lea     SCREEN + 100 * 1024 + 200, %a0
        not.l   (%a0)+
        not.l   (%a0)
        lea     SCREEN + 101 * 1024 + 200, %a0
        not.l   (%a0)+
        not.l   (%a0)
        not.w   SCREEN
        not.w   SCREEN + 255 * 1024 + 1022
        SYS_DEBUGPRINT "changed"
2:      SYS_IDLE
        bra.s   2b
        ZEM_IMAGE_END
