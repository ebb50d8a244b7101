| Leaves three floppy sectors pending in the write-back cache and waits to be ended.
        .include "disks.inc"

        DISK_START
        moveq   #1, %d5
1:      move.l  %d5, %d1
        add.b   #0x40, %d1
        bsr     fill_seed
        moveq   #1, %d7
        move.l  #(9 << 16) + (1 << 8), %d0
        or.l    %d5, %d0
        lea     BUF, %a1
        FLP_WRITESECTOR
        addq.l  #1, %d5
        cmp.l   #4, %d5
        bne     1b
        SYS_DEBUGPRINT "waiting %d0"
2:      bra     2b
        ZEM_IMAGE_END
