| One coprocessor instruction among integer ones: the guest system's build check must
| refuse a program like this.
        .text
        .globl  start
start:  moveq   #1, %d0
        fmove.x %fp0, %fp1
        rts
