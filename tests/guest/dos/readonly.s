| A read-only host file: the exclusive open falls back to reading, and every change the
| guest tries is refused without touching the file.
        .include "zem.inc"
        .include "dos_test.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        ON_NAME DOS_OPENEXCLUSIVE, locked
        move.l  %d1, %d6
        SYS_DEBUGPRINT "open %d0"
        move.l  %d6, %d1
        lea     text, %a1
        moveq   #4, %d0
        DOS_WRITE 1
        SYS_DEBUGPRINT "write %d0"
        move.l  %d6, %d1
        DOS_TRUNCATE
        SYS_DEBUGPRINT "truncate %d0"
        move.l  %d6, %d1
        lea     header, %a1
        DOS_SAVEHEADER
        SYS_DEBUGPRINT "header %d0"
        move.l  %d6, %d1
        lea     buffer, %a1
        moveq   #64, %d0
        DOS_READ 1
        SYS_DEBUGPRINT "read %d0"
        move.l  %d6, %d1
        DOS_CLOSE
        ON_NAME DOS_OPENOVERWRITE, locked
        SYS_DEBUGPRINT "overwrite %d0"
        SYS_QUIT

        QSTR    locked, "locked"
text:   .ascii  "new!"
header: .long   0
        .byte   0, 1
        .long   0x1000, 0
        .space  50
buffer: .space  64
        ZEM_IMAGE_END
