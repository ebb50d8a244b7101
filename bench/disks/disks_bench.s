| Disk throughput through the guest. The first character of the command line picks the
| run: r = read the 64 MB container in 64-sector calls, w = write it sector by sector,
| t = read the 1.44 MB floppy track by track (sector calls, served from the track cache),
| s = write the floppy sector by sector (each floppy run 200 times over), 0 = nothing (start-up and shut-down only).
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000
        .equ    BUF, 0x100000
        .equ    CONTAINER_SECTORS, 131072
        .equ    FLOPPY_PASSES, 200          | the floppy runs repeat the whole image

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        lea     cmd, %a0
        move.l  #16, %d1
        SYS_GETCOMMANDLINE
        move.b  cmd + 2, %d0
        cmp.b   #'r', %d0
        beq     read_win
        cmp.b   #'w', %d0
        beq     write_win
        cmp.b   #'t', %d0
        beq     read_flp
        cmp.b   #'s', %d0
        beq     write_flp
        bra     done

read_win:
        moveq   #1, %d7
        moveq   #0, %d6
1:      move.l  %d6, %d0
        moveq   #64, %d2
        lea     BUF, %a1
        WIN_READSECTORS
        bne     failed
        add.l   #64, %d6
        cmp.l   #CONTAINER_SECTORS, %d6
        bne     1b
        bra     done

write_win:
        moveq   #1, %d7
        moveq   #0, %d6
1:      move.l  %d6, %d0
        lea     BUF, %a1
        WIN_WRITESECTOR
        bne     failed
        addq.l  #1, %d6
        cmp.l   #CONTAINER_SECTORS, %d6
        bne     1b
        bra     done

| D5 = track << 16 | head << 8, D4 = sector 1-18
read_flp:
        move.l  #FLOPPY_PASSES, %d3
3:      moveq   #0, %d5
2:      moveq   #1, %d4
1:      moveq   #1, %d7
        move.l  %d5, %d0
        or.l    %d4, %d0
        lea     BUF, %a1
        FLP_READSECTOR
        bne     failed
        addq.l  #1, %d4
        cmp.l   #19, %d4
        bne     1b
        bsr     next_track
        bne     2b
        subq.l  #1, %d3
        bne     3b
        bra     done

write_flp:
        move.l  #FLOPPY_PASSES, %d3
3:      moveq   #0, %d5
2:      moveq   #1, %d4
1:      moveq   #1, %d7
        move.l  %d5, %d0
        or.l    %d4, %d0
        lea     BUF, %a1
        FLP_WRITESECTOR
        bne     failed
        addq.l  #1, %d4
        cmp.l   #19, %d4
        bne     1b
        bsr     next_track
        bne     2b
        moveq   #1, %d7
        FLP_FLUSH
        bne     failed
        subq.l  #1, %d3
        bne     3b
        bra     done

| Head 0 -> head 1 -> next track; Z set after track 79 head 1.
next_track:
        add.l   #0x100, %d5
        cmp.w   #0x200, %d5
        bne     1f
        add.l   #0x10000 - 0x200, %d5
1:      cmp.l   #80 << 16, %d5
        rts

failed:
        SYS_DEBUGPRINT "failed %d0 at %d6 %d5 %d4"
done:
        SYS_QUIT
cmd:    .space  16
        ZEM_IMAGE_END
