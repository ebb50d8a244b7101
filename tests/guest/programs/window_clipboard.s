| The requests that reach the GUI thread: the window title (the log shows it), whether
| the window is in front, flashing, and a round trip through the host clipboard.
        .include "zem.inc"
        .equ    STACK_TOP, 0x20000

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        lea     title, %a0
        SYS_SETWINDOWTITLE
        SYS_DEBUGPRINT "title %d0"
        lea     no_title, %a0
        SYS_SETWINDOWTITLE
        moveq   #-1, %d1
        SYS_ISFOREGROUND
        SYS_DEBUGPRINT "foreground %d0 %d1"
        SYS_FLASHWINDOW
        SYS_DEBUGPRINT "flash %d0"

        lea     text, %a2
        SYS_CLIPBOARDPUT 2
        SYS_DEBUGPRINT "put %d0"
        SYS_CLIPBOARDFETCH 3
        SYS_DEBUGPRINT "fetch %d0 size %d3"
        moveq   #1, %d1
        lea     buffer, %a4
        SYS_CLIPBOARDGET 4
        SYS_DEBUGPRINT "get <%sa4>"
        move.w  (%a4), %d5
        SYS_DEBUGPRINT "length %d5"
        SYS_QUIT

title:
        .short  9
        .ascii  "Guest \x60 1"
        .even
no_title:
        .short  0
text:
        .short  7
        .byte   'A', 0x0A, 'B', 0x0D, 0x0A, 'C', 0x60
        .even
buffer:
        .space  64
        ZEM_IMAGE_END
