| Prints one job through PAR1, bound as the INI says. The command line picks the job:
| "big" sends 200 KB of a counting pattern (byte i = (i xor i >> 8) & $FF), anything
| else a short ESC/P page of text in several pitches and styles, then a page holding
| only a bit image. Reports the open result and the count of bytes sent.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000
        .equ    BIG_SIZE, 200 * 1024

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        lea     cmdline, %a0
        move.l  #64, %d1
        SYS_GETCOMMANDLINE
        moveq   #1, %d1
        PAR_RING 2                     | D2 = the ring of PAR1
        moveq   #1, %d3
        PAR_OPEN 3
        SYS_DEBUGPRINT "open %d0"
        tst.l   %d0
        bne     done
        moveq   #0, %d5                 | bytes sent
        cmpi.b  #'b', cmdline + 2
        beq     big

        lea     escp_job, %a1
        move.l  #escp_end - escp_job, %d4
1:      move.b  (%a1)+, %d1
        bsr     put
        subq.l  #1, %d4
        bne     1b
        bra     finish

big:    moveq   #0, %d4
2:      move.l  %d4, %d1
        lsr.l   #8, %d1
        eor.l   %d4, %d1
        bsr     put
        addq.l  #1, %d4
        cmpi.l  #BIG_SIZE, %d4
        bne     2b

finish: moveq   #1, %d3
        PAR_SEND 3
        PAR_ENDJOB 3
        SYS_DEBUGPRINT "sent %d5"
done:   SYS_QUIT

| D1.B into the ring (D2); while it is full, ask the writer to send.
put:    SYS_RINGTEST
        bne     3f
        moveq   #1, %d3
        PAR_SEND 3
        bra     put
3:      SYS_RINGPUT 1
        addq.l  #1, %d5
        rts

escp_job:
        .byte   0x1B, '@'
        .ascii  "Pica line ZEMPAR"
        .byte   13, 10, 0x1B, 'M'
        .ascii  "Elite line"
        .byte   13, 10, 0x1B, 'g'
        .ascii  "Fifteen line"
        .byte   13, 10, 0x1B, 'P', 0x1B, 'E'
        .ascii  "Bold line"
        .byte   0x1B, 'F', 13, 10, 0x1B, '4'
        .ascii  "Italic line"
        .byte   0x1B, '5', 13, 10, 0x1B, '-', 1
        .ascii  "Underlined line"
        .byte   0x1B, '-', 0, 13, 10, 0x0F
        .ascii  "Condensed line"
        .byte   0x12, 13, 10, 12
        | page 2: a solid bar, 240 columns of eight dots, double density
        .byte   0x1B, '*', 1, 240, 0
        .rept   240
        .byte   0xFF
        .endr
        .byte   13, 10, 12
escp_end:
        .even
cmdline:
        .space  80
        ZEM_IMAGE_END
