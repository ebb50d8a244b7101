| DebugPrint directives, and the PC skipping over texts of every parity: D5 counts the
| instructions that follow each text, so a wrong skip shows in the count (or derails the
| program into a time-out).
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        moveq   #0, %d5
        .short  0xA0FF
        .byte   0                       | empty: skip 2
        .byte   0
        addq.l  #1, %d5
        .short  0xA0FF
        .byte   'a', 0                  | one character: skip 2
        addq.l  #1, %d5
        .short  0xA0FF
        .byte   'a', 'b', 0, 0          | two characters: skip 4
        addq.l  #1, %d5
        .short  0xA0FF
        .byte   'a', 'b', 'c', 0        | three characters: skip 4
        addq.l  #1, %d5
        SYS_DEBUGPRINT "count %d5"

        move.l  #0x12345678, %d0
        move.l  #0xABCDEF, %a1
        lea     greeting, %a2
        moveq   #0, %d3
        SYS_DEBUGPRINT "pct %% done"
        SYS_DEBUGPRINT "d0 %d0 a1 %a1"
        SYS_DEBUGPRINT "str <%sa2> null <%sd3>"
        SYS_DEBUGPRINT "mem %ma2"
        SYS_DEBUGPRINT "broken x%qy %sq %d8 %md9z %aZ end%"
        SYS_DEBUGPRINT "regs %r"

        | The text goes out whatever the debug mask; the log follows the mask.
        moveq   #0, %d0
        SYS_SETDEBUGMASK
        SYS_DEBUGPRINT "after mask"
        SYS_QUIT

greeting:
        .short  3
        .byte   'H', 'i', 0x60, 0x0A    | 0x60 is the pound sign; the LF lies beyond the string
        .byte   1, 2, 3, 4, 5, 6, 7, 8, 9, 10
        .even
        ZEM_IMAGE_END
