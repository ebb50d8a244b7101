| Register-to-register arithmetic on six independent registers: the cost of dispatch and
| of the simplest handlers, with every branch predictable.
        .include "kernel.inc"
        KERNEL_START 50000000
        moveq   #3, %d1
        KERNEL_LOOP
        add.l   %d1, %d0
        sub.l   %d1, %d2
        eor.l   %d1, %d3
        move.l  %d1, %d4
        add.l   %d1, %d5
        or.l    %d1, %d6
        KERNEL_END
