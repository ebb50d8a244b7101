| Reports the pointer locations when asked by a key press, and moves the host pointer
| to guest (100, 50) on the first key.
        .include "zem.inc"
        .include "input.inc"
        .equ    POINTER_X, 0x1C070
        .equ    POINTER_Y, 0x1C072
        .equ    BUTTONS, 0x1C078
        .equ    WHEEL, 0x1C07A

        ZEM_IMAGE_START
start:
        INPUT_SETUP
        SYS_DEBUGPRINT "ready"
loop:   SYS_IDLE
        move.l  RING, %d2
        beq.s   loop
        SYS_RINGGET
        beq.s   loop
        moveq   #0, %d3
        moveq   #0, %d4
        moveq   #0, %d5
        moveq   #0, %d6
        move.w  POINTER_X, %d3
        move.w  POINTER_Y, %d4
        move.b  BUTTONS, %d5
        move.w  WHEEL, %d6
        SYS_DEBUGPRINT "k %d1 x %d3 y %d4 b %d5 w %d6"
        cmp.b   #0x50, %d1              | 'P': move the host pointer
        bne.s   loop
        move.l  #(100 << 16) + 50, %d0
        INP_SETPOINTERPOSITION 0
        SYS_DEBUGPRINT "moved"
        bra.s   loop

        INPUT_ROUTINES
        ZEM_IMAGE_END
