| Making and listing directories, the listing file's removal (by the guest, or at once
| when the listing fails), free space, medium
| information and the base directories of DOS1 (named "Medium" by the test). The test
| has made "docs_readme" and "docs.txt" beforehand.
        .include "zem.inc"
        .include "dos_test.inc"
        .equ    LISTING_KEY, 0xABCDEF

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp

        ON_NAME DOS_CREATEDIRECTORY, docs
        SYS_DEBUGPRINT "mkdir %d0"

        lea     LISTING_KEY, %a0
        lea     name_buffer, %a1
        lea     docs_under, %a2
        move.l  (%a2)+, (%a1)+
        move.l  (%a2)+, (%a1)+
        lea     name_buffer, %a1
        moveq   #DRIVE1, %d2
        DOS_OPENDIRECTORY 1
        move.l  %d1, %d6
        SYS_DEBUGPRINT "opendir %d0 name <%sa1>"
        bsr     list
        lea     LISTING_KEY, %a0
        DOS_DELETETEMPDIRFILE
        SYS_DEBUGPRINT "deltmp %d0"

        lea     LISTING_KEY, %a0
        ON_NAME DOS_OPENDIRECTORY, empty
        move.l  %d1, %d6
        SYS_DEBUGPRINT "openbase %d0"
        bsr     list
        lea     LISTING_KEY, %a0
        DOS_DELETETEMPDIRFILE

        moveq   #DRIVE1, %d1
        DOS_DISCFREE 3
        SYS_DEBUGPRINT "discfree %d0 unit %d5"
        cmp.l   %d3, %d4
        scs     %d7
        SYS_DEBUGPRINT "free above total %d7"
        moveq   #6, %d1
        DOS_DISCFREE 6
        SYS_DEBUGPRINT "discfree d6 %d0"
        moveq   #0, %d1
        DOS_DISCFREE 3
        SYS_DEBUGPRINT "discfree drive 0 %d0"

        moveq   #9, %d1                 | 9 is DOS1 again
        lea     medium+2, %a1
        DOS_MINF
        lea     medium, %a1
        SYS_DEBUGPRINT "minf %d0 <%sa1>"
        moveq   #DRIVE1, %d1
        lea     buffer, %a1
        DOS_XINF
        lea     buffer, %a2
        moveq   #0, %d3
        move.b  28(%a2), %d3
        move.l  24(%a2), %d4
        move.w  30(%a2), %d5
        move.l  40(%a2), %d7
        SYS_DEBUGPRINT "xinf %d0 name <%sa2> drive %d3 kind %d4 unit %d5 header %d7"

        moveq   #DRIVE1, %d1
        lea     buffer, %a1
        move.l  #200, %d0
        DOS_GETBASEDIR 1
        SYS_DEBUGPRINT "getbase %d0"
        moveq   #DRIVE1, %d1
        lea     buffer, %a1
        moveq   #4, %d0
        DOS_GETBASEDIR 1
        SYS_DEBUGPRINT "getbase small %d0"
        moveq   #2, %d1
        lea     new_base, %a1
        DOS_SETBASEDIR 1
        SYS_DEBUGPRINT "setbase %d0"
        moveq   #2, %d1
        lea     buffer, %a1
        move.l  #200, %d0
        DOS_GETBASEDIR 1
        SYS_DEBUGPRINT "base2 <%sa1>"
        | DOS2's new base does not exist: the listing fails and leaves no file behind.
        lea     LISTING_KEY, %a0
        lea     empty, %a1
        moveq   #2, %d2
        DOS_OPENDIRECTORY 1
        SYS_DEBUGPRINT "opendir missing base %d0"
        moveq   #2, %d1
        lea     empty, %a1
        DOS_SETBASEDIR 1
        SYS_DEBUGPRINT "setbase empty %d0"
        SYS_QUIT

| Reads the listing of the handle in D6 entry by entry and prints each one; closes it.
list:
        move.l  %d6, %d1
        lea     buffer, %a1
        moveq   #64, %d0
        DOS_READ 1
        tst.l   %d0
        beq.s   1f
        lea     buffer+14, %a2
        move.l  buffer, %d3
        moveq   #0, %d4
        move.b  buffer+5, %d4
        SYS_DEBUGPRINT "entry <%sa2> length %d3 type %d4"
        bra.s   list
1:      move.l  %d6, %d1
        DOS_CLOSE
        rts

        QSTR    docs, "docs"
        QSTR    docs_under, "docs_"
        QSTR    empty, ""
        QSTR    new_base, "%ZEM_DOS_SECOND%"
name_buffer:
        .space  40
medium: .short  10
        .space  10
buffer: .space  256
        ZEM_IMAGE_END
