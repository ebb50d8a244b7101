| Sets a mode, draws one line and then writes nothing more: after the first picture the
| update has nothing to convert or present.
        .include "zem.inc"
        .include "window.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 512, 256, 16
        BYTE_PATTERN SCREEN, 1024
        DRAWN_THEN_WAIT
        ZEM_IMAGE_END
