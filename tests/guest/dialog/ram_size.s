| Reports the RAM size the host gave the guest, so that a test can see what the start-up
| dialog chose.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        SYS_GETRAMSIZE 0
        move.l  %a0, %d0
        SYS_DEBUGPRINT "ram %d0"
        SYS_QUIT
        ZEM_IMAGE_END
