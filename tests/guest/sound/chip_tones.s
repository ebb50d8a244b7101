| Both chips at once in stereo mode 1 (A left, B centre, C right): chip 0 plays A, B and
| C at periods 100, 200 and 350 (no harmonic of one lands on another); chip 1 plays B at period 150. The guest hands the
| registers over again every few hundred milliseconds, as a player would.
        .include "zem.inc"
        .include "sound.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        moveq   #3, %d4                 | three rounds of about a second
round:
        moveq   #0, %d1
        lea     chip0, %a1
        SND_CHIPPLAY 1
        moveq   #1, %d1
        lea     chip1, %a1
        SND_CHIPPLAY 1
        WAIT_SECONDS 1
        subq.l  #1, %d4
        bne.s   round
        moveq   #0, %d1
        SND_CHIPSTOP
        moveq   #1, %d1
        SND_CHIPSTOP
        SYS_DEBUGPRINT "chips done"
        SYS_QUIT

| R0-R13. R13 = 255 keeps the envelope (unused here) running.
chip0:  .byte   100, 0, 200, 0, 0x5E, 0x01, 0, 0x38, 15, 15, 15, 0, 0, 255
chip1:  .byte   0, 0, 150, 0, 0, 0, 0, 0x3D, 0, 15, 0, 0, 0, 255
        ZEM_IMAGE_END
