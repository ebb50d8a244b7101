| A depth the display does not know: the initialisation ends the program.
        .include "zem.inc"
        .include "screen.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SCREEN_SETUP 640, 480, 4
        SYS_DEBUGPRINT "still running"
        SYS_QUIT
        ZEM_IMAGE_END
