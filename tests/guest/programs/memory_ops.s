| ClearMemory from $20000 up to D0 (and not at all for an end at or below $20000), then
| SaveRegisters and RestoreRegisters: a second save replaces the first.
        .include "zem.inc"
        .equ    STACK_TOP, 0x1F000
        .equ    CLEAR_START, 0x20000

        .macro  FILL_FF
        lea     CLEAR_START, %a0
        moveq   #7, %d1
1:      move.l  #0xFFFFFFFF, (%a0)+
        dbra    %d1, 1b
        .endm

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        FILL_FF
        move.l  #CLEAR_START + 0x10, %d4
        SYS_CLEARMEMORY 4
        lea     CLEAR_START + 8, %a2
        SYS_DEBUGPRINT "cleared %ma2"

        FILL_FF
        move.l  #CLEAR_START, %d4
        SYS_CLEARMEMORY 4
        lea     CLEAR_START, %a2
        SYS_DEBUGPRINT "untouched %ma2"

        moveq   #1, %d0
        moveq   #2, %d1
        SYS_SAVEREGISTERS
        move.l  #0xD0D0D0D0, %d0
        move.l  #0xD1D1D1D1, %d1
        move.l  #0xD2D2D2D2, %d2
        move.l  #0xD3D3D3D3, %d3
        move.l  #0xD4D4D4D4, %d4
        move.l  #0xD5D5D5D5, %d5
        move.l  #0xD6D6D6D6, %d6
        move.l  #0xD7D7D7D7, %d7
        move.l  #0xA0A0A0A0, %a0
        move.l  #0xA1A1A1A1, %a1
        move.l  #0xA2A2A2A2, %a2
        move.l  #0xA3A3A3A3, %a3
        move.l  #0xA4A4A4A4, %a4
        move.l  #0xA5A5A5A5, %a5
        move.l  #0xA6A6A6A6, %a6
        SYS_SAVEREGISTERS
        moveq   #0, %d0
        move.l  %d0, %d1
        move.l  %d0, %d2
        move.l  %d0, %d3
        move.l  %d0, %d4
        move.l  %d0, %d5
        move.l  %d0, %d6
        move.l  %d0, %d7
        move.l  %d0, %a0
        move.l  %d0, %a1
        move.l  %d0, %a2
        move.l  %d0, %a3
        move.l  %d0, %a4
        move.l  %d0, %a5
        move.l  %d0, %a6
        SYS_RESTOREREGISTERS
        SYS_DEBUGPRINT "%r"
        SYS_QUIT
        ZEM_IMAGE_END
