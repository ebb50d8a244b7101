| A steady beeper tone of pitch byte 20 (period 19 * 85 + 890 = 2505 us, about 399 Hz)
| for 11025 duration units, then silence until the program ends.
        .include "zem.inc"
        .include "sound.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        lea     block, %a2
        SND_BEEP 2
        SND_BEEPACTIVE
        SYS_DEBUGPRINT "active %d7"
        WAIT_BEEP_END
        SYS_DEBUGPRINT "ended"
        WAIT_SECONDS 2
        SYS_QUIT

        .even
| pitch 1, pitch 2, interval (low byte first), duration (low byte first), step/wrap,
| jitters
block:  .byte   20, 20, 0, 0, 0x11, 0x2B, 0, 0
        ZEM_IMAGE_END
