| GetCommandLine against buffer sizes: D1.W = 2 (room for an empty text only), 7 (room
| for five characters), 1000, and a buffer beyond RAM. A refused call writes nothing.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000
        .equ    BEYOND_RAM, 0xFFFFFF         | a length word here ends one byte past RAM

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        lea     buffer, %a0
        move.w  #0xFFFF, (%a0)
        move.l  #0xFFFF0002, %d1        | only the word counts
        SYS_GETCOMMANDLINE
        move.w  (%a0), %d2
        SYS_DEBUGPRINT "small %d0 length %d2"

        clr.w   (%a0)
        move.l  #7, %d1
        SYS_GETCOMMANDLINE
        SYS_DEBUGPRINT "seven %d0 text <%sa0>"

        clr.w   (%a0)
        move.l  #1000, %d1
        SYS_GETCOMMANDLINE
        SYS_DEBUGPRINT "large %d0 text <%sa0>"

        lea     BEYOND_RAM, %a0
        SYS_GETCOMMANDLINE
        SYS_DEBUGPRINT "beyond %d0"
        SYS_QUIT

buffer:
        .space  1024
        ZEM_IMAGE_END
