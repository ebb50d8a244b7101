| An HTTP/1.0 GET to a small web server the test runs, by host name: the status line and
| the headers a line at a time, then the body until the server closes the connection in
| the middle of the receive (-10), and a receive after that. Command line: the channel
| name of the server.
        .include "ip.inc"

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        bsr     args_init
        lea     name, %a1
        bsr     next_arg
        moveq   #1, %d3
        move.l  #0xFFFF, %d1
        IP_OPEN
        SYS_DEBUGPRINT "open %d0"
        tst.l   %d0
        bne     finish

        lea     request, %a1
        moveq   #0, %d1
        move.l  #(request_end - request), %d2
        IP_RETRY IPOP_SENDMULTIPLE
        SYS_DEBUGPRINT "request %d0 %d1"

        lea     line, %a4
        move.l  #200, %d2
        bsr     fetch_line_q
        subq.w  #2, (%a4)               | without CR LF
        SYS_DEBUGPRINT "status %d0 <%sa4>"
        moveq   #0, %d5
headers:
        move.l  #200, %d2
        bsr     fetch_line_q
        tst.l   %d0
        bne     headers_end
        cmp.w   #2, (%a4)               | the empty line ends the headers
        beq     headers_end
        addq.l  #1, %d5
        bra     headers
headers_end:
        SYS_DEBUGPRINT "headers %d5 end %d0"

        | Ask for more than the body holds: the server closes after the body.
        lea     body+2, %a1
        moveq   #0, %d1
        move.l  #4096, %d2
        IP_RETRY IPOP_FETCHMULTIPLE
        lea     body, %a4
        move.w  %d1, (%a4)
        SYS_DEBUGPRINT "body %d0 count %d1"
        SYS_DEBUGPRINT "text <%sa4>"
        lea     body+2, %a1
        move.l  #100, %d2
        moveq   #0, %d1
        IP_OP   IPOP_RECEIVE
        SYS_DEBUGPRINT "receive after end %d0"
        IP_CLOSE
finish:
        SYS_QUIT

        IP_LIBRARY
request:
        .ascii  "GET /page.txt HTTP/1.0\r\nHost: localhost\r\n\r\n"
request_end:
        .even
name:
        .space  130
line:
        .space  210
body:
        .space  4200
        ZEM_IMAGE_END
