| Block operations through their host calls on a 640 x 480 16-bit screen:
| fill 22 x 20 pixels at (5, 10) with red and green rows (a leading pixel, ten units, a
| trailing pixel), exclusive-or rows 12-15 of it with all ones, combine it at alpha 128
| with black into (200, 200), move it to (300, 50). Then a fill taller than the screen,
| and a move area whose destination runs off the bottom: the trace handler reports.
        .include "zem.inc"
        .include "screen.inc"
        .equ    W, 640
        .equ    PITCH, W * 2

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        move.l  #traced, TRACE_VECTOR
        SCREEN_SETUP W, 480, 16

        lea     SCREEN + 10 * PITCH + 5 * 2, %a1
        move.l  #PITCH - 44, %a2
        moveq   #10, %d1
        moveq   #20, %d3
        moveq   #1, %d4
        moveq   #1, %d5
        move.l  #0x00F800F8, %d6
        move.l  #0xE007E007, %d7
        SCR_FILLBLOCK
        SYS_DEBUGPRINT "fill %d0"

        lea     SCREEN + 12 * PITCH + 5 * 2, %a1
        moveq   #4, %d3
        moveq   #-1, %d6
        moveq   #-1, %d7
        SCR_EORBLOCK
        SYS_DEBUGPRINT "eor %d0"

        move.l  #(22 << 16) + 20, %d1
        move.l  #(5 << 16) + 10, %d2
        lea     SCREEN, %a4
        move.l  #PITCH, %a2
        move.l  #(100 << 16) + 100, %d4
        lea     SCREEN, %a1
        move.l  #PITCH, %d7
        move.l  #(200 << 16) + 200, %d3
        lea     SCREEN, %a5
        move.l  #PITCH, %a3
        move.l  #128, %d6
        SCR_COMBINEBLOCK
        SYS_DEBUGPRINT "combine %d0"

        move.l  #(5 << 16) + 10, %d2
        move.l  #(300 << 16) + 50, %d3
        SCR_MOVEAREA
        SYS_DEBUGPRINT "move %d0"

        lea     SCREEN, %a1
        move.l  #0, %a2
        moveq   #1, %d1
        move.l  #481, %d3
        moveq   #0, %d4
        moveq   #0, %d5
        SCR_FILLBLOCK
        SYS_DEBUGPRINT "tall fill %d0"

        move.l  #(10 << 16) + 10, %d1
        move.l  #(0 << 16) + 475, %d3
        SCR_MOVEAREA
        move.l  %d0, %d6
        nop
        nop
        SYS_DEBUGPRINT "not traced"
        SYS_QUIT

traced: SYS_DEBUGPRINT "traced %d0"
        SYS_QUIT
        ZEM_IMAGE_END
