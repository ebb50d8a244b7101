| Loads and stores through the addressing modes compiled code uses most: postincrement,
| displacement and indexed, in a 1 KB buffer that stays in the host's first-level cache.
        .include "kernel.inc"
        .equ    BUFFER, 0x100000
        KERNEL_START 20000000
        moveq   #0, %d0
        moveq   #4, %d1
        KERNEL_LOOP
        lea     BUFFER, %a0
        lea     BUFFER+512, %a1
        move.l  (%a0)+, %d2
        move.l  %d2, (%a1)+
        move.l  4(%a0), %d3
        add.l   %d3, 8(%a1)
        move.b  (%a0,%d1.l), %d4
        move.w  %d4, (%a1,%d1.l*2)
        add.l   %d2, %d0
        KERNEL_END
