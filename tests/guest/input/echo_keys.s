| Echoes every byte of the keyboard ring with the modifier bits and the key matrix that
| GetKeyState gives at that moment, and the Caps Lock state from GetCapsLock.
        .include "zem.inc"
        .include "input.inc"

        ZEM_IMAGE_START
start:
        INPUT_SETUP
        SYS_DEBUGPRINT "ready"
loop:   SYS_IDLE
        move.l  RING, %d2
        beq.s   loop
1:      SYS_RINGGET
        beq.s   loop
        lea     MATRIX, %a0
        INP_GETKEYSTATE 0
        INP_GETCAPSLOCK
        SYS_DEBUGPRINT "k %d1 s %d0 c %d7 m %ma0"
        move.l  RING, %d2
        bra.s   1b

        INPUT_ROUTINES
        ZEM_IMAGE_END
