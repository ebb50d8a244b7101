| A Quit word without its check word must be an illegal instruction reported at the word
| itself. The illegal-instruction handler checks the frame, leaves a mark the host logs (a
| long store that runs past the end of the 16 MB of RAM is dropped with a log line) and
| then quits properly. A wrong frame leaves the machine spinning, which the test sees as
| a time-out; a word wrongly taken as Quit ends the run without the mark.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000
        .equ    VECTOR_ILLEGAL, 4 * 4
        .equ    FRAME_FORMAT0_ILLEGAL, 0x0010   | format 0, vector offset 4 * 4
        .equ    MARK_ADDRESS, 0xFFFFFE          | last word of RAM; a long store overruns it

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        lea     illegal, %a0
        move.l  %a0, VECTOR_ILLEGAL
        moveq   #0, %d0
        movec   %d0, %vbr
bad_quit:
        .short  0xA000              | Quit, but no check word follows
        nop
wrong:
        bra.s   wrong               | the word was taken as Quit, or the handler returned

illegal:
        cmp.l   #bad_quit, 2(%sp)   | stacked PC at the host-call word
        bne.s   wrong
        cmp.w   #FRAME_FORMAT0_ILLEGAL, 6(%sp)
        bne.s   wrong
        move.l  #0x4D41524B, MARK_ADDRESS
        SYS_QUIT
        ZEM_IMAGE_END
