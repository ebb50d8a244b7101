| Every probed word must take the illegal-instruction path with the stacked PC at the
| word itself. The handler counts hits at the expected address (D6) and misses (D7),
| then resumes after the word. A word that is wrongly accepted counts as neither.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000
        .equ    VECTOR_ILLEGAL, 4 * 4

        .macro  PROBE word
        lea     1f, %a4
1:      .short  \word
        .endm

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        lea     illegal, %a0
        move.l  %a0, VECTOR_ILLEGAL
        moveq   #0, %d0
        movec   %d0, %vbr
        moveq   #0, %d6
        moveq   #0, %d7

        | Unassigned words and groups.
        PROBE   0xA008
        PROBE   0xA1D0
        PROBE   0xA500
        PROBE   0xA600
        PROBE   0xA800
        PROBE   0xA900
        PROBE   0xAE10
        PROBE   0xAF10
        PROBE   0xAA10
        | Bad register numbers and single words of SYS.
        PROBE   0xA017
        PROBE   0xA0F7
        PROBE   0xA0C4
        PROBE   0xA0C7
        PROBE   0xA0F8
        PROBE   0xA0FD
        PROBE   0xA108
        PROBE   0xA40F
        SYS_DEBUGPRINT "illegal %d6 misplaced %d7"
        SYS_QUIT

illegal:
        cmp.l   2(%sp), %a4
        bne.s   1f
        addq.l  #1, %d6
        bra.s   2f
1:      addq.l  #1, %d7
2:      addq.l  #2, 2(%sp)
        rte
        ZEM_IMAGE_END
