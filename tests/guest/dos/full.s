| Fills a 64 KB drive: two 32 KB writes fit, the third does not; the file keeps its
| length, and a stored header that no longer fits is refused.
        .include "zem.inc"
        .include "dos_test.inc"
        .equ    CHUNK, 0x8000
        .equ    DATA, 0x100000

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        ON_NAME DOS_OPENNEW, big
        move.l  %d1, %d6
        lea     DATA, %a1
        move.l  #CHUNK, %d0
        DOS_WRITE 1
        SYS_DEBUGPRINT "first %d0"
        move.l  %d6, %d1
        lea     DATA, %a1
        move.l  #CHUNK, %d0
        DOS_WRITE 1
        SYS_DEBUGPRINT "second %d0"
        move.l  %d6, %d1
        lea     DATA, %a1
        move.l  #CHUNK, %d0
        DOS_WRITE 1
        SYS_DEBUGPRINT "third %d0"
        move.l  %d6, %d1
        DOS_GETFILESIZE 4
        SYS_DEBUGPRINT "size %d4"
        move.l  %d6, %d1
        lea     header, %a1
        DOS_SAVEHEADER
        SYS_DEBUGPRINT "header %d0"
        move.l  %d6, %d1
        DOS_GETFILESIZE 4
        SYS_DEBUGPRINT "size again %d4"
        move.l  %d6, %d1
        DOS_CLOSE
        SYS_QUIT

        QSTR    big, "big"
header: .long   0
        .byte   0, 1
        .long   0x1000, 0
        .space  50
        ZEM_IMAGE_END
