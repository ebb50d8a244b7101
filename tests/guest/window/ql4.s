| The classic QL screen in 4 colours, filled with the byte pattern.
        .include "zem.inc"
        .include "window.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 512, 256, 2, 0, QL_SCREEN
        BYTE_PATTERN QL_SCREEN, 128 * 256
        DRAWN_THEN_WAIT
        ZEM_IMAGE_END
