| Every WIN operation against containers the test prepared: WIN1 normal (64 sectors),
| WIN2 word-swapped, WIN3 to be created, WIN4 without write permission, WIN5 missing,
| WIN8 reached through drive number 0. Reads print D0, the first long of the buffer, the
| long at byte 1020 and the long at byte 1024, so the test sees what arrived and where
| the transfer stopped.
        .include "disks.inc"

        .macro  READ drive, sector, count, tag
        bsr     fill_marker
        moveq   #\drive, %d7
        move.l  #\sector, %d0
        move.l  #\count, %d2
        lea     BUF, %a1
        WIN_READSECTORS
        move.l  BUF, %d3
        move.l  BUF + 1020, %d4
        move.l  BUF + 1024, %d5
        SYS_DEBUGPRINT "\tag %d0 %d3 %d4 %d5"
        .endm

        .macro  WRITE drive, sector, seed, tag
        move.l  #\seed, %d1
        bsr     fill_seed
        moveq   #\drive, %d7
        move.l  #\sector, %d0
        lea     BUF, %a1
        WIN_WRITESECTOR
        SYS_DEBUGPRINT "\tag %d0"
        .endm

        DISK_START
        READ    1, 0, 1, "first"
        READ    1, 31, 1, "middle"
        READ    1, 63, 1, "last"
        READ    1, 62, 4, "pastend"
        READ    1, 0x7FFFFF, 1, "top"
        READ    1, 0x7FFFFF, 2, "wrap"
        READ    1, 0, 0x10000000, "hugecount"
        READ    1, 5, 0, "nocount"
        WRITE   1, 0, 0x10, "w0"
        WRITE   1, 31, 0x20, "w31"
        WRITE   1, 63, 0x30, "w63"
        WRITE   1, 0x800000, 0x40, "wwrap"

        | Buffers that run past the end of RAM.
        moveq   #1, %d7
        moveq   #0, %d0
        moveq   #1, %d2
        lea     RAM_END - 256, %a1
        WIN_READSECTORS
        SYS_DEBUGPRINT "readedge %d0"
        moveq   #0, %d0
        lea     RAM_END - 256, %a1
        WIN_WRITESECTOR
        SYS_DEBUGPRINT "writeedge %d0"

        | Word-swapped container: the guest sees and writes its own byte order.
        READ    2, 1, 1, "swapread"
        WRITE   2, 2, 0x50, "swapwrite"

        | Creation: with the check word, of sizes that cannot be made, and without it.
        moveq   #3, %d7
        move.l  #100, %d1
        WIN_CREATE
        SYS_DEBUGPRINT "create %d0 %d1"
        READ    3, 99, 1, "createdlast"
        move.l  #0x800000, %d1
        WIN_CREATE
        SYS_DEBUGPRINT "createhuge %d0 %d1"
        moveq   #0, %d1
        WIN_CREATE
        SYS_DEBUGPRINT "createzero %d0 %d1"
        move.l  #0x12345678, %d1
        .short  0xAE02
        SYS_DEBUGPRINT "nocheck %d1"

        | Permissions and attributes.
        moveq   #1, %d7
        WIN_READONLY
        SYS_DEBUGPRINT "ro1 %d0"
        moveq   #4, %d7
        WIN_READONLY
        SYS_DEBUGPRINT "ro4 %d0"
        moveq   #5, %d7
        WIN_READONLY
        SYS_DEBUGPRINT "ro5 %d0"
        READ    4, 0, 1, "roread"
        WRITE   4, 0, 0x60, "rowrite"
        READ    5, 0, 1, "missing"
        moveq   #1, %d7
        move.l  #0x12345600, %d2
        WIN_REMOVABLE
        SYS_DEBUGPRINT "removable %d0 %d2"

        | Drive 0 is drive 8; 9 is drive 1.
        READ    0, 0, 1, "drive0"
        READ    9, 0, 1, "drive9"

        | Names.
        moveq   #1, %d7
        lea     BUF, %a3
        move.l  #256, %d0
        WIN_GETNAME
        SYS_DEBUGPRINT "getname %d0 <%sa3>"
        lea     BUF, %a3
        moveq   #4, %d0
        WIN_GETNAME
        SYS_DEBUGPRINT "getsmall %d0"
        moveq   #6, %d7
        lea     longname, %a3
        WIN_SETNAME
        SYS_DEBUGPRINT "setlong %d0"
        lea     RAM_END - 1, %a3
        WIN_SETNAME
        SYS_DEBUGPRINT "setoutside %d0"
        lea     dirname, %a3
        WIN_SETNAME
        SYS_DEBUGPRINT "setdir %d0"
        READ    6, 0, 1, "dirread"
        lea     devname, %a3
        WIN_SETNAME
        READ    6, 0, 1, "devread"

        | Closing.
        moveq   #1, %d7
        WIN_CLOSEDRIVE
        SYS_DEBUGPRINT "close %d0"
        WIN_CLOSEDRIVE
        SYS_DEBUGPRINT "closeagain %d0"
        .short  0xAE04
        SYS_DEBUGPRINT "nothing %d0"
        .short  0xAE0A
        SYS_DEBUGPRINT "unassignedA %d0"
        .short  0xAE0F
        SYS_DEBUGPRINT "unassignedF %d0"
        WIN_CLOSEALL
        SYS_DEBUGPRINT "closeall %d0"
        SYS_QUIT

        QSTR    dirname, "/"
        QSTR    devname, "/dev/null"
longname:
        .short  300
        .fill   300, 1, 'a'
        .even
        ZEM_IMAGE_END
