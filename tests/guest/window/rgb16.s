| A 512 x 256 16-bit screen filled with the byte pattern.
        .include "zem.inc"
        .include "window.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 512, 256, 16
        BYTE_PATTERN SCREEN, 1024 * 256
        DRAWN_THEN_WAIT
        ZEM_IMAGE_END
