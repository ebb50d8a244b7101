| The same kind of instructions, each depending on the one before: every step waits for
| the previous result to come back from the register file in memory.
        .include "kernel.inc"
        KERNEL_START 50000000
        moveq   #3, %d1
        KERNEL_LOOP
        add.l   %d1, %d0
        eor.l   %d0, %d2
        add.l   %d2, %d0
        lsl.l   #1, %d0
        sub.l   %d1, %d0
        or.l    %d0, %d2
        KERNEL_END
