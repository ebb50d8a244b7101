| One second of a 500 Hz square wave (20 frames high, 20 low, at 20000 frames a second)
| in a sampled-sound ring; plays it and reports where the host left the read position.
        .include "zem.inc"
        .include "sound.inc"
        .equ    BLOCK, 0x40000          | "VSND" here, the pointers at P = BLOCK + 16
        .equ    P, BLOCK + 16
        .equ    RING, P + 16
        .equ    DATA_BYTES, 40000
        .equ    RING_END, RING + DATA_BYTES + 2

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        move.l  #0x56534E44, BLOCK      | "VSND"
        lea     RING, %a0
        move.w  #500 - 1, %d0
period:
        moveq   #20 - 1, %d1
high:   move.w  #0xC0C0, (%a0)+
        dbra    %d1, high
        moveq   #20 - 1, %d1
low:    move.w  #0x4040, (%a0)+
        dbra    %d1, low
        dbra    %d0, period
        move.l  %a0, P + 4              | write: end of the data
        move.l  #RING, P + 8            | read
        move.l  #RING_END, P + 12
        lea     P, %a2
        SND_SAMPLEBLOCK 2
        SND_SAMPLEPLAY
        WAIT_SECONDS 3
        move.l  P + 4, %d1
        move.l  P + 8, %d2
        SYS_DEBUGPRINT "write %d1 read %d2"
        SND_SAMPLESTOP
        SYS_QUIT
        ZEM_IMAGE_END
