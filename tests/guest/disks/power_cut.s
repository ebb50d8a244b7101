| Writes WIN1 sectors 0-1439 and FLP1 track t head 0 sectors 1-18 for t = 0-79, each
| sector filled from the low byte of its number, flushing the floppy after every track
| and then reporting the track. The test kills the emulator part-way.
        .include "disks.inc"

        DISK_START
        moveq   #0, %d6                     | track
track:
        moveq   #1, %d5                     | sector 1-18
sector:
        move.l  %d6, %d1
        mulu.w  #18, %d1
        add.l   %d5, %d1
        subq.l  #1, %d1                     | WIN sector number
        move.l  %d1, %d4
        bsr     fill_seed
        moveq   #1, %d7
        move.l  %d4, %d0
        lea     BUF, %a1
        WIN_WRITESECTOR
        bne     failed
        moveq   #1, %d7
        move.l  %d6, %d0
        swap    %d0
        or.l    %d5, %d0
        lea     BUF, %a1
        FLP_WRITESECTOR
        bne     failed
        addq.l  #1, %d5
        cmp.l   #19, %d5
        bne     sector
        moveq   #1, %d7
        FLP_FLUSH
        bne     failed
        SYS_DEBUGPRINT "track %d6"
        addq.l  #1, %d6
        cmp.l   #80, %d6
        bne     track
        SYS_DEBUGPRINT "all written"
1:      bra     1b
failed:
        SYS_DEBUGPRINT "failed %d0"
        SYS_QUIT
        ZEM_IMAGE_END
