| Compare or test followed by a conditional branch, the pattern compiled code uses for
| every if and loop; all outcomes are predictable.
        .include "kernel.inc"
        KERNEL_START 50000000
        moveq   #1, %d1
        moveq   #0, %d4
        KERNEL_LOOP
        cmp.l   %d1, %d2
        bne.s   1f
        nop
1:      cmp.l   %d1, %d3
        beq.s   2f
        tst.l   %d4
2:      tst.l   %d4
        bne.s   3f
        addq.l  #1, %d0
3:      KERNEL_END
