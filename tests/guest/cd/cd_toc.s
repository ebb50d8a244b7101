| The table of contents, the drive at rest and the guest's time conversions: prints the
| disc information, every track's start and length and one track past the last, and
| the conversion of a table of values each way.
        .include "cd.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        CD_OPEN
        SYS_DEBUGPRINT "open %d0"
        CD_OPEN
        SYS_DEBUGPRINT "open again %d0"

        CD_DISCINFO 1
        SYS_DEBUGPRINT "discinfo %d0 length %d1 tracks %d2"

        | Tracks 1 to count + 1 (the count is in D2's second byte).
        move.l  %d2, %d6
        lsr.l   #8, %d6
        addq.l  #1, %d6
        moveq   #1, %d5
tracks:
        move.l  %d5, %d3
        CD_TRACKSTART 3
        SYS_DEBUGPRINT "track %d5 start %d0 %d3"
        move.l  %d5, %d3
        CD_TRACKLENGTH 3
        SYS_DEBUGPRINT "track %d5 length %d0 %d3"
        addq.l  #1, %d5
        cmp.l   %d6, %d5
        bls     tracks

        moveq   #0, %d3
        CD_TRACKSTART 3
        SYS_DEBUGPRINT "track 0 start %d0 %d3"
        moveq   #-1, %d3
        CD_TRACKSTART 3
        SYS_DEBUGPRINT "track -1 start %d0 %d3"
        move.l  #0x201, %d3
        CD_TRACKLENGTH 3
        SYS_DEBUGPRINT "track $201 length %d0 %d3"

        CD_STATUS 1
        SYS_DEBUGPRINT "status %d0 %d1"
        CD_POSITION 1
        SYS_DEBUGPRINT "position %d0 %d1 %d2"

        | The conversions answer in their register only: D0 and the flags stay.
        lea     frame_counts, %a0
1:      move.l  (%a0)+, %d3
        move.l  %d3, %d1
        move.l  #0x12345678, %d0
        move.w  #0x271F, %sr
        CD_FRAMESTOMSF 1
        move.w  %sr, %d4
        and.l   #0x1F, %d4
        SYS_DEBUGPRINT "f2m %d3 %d1 d0 %d0 ccr %d4"
        cmp.l   #0xFFFFFFFF, %d3
        bne     1b

        lea     msf_values, %a0
1:      move.l  (%a0)+, %d3
        move.l  %d3, %d6
        move.l  #0x12345678, %d0
        move.w  #0x2700, %sr
        CD_MSFTOFRAMES 6
        move.w  %sr, %d4
        and.l   #0x1F, %d4
        SYS_DEBUGPRINT "m2f %d3 %d6 d0 %d0 ccr %d4"
        cmp.l   #0xFFFFFFFF, %d3
        bne     1b

        SYS_QUIT

        .even
frame_counts:
        .long   0, 74, 75, 4499, 4500, 4653, 359999, 360000, 360001, 0x80000000, 0xFFFFFFFF
msf_values:
        .long   0, 0x4A, 0x100, 0x3B4A, 0x10203, 0x4F3B4A, 0x500000, 0x630000, 0x640000
        .long   0xFF0000, 0x1000000, 0x3C00, 0x4B, 0xFFFFFFFF
        ZEM_IMAGE_END
