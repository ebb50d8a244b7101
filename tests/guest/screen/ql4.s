| The classic QL screen: 512 x 256 in 4 colours at $20000, filled with the byte pattern.
        .include "zem.inc"
        .include "screen.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 512, 256, 2, 0, QL_SCREEN
        BYTE_PATTERN QL_SCREEN, 128 * 256
        SYS_QUIT
        ZEM_IMAGE_END
