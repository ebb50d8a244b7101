| Headers set and read, dates, renames, deletes and attributes on DOS1. The test has
| made the directory "tools" and the file "old.txt" beforehand.
        .include "zem.inc"
        .include "dos_test.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp

        ON_NAME DOS_OPENNEW, prog
        move.l  %d1, %d6
        lea     code, %a1
        moveq   #4, %d0
        DOS_WRITE 1
        move.l  %d6, %d1
        lea     header, %a1
        DOS_SAVEHEADER
        SYS_DEBUGPRINT "save %d0 d1 %d1"
        move.l  %d6, %d1
        lea     buffer, %a1
        moveq   #64, %d0
        DOS_READHEADER
        lea     buffer+14, %a2
        move.l  buffer, %d3
        move.l  buffer+6, %d4
        moveq   #0, %d5
        move.b  buffer+5, %d5
        SYS_DEBUGPRINT "header %d0 given %d1 length %d3 type %d5 dataspace %d4 name <%sa2>"
        move.l  %d6, %d1
        DOS_GETFILESIZE 4
        SYS_DEBUGPRINT "size %d4"
        move.l  %d6, %d1
        move.l  #0x5F000000, %d3
        DOS_SETFILEDATE 3
        move.l  %d6, %d1
        DOS_GETFILEDATE 3
        SYS_DEBUGPRINT "date %d0 %d3"
        move.l  %d6, %d1
        lea     buffer, %a1
        moveq   #16, %d0
        DOS_READHEADER
        SYS_DEBUGPRINT "short header given %d1"
        move.l  %d6, %d1
        DOS_CLOSE

        ON_NAME DOS_OPENEXCLUSIVE, prog
        move.l  %d1, %d6
        lea     newname, %a1
        moveq   #DRIVE1, %d2
        DOS_RENAME 1
        SYS_DEBUGPRINT "rename %d0"
        move.l  %d6, %d1
        DOS_CLOSE

        ON_NAME DOS_DELETE, old
        SYS_DEBUGPRINT "delete %d0"
        ON_NAME DOS_DELETE, old
        SYS_DEBUGPRINT "delete again %d0"

        ON_NAME DOS_GETFILEATTRIBUTES, tools
        SYS_DEBUGPRINT "attributes %d0"
        moveq   #1, %d0
        ON_NAME DOS_SETFILEATTRIBUTES, newname
        SYS_DEBUGPRINT "set attributes %d0"
        ON_NAME DOS_GETFILEATTRIBUTES, newname
        SYS_DEBUGPRINT "read only %d0"
        SYS_QUIT

        QSTR    prog, "prog"
        QSTR    newname, "tools_prog_bin"
        QSTR    old, "old_txt"
        QSTR    tools, "tools"
code:   .ascii  "CODE"
header: .long   0
        .byte   0, 1
        .long   0x1000, 0
        .space  50
buffer: .space  64
        ZEM_IMAGE_END
