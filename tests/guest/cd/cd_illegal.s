| Words of the CD group that name no operation or a register the operation cannot take
| must take the illegal-instruction path with the stacked PC at the word. The handler
| counts hits at the word (A5) and misses (A6), registers no CD call writes, then
| resumes after the word.
        .include "cd.inc"

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
        suba.l  %a5, %a5
        suba.l  %a6, %a6

        PROBE   0xAC00                  | sub-operations without an operation
        PROBE   0xAC90
        PROBE   0xACA0
        PROBE   0xACD0
        PROBE   0xAC11                  | open takes register 0 only
        PROBE   0xAC17
        PROBE   0xAC18
        PROBE   0xAC24                  | door selectors end at 3
        PROBE   0xAC2F
        PROBE   0xAC37                  | play, disc info, position need Dn+1
        PROBE   0xAC67
        PROBE   0xAC87
        PROBE   0xAC48                  | register numbers end at 7
        PROBE   0xAC5F
        PROBE   0xAC78
        PROBE   0xACE8
        PROBE   0xACFF
        SYS_DEBUGPRINT "illegal %a5 misplaced %a6"

        | Their neighbours are operations.
        CD_OPEN
        CD_RESUME
        moveq   #1, %d7
        CD_TRACKSTART 7
        CD_POSITION 6
        CD_MSFTOFRAMES 7
        SYS_DEBUGPRINT "neighbours illegal %a5 misplaced %a6"
        SYS_QUIT

illegal:
        cmp.l   2(%sp), %a4
        bne.s   1f
        addq.l  #1, %a5
        bra.s   2f
1:      addq.l  #1, %a6
2:      addq.l  #2, 2(%sp)
        rte
        ZEM_IMAGE_END
