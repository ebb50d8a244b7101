| Writes a file on DOS1 and waits, without closing it, until the test ends the program.
        .include "zem.inc"
        .include "dos_test.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        ON_NAME DOS_OPENNEW, kept
        move.l  %d1, %d6
        lea     text, %a1
        moveq   #9, %d0
        DOS_WRITE 1
        SYS_DEBUGPRINT "written %d0"
1:      bra.s   1b

        QSTR    kept, "kept"
text:   .ascii  "kept data"
        .even
        ZEM_IMAGE_END
