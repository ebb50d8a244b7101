| The 68020 additions, self-checking through a table of results: each result takes a long
| slot at RESULTS in order (condition codes as a word at the start of their slot). The test
| compares the slots with values worked out by hand.
        .include "zem.inc"

        .equ    RESULTS, 0x3000

        .macro  RESULT src
        move.l  \src,(%a6)+
        .endm
        .macro  CCR
        move.w  %ccr,(%a6)
        addq.l  #4,%a6
        .endm

        .text
start:  lea     0x8000,%sp
        lea     RESULTS,%a6
        move.l  #chk_trap,0x18           | CHK/CHK2 vector (VBR is 0 after reset)

| Bit fields in a register, including fields that wrap around bit 0.
        move.l  #0x12345678,%d0
        bfextu  %d0{#4:#8},%d1
        RESULT  %d1                      | 0
        bfexts  %d0{#28:#8},%d1
        RESULT  %d1                      | 1
        bfffo   %d0{#0:#32},%d1
        RESULT  %d1                      | 2
        moveq   #0,%d2
        bfffo   %d2{#4:#8},%d1
        CCR                              | 3
        RESULT  %d1                      | 4
        move.l  %d0,%d2
        bfchg   %d2{#30:#4}
        RESULT  %d2                      | 5
        moveq   #0xB,%d3
        bfins   %d3,%d2{#8:#4}
        CCR                              | 6
        RESULT  %d2                      | 7

| Bit fields in memory: a field across a long boundary, a negative register offset and a
| 32-bit field over five bytes.
        lea     data,%a0
        move.l  #0xAB,%d3
        bfins   %d3,(%a0){#28:#8}
        RESULT  (%a0)                    | 8
        RESULT  4(%a0)                   | 9
        moveq   #-4,%d4
        bfclr   4(%a0){%d4:#8}
        RESULT  (%a0)                    | 10
        RESULT  4(%a0)                   | 11
        bfextu  (%a0){#4:#32},%d1
        RESULT  %d1                      | 12

| CAS and CAS2, equal and not equal.
        move.l  #100,(%a0)
        moveq   #100,%d0
        move.l  #200,%d1
        cas.l   %d0,%d1,(%a0)
        RESULT  (%a0)                    | 13
        cas.l   %d0,%d1,(%a0)
        RESULT  %d0                      | 14
        move.l  #1,(%a0)
        move.l  #2,4(%a0)
        lea     4(%a0),%a1
        moveq   #1,%d0
        moveq   #2,%d1
        moveq   #11,%d2
        moveq   #22,%d3
        cas2.l  %d0:%d1,%d2:%d3,(%a0):(%a1)
        RESULT  (%a0)                    | 15
        RESULT  (%a1)                    | 16
        cas2.l  %d0:%d1,%d2:%d3,(%a0):(%a1)
        RESULT  %d0                      | 17
        RESULT  %d1                      | 18

| CMP2 with unsigned and signed bounds, CHK2 trapping.
        moveq   #15,%d0
        cmp2.w  bounds,%d0
        CCR                              | 19
        moveq   #20,%d0
        cmp2.w  bounds,%d0
        CCR                              | 20
        moveq   #21,%d0
        cmp2.w  bounds,%d0
        CCR                              | 21
        moveq   #-5,%d0
        cmp2.w  sbounds,%d0
        CCR                              | 22
        moveq   #-11,%d0
        cmp2.w  sbounds,%d0
        CCR                              | 23
        moveq   #0,%d6
        moveq   #30,%d0
        chk2.w  bounds,%d0
        moveq   #15,%d0
        chk2.w  bounds,%d0
        RESULT  %d6                      | 24

| 32- and 64-bit multiply and divide.
        move.l  #0x12345678,%d0
        mulu.l  #0x100,%d1:%d0
        RESULT  %d1                      | 25
        RESULT  %d0                      | 26
        move.l  #0x10000,%d0
        mulu.l  #0x10000,%d0
        CCR                              | 27
        RESULT  %d0                      | 28
        moveq   #-3,%d0
        muls.l  #7,%d1:%d0
        RESULT  %d1                      | 29
        RESULT  %d0                      | 30
        moveq   #1,%d1
        moveq   #0,%d0
        divu.l  #0x10,%d1:%d0
        RESULT  %d0                      | 31
        RESULT  %d1                      | 32
        moveq   #-7,%d0
        divsl.l #2,%d1:%d0
        RESULT  %d0                      | 33
        RESULT  %d1                      | 34
        move.l  #0x80000000,%d0
        divs.l  #-1,%d0
        CCR                              | 35
        RESULT  %d0                      | 36
        moveq   #2,%d1
        moveq   #0,%d0
        divu.l  #1,%d1:%d0
        CCR                              | 37

| PACK and UNPK, register and memory forms.
        move.w  #0x0304,%d0
        moveq   #0,%d1
        pack    %d0,%d1,#0
        RESULT  %d1                      | 38
        moveq   #0,%d1
        move.b  #0x57,%d0
        unpk    %d0,%d1,#0x3030
        RESULT  %d1                      | 39
        lea     packsrc+2,%a0
        lea     packdst+1,%a1
        pack    -(%a0),-(%a1),#0
        moveq   #0,%d1
        move.b  (%a1),%d1
        RESULT  %d1                      | 40

| EXTB.L, LINK.L, RTD.
        move.l  #0x12345680,%d0
        extb.l  %d0
        RESULT  %d0                      | 41
        move.l  %sp,%d5
        link.l  %a2,#-0x12345
        move.l  %a2,%d1
        sub.l   %sp,%d1
        RESULT  %d1                      | 42
        unlk    %a2
        sub.l   %sp,%d5
        RESULT  %d5                      | 43
        move.l  %sp,%d5
        pea     1
        pea     2
        bsr     pops8
        sub.l   %sp,%d5
        RESULT  %d5                      | 44

| Scaled index and memory-indirect addressing.
        lea     ptrs,%a0
        moveq   #1,%d1
        move.l  ([8,%a0],%d1.l*4,4),%d0
        RESULT  %d0                      | 45
        move.l  ([%a0,%d1.l*4],12),%d0
        RESULT  %d0                      | 46
        move.l  (4,%a0,%d1.l*4),%d0
        lea     block,%a1
        sub.l   %a1,%d0
        RESULT  %d0                      | 47
        move.l  ([blockptr,%pc],4),%d0
        RESULT  %d0                      | 48
        SYS_QUIT

pops8:  rtd     #8
chk_trap:
        addq.l  #1,%d6
        rte

        .align  4
data:   .long   0xF0F0F0F0, 0x0F0F0F0F
bounds: .word   10, 20
sbounds: .word  -10, 10
packsrc: .byte  0x31, 0x32
packdst: .byte  0
        .align  4
ptrs:   .long   0, block, block
block:  .long   0x11, 0x22, 0x33, 0x44
blockptr: .long block
