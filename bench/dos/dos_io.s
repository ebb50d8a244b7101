| Host-directory throughput: a 64 MB file written and read back on DOS1 in calls of 512
| bytes, 4 KB and 64 KB, then the listing of DOS1's folder "many". Each phase is framed
| by "mark" lines that the benchmark timestamps as they arrive.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000
        .equ    DATA, 0x100000
        .equ    FILE_SIZE, 64 * 1024 * 1024
        .equ    LISTING_KEY, 0xD05B
        .equ    DRIVE1, 1

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        lea     sizes, %a4
next_size:
        move.l  (%a4)+, %d7
        beq     listing
        SYS_DEBUGPRINT "mark write %d7"
        lea     file, %a1
        moveq   #DRIVE1, %d2
        DOS_OPENOVERWRITE 1
        bne     failed
        move.l  %d1, %d6
        move.l  #FILE_SIZE, %d5
1:      move.l  %d6, %d1
        lea     DATA, %a1
        move.l  %d7, %d0
        DOS_WRITE 1
        cmp.l   %d7, %d0
        bne     failed
        sub.l   %d7, %d5
        bne.s   1b
        move.l  %d6, %d1
        DOS_CLOSE
        SYS_DEBUGPRINT "mark read %d7"
        lea     file, %a1
        moveq   #DRIVE1, %d2
        DOS_OPENSHARED 1
        bne     failed
        move.l  %d1, %d6
        move.l  #FILE_SIZE, %d5
2:      move.l  %d6, %d1
        lea     DATA, %a1
        move.l  %d7, %d0
        DOS_READ 1
        cmp.l   %d7, %d0
        bne     failed
        sub.l   %d7, %d5
        bne.s   2b
        move.l  %d6, %d1
        DOS_CLOSE
        SYS_DEBUGPRINT "mark done %d7"
        bra     next_size

listing:
        SYS_DEBUGPRINT "mark list 0"
        lea     LISTING_KEY, %a0
        lea     name, %a1
        lea     many, %a2
        move.l  (%a2)+, (%a1)+
        move.l  (%a2)+, (%a1)+
        lea     name, %a1
        moveq   #DRIVE1, %d2
        DOS_OPENDIRECTORY 1
        bne     failed
        move.l  %d1, %d6
        moveq   #0, %d5
3:      move.l  %d6, %d1
        lea     DATA, %a1
        move.l  #65536, %d0
        DOS_READ 1
        add.l   %d0, %d5
        cmp.l   #65536, %d0
        beq.s   3b
        move.l  %d6, %d1
        DOS_CLOSE
        lea     LISTING_KEY, %a0
        DOS_DELETETEMPDIRFILE
        lsr.l   #6, %d5
        SYS_DEBUGPRINT "mark listed %d5"
        SYS_QUIT

failed:
        SYS_DEBUGPRINT "failed %d0 size %d7"
        SYS_QUIT

sizes:  .long   512, 4096, 65536, 0
file:   .short  5
        .ascii  "bench"
        .even
many:   .short  5
        .ascii  "many_"
        .even
name:   .space  40
        ZEM_IMAGE_END
