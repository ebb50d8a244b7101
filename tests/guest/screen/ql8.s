| A 1024 x 512 screen in the QL 8-colour format (flash shown as the second colour set),
| filled with the byte pattern.
        .include "zem.inc"
        .include "screen.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 1024, 512, 2, 8
        BYTE_PATTERN SCREEN, 256 * 512
        SYS_QUIT
        ZEM_IMAGE_END
