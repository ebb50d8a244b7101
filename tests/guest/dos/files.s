| Create, overwrite, read, write, position and truncate on DOS1, with the refusals a
| guest meets on the way. Every step prints its result.
        .include "zem.inc"
        .include "dos_test.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp

        ON_NAME DOS_OPENNEW, notes
        move.l  %d1, %d6
        SYS_DEBUGPRINT "new %d0"
        move.l  %d6, %d1
        lea     hello, %a1
        moveq   #12, %d0
        DOS_WRITE 1
        SYS_DEBUGPRINT "write %d0"
        move.l  %d6, %d1
        DOS_CLOSE
        SYS_DEBUGPRINT "close %d0"

        ON_NAME DOS_OPENNEW, notes_upper
        SYS_DEBUGPRINT "again %d0"

        ON_NAME DOS_OPENSHARED, notes_upper
        move.l  %d1, %d6
        lea     buffer, %a1
        moveq   #100, %d0
        DOS_READ 1
        C_TO_D3
        READ_AS_TEXT
        lea     buffer_text, %a2
        SYS_DEBUGPRINT "read %d0 c %d3 <%sa2>"
        move.l  %d6, %d1
        lea     buffer, %a1
        moveq   #100, %d0
        DOS_READ 1
        C_TO_D3
        SYS_DEBUGPRINT "eof %d0 c %d3"
        move.l  %d6, %d1
        DOS_GETFILESIZE 4
        SYS_DEBUGPRINT "size %d4"
        move.l  %d6, %d1
        lea     hello, %a1
        moveq   #2, %d0
        DOS_WRITE 1
        SYS_DEBUGPRINT "readonly write %d0"
        move.l  %d6, %d1
        DOS_CLOSE

        ON_NAME DOS_OPENOVERWRITE, data
        move.l  %d1, %d6
        lea     digits, %a1
        moveq   #10, %d0
        DOS_WRITE 1
        move.l  %d6, %d1
        moveq   #4, %d3
        DOS_MOVEPOINTER 3
        move.l  %d6, %d1
        lea     buffer, %a1
        moveq   #3, %d0
        DOS_READ 1
        C_TO_D3
        READ_AS_TEXT
        lea     buffer_text, %a2
        SYS_DEBUGPRINT "mid %d0 c %d3 <%sa2>"
        move.l  %d6, %d1
        moveq   #6, %d3
        DOS_MOVEPOINTER 3
        move.l  %d6, %d1
        lea     ab, %a1
        moveq   #2, %d0
        DOS_WRITE 1
        move.l  %d6, %d1
        DOS_TRUNCATE
        SYS_DEBUGPRINT "truncate %d0"
        move.l  %d6, %d1
        DOS_GETFILESIZE 4
        SYS_DEBUGPRINT "size %d4"
        move.l  %d6, %d1
        DOS_CLOSE

        ON_NAME DOS_OPENEXCLUSIVE, data
        move.l  %d1, %d6
        moveq   #2, %d3
        DOS_MOVEPOINTER 3
        move.l  %d6, %d1
        lea     xy, %a1
        moveq   #2, %d0
        DOS_WRITE 1
        move.l  %d6, %d1
        DOS_CLOSE

        ON_NAME DOS_OPENSHARED, missing
        SYS_DEBUGPRINT "missing %d0"
        move.l  #0x12345678, %d1
        DOS_CLOSE
        SYS_DEBUGPRINT "badclose %d0"
        ON_NAME DOS_OPENOVERWRITE, escape
        SYS_DEBUGPRINT "escape %d0"

        | Written, never closed: the quit path must not lose it.
        ON_NAME DOS_OPENNEW, unclosed
        lea     digits, %a1
        moveq   #10, %d0
        DOS_WRITE 1
        SYS_DEBUGPRINT "unclosed %d0"
        SYS_QUIT

        QSTR    notes, "notes_txt"
        QSTR    notes_upper, "NOTES_TXT"
        QSTR    data, "data"
        QSTR    missing, "missing"
        QSTR    escape, "_.._outside"
        QSTR    unclosed, "unclosed"
hello:  .ascii  "Hello, world"
digits: .ascii  "0123456789"
ab:     .ascii  "AB"
xy:     .ascii  "XY"
        .even
buffer_text:
        .short  0
buffer: .space  256
        ZEM_IMAGE_END
