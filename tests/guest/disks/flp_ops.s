| Every FLP operation against images the test prepared: FLP1 a 1.44 MB image, FLP2 a
| 720 KB image without write permission. Reads print D0 and the first long of the sector.
        .include "disks.inc"

        .macro  READ drive, track, head, sector, tag
        bsr     fill_marker
        move.l  #\drive, %d7
        move.l  #(\track << 16) + (\head << 8) + \sector, %d0
        lea     BUF, %a1
        FLP_READSECTOR
        move.l  BUF, %d3
        SYS_DEBUGPRINT "\tag %d0 %d3"
        .endm

        .macro  WRITE drive, track, head, sector, seed
        move.l  #\seed, %d1
        bsr     fill_seed
        move.l  #\drive, %d7
        move.l  #(\track << 16) + (\head << 8) + \sector, %d0
        lea     BUF, %a1
        FLP_WRITESECTOR
        .endm

        | A whole track of one head, sector by sector; D6 counts failures.
        .macro  WRITE_TRACK track, head
        moveq   #1, %d5
1:      move.l  %d5, %d1
        add.b   #\track * 2 + \head, %d1
        bsr     fill_seed
        moveq   #1, %d7
        move.l  #(\track << 16) + (\head << 8), %d0
        or.l    %d5, %d0
        lea     BUF, %a1
        FLP_WRITESECTOR
        beq     2f
        addq.l  #1, %d6
2:      addq.l  #1, %d5
        cmp.l   #19, %d5
        bne     1b
        .endm

        .macro  FORMAT sectors, tracks, heads, tag
        moveq   #2, %d7
        move.l  #\sectors, %d2
        move.l  #\tracks, %d3
        move.l  #\heads, %d4
        move.l  #0x5A5A, %d0
        FLP_FORMAT
        SYS_DEBUGPRINT "\tag %d0 %d2"
        .endm

        DISK_START
        READ    1, 0, 0, 1, "boot"
        READ    1, 40, 1, 10, "middle"
        READ    1, 79, 1, 18, "last"
        READ    1, 80, 0, 1, "pasttracks"
        READ    1, 1, 0, 19, "pastsectors"
        READ    1, 1, 2, 1, "thirdhead"
        READ    0, 1, 0, 1, "drive0"
        READ    3, 1, 0, 1, "drive3"
        READ    255, 1, 0, 1, "drive255"

        WRITE   1, 40, 1, 10, 0x90
        SYS_DEBUGPRINT "write %d0"
        READ    1, 40, 1, 10, "readback"
        WRITE   1, 80, 0, 1, 0x91
        SYS_DEBUGPRINT "writepast %d0"

        | Buffers across the end of RAM.
        moveq   #1, %d7
        move.l  #0x00020001, %d0
        lea     RAM_END - 256, %a1
        FLP_READSECTOR
        SYS_DEBUGPRINT "readedge %d0"
        move.l  #0x00020001, %d0
        lea     RAM_END - 256, %a1
        FLP_WRITESECTOR
        SYS_DEBUGPRINT "writeedge %d0"

        | The write-back paths: a whole cylinder, a whole track, three sectors.
        moveq   #0, %d6
        WRITE_TRACK 3, 0
        WRITE_TRACK 3, 1
        READ    1, 4, 0, 1, "aftercylinder"
        WRITE_TRACK 5, 0
        READ    1, 6, 0, 1, "aftertrack"
        WRITE   1, 7, 1, 2, 0xA1
        WRITE   1, 7, 1, 3, 0xA2
        WRITE   1, 7, 1, 4, 0xA3
        moveq   #1, %d7
        FLP_FLUSH
        SYS_DEBUGPRINT "flush %d0 failures %d6"

        | Protection and media.
        moveq   #1, %d7
        FLP_CHECKMEDIUM
        SYS_DEBUGPRINT "medium1 %d0"
        moveq   #2, %d7
        FLP_CHECKMEDIUM
        SYS_DEBUGPRINT "medium2 %d0"
        READ    2, 79, 1, 9, "rolast"
        WRITE   2, 1, 0, 1, 0xB0
        SYS_DEBUGPRINT "rowrite %d0"

        | Names.
        moveq   #1, %d7
        lea     BUF, %a3
        move.l  #256, %d0
        FLP_GETNAME
        SYS_DEBUGPRINT "getname %d0"
        moveq   #4, %d0
        FLP_GETNAME
        SYS_DEBUGPRINT "getsmall %d0"
        moveq   #2, %d7
        lea     longname, %a3
        FLP_SETNAME
        SYS_DEBUGPRINT "setlong %d0"
        lea     RAM_END - 1, %a3
        FLP_SETNAME
        SYS_DEBUGPRINT "setoutside %d0"
        lea     oddname, %a3
        FLP_SETNAME
        READ    2, 1, 0, 1, "oddsize"
        lea     devname, %a3
        FLP_SETNAME
        READ    2, 1, 0, 1, "device"
        lea     dirname, %a3
        FLP_SETNAME
        READ    2, 1, 0, 1, "directory"
        moveq   #2, %d7
        FLP_CHECKMEDIUM
        SYS_DEBUGPRINT "mediumdir %d0"

        | Formats.
        lea     fmt9name, %a3
        FLP_SETNAME
        FORMAT  9, 80, 2, "format9"
        lea     fmt18name, %a3
        FLP_SETNAME
        FORMAT  0xFF, 80, 2, "formatauto"
        READ    2, 79, 1, 18, "formatted"
        FORMAT  10, 80, 2, "format10"
        FORMAT  18, 40, 2, "format40"
        FORMAT  18, 80, 1, "format1head"
        move.l  #0x1234, %d2
        .short  0xAF02
        SYS_DEBUGPRINT "nocheck %d2"

        | Left pending: shut-down writes it.
        WRITE   1, 60, 0, 5, 0xC0
        SYS_DEBUGPRINT "pending %d0"
        SYS_QUIT

        QSTR    dirname, "/tmp"
        QSTR    devname, "/dev/null"
        QSTR    oddname, "odd.img"
        QSTR    fmt9name, "fmt9.img"
        QSTR    fmt18name, "fmt18.img"
longname:
        .short  300
        .fill   300, 1, 'b'
        .even
        ZEM_IMAGE_END
