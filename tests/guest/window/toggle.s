| Starts in full screen (the test's INI) and draws; when the host clipboard has new text
| (the counter byte at $1C066 moves) it asks for a window size, which in full screen
| toggles to a window.
        .include "zem.inc"
        .include "window.inc"
        .equ    CLIPBOARD_COUNTER, 0x1C066

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 512, 256, 16
        BYTE_PATTERN SCREEN, 1024 * 256
        move.b  CLIPBOARD_COUNTER, %d5
        SYS_DEBUGPRINT "drawn"
1:      SYS_IDLE
        cmp.b   CLIPBOARD_COUNTER, %d5
        beq.s   1b
        move.l  #1024, %d1
        move.l  #512, %d2
        SCR_SETWINDOWSIZE
        SYS_DEBUGPRINT "toggled"
2:      SYS_IDLE
        bra.s   2b
        ZEM_IMAGE_END
