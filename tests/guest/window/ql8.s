| A 512 x 256 screen in the QL 8-colour format, filled with the byte pattern.
        .include "zem.inc"
        .include "window.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 512, 256, 2, 8
        BYTE_PATTERN SCREEN, 128 * 256
        DRAWN_THEN_WAIT
        ZEM_IMAGE_END
