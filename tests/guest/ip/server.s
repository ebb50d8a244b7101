| A guest server: binds, listens, accepts the test's client through an SCK channel
| (asking again while none waits), answers one line and closes. Command line: the
| channel name to bind.
        .include "ip.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        bsr     args_init
        lea     name, %a1
        bsr     next_arg
        moveq   #2, %d3                 | bind
        move.l  #0xFFFF, %d1
        IP_OPEN
        SYS_DEBUGPRINT "bind %d0"
        tst.l   %d0
        bne     finish
        moveq   #5, %d1
        IP_OP   IPOP_LISTEN
        SYS_DEBUGPRINT "listen %d0"
        lea     description, %a1
        move.l  #100, %d2
        IP_DESCRIBE
        SYS_DEBUGPRINT "listening <%sa1>"

        move.l  %a0, %d3                | accept on this channel
        move.l  %a0, %a5
        lea     sck_name, %a1
        move.l  #0xFFFF, %d1
        IP_OPEN_RETRY
        SYS_DEBUGPRINT "accept %d0"
        tst.l   %d0
        bne     finish
        cmp.l   %a0, %a5
        sne     %d4
        and.l   #1, %d4
        SYS_DEBUGPRINT "new handle %d4"

        lea     line, %a4
        move.l  #100, %d2
        bsr     fetch_line_q
        SYS_DEBUGPRINT "got %d0 <%sa4>"
        lea     reply, %a1
        moveq   #0, %d1
        move.l  #(reply_end - reply), %d2
        IP_RETRY IPOP_SENDSTRING
        lea     line+2, %a1
        moveq   #0, %d1
        move.w  line, %d2
        IP_RETRY IPOP_SENDSTRING
        SYS_DEBUGPRINT "answered %d0"
        IP_CLOSE
        move.l  %a5, %a0
        IP_CLOSE
        SYS_DEBUGPRINT "closed %d0"
finish:
        SYS_QUIT

        IP_LIBRARY
sck_name:
        .short  4
        .ascii  "SCK_"
reply:
        .ascii  "pong "
reply_end:
        .even
name:
        .space  130
line:
        .space  110
description:
        .space  110
        ZEM_IMAGE_END
