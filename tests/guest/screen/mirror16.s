| The mirror on a 640 x 480 16-bit screen. Mode 4: white at pixel (0, 0) sets the
| first pixel of the QL screen, $1234 at pixel 8 is no QL colour and leaves it alone.
| Mode 8: QL word $8000 on line 10 draws two green pixels, $4000 on line 11 two grey
| ones (flash). Mode 4 again: $FF00 on line 12 draws eight green pixels.
        .include "zem.inc"
        .include "screen.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 640, 480, 16
        moveq   #4, %d1
        SCR_MIRROR 1
        move.w  #0xFFFF, SCREEN
        move.w  #0x3412, SCREEN + 16
        lea     QL_SCREEN, %a2
        SYS_DEBUGPRINT "ql %ma2"

        moveq   #8, %d1
        SCR_MIRROR 1
        move.w  #0x8000, QL_SCREEN + 128 * 10
        move.w  #0x4000, QL_SCREEN + 128 * 11
        moveq   #4, %d1
        SCR_MIRROR 1
        move.w  #0xFF00, QL_SCREEN + 128 * 12
        SYS_QUIT
        ZEM_IMAGE_END
