| A conditional branch on a pseudo-random bit (32-bit Galois shift register): the host
| mispredicts about half of them, as it does for data-dependent branches in sorting or
| searching.
        .include "kernel.inc"
        KERNEL_START 20000000
        move.l  #0x12345678, %d1
        move.l  #0x80200003, %d2
        moveq   #0, %d0
        KERNEL_LOOP
        lsr.l   #1, %d1
        bcc.s   1f
        eor.l   %d2, %d1
        addq.l  #1, %d0
1:      KERNEL_END
