| Datagrams through a UDP echo server the test runs: over a connected channel with send
| and receive, then over an unconnected one with send-to and receive-from, the sender's
| address coming back with the answer. Command line: the channel name of the server.
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
        move.l  %a0, %a5                | the connected channel

        lea     message, %a1
        moveq   #0, %d1
        move.l  #(message_end - message), %d2
        IP_OP   IPOP_SEND
        SYS_DEBUGPRINT "send %d0 %d1"
        lea     answer+2, %a1
        moveq   #0, %d1
        move.l  #100, %d2
        IP_RETRY IPOP_RECEIVE
        lea     answer, %a4
        move.w  %d1, (%a4)
        SYS_DEBUGPRINT "receive %d0 %d1 <%sa4>"

        | The server's address from the connected channel, for the unconnected one.
        lea     server_address, %a1
        moveq   #16, %d2
        IP_OP   IPOP_PEERADDRESS
        SYS_DEBUGPRINT "peer %d0 %d1"

        lea     plain_name, %a1
        moveq   #0, %d3
        move.l  #0xFFFF, %d1
        IP_OPEN
        SYS_DEBUGPRINT "open plain %d0"
        lea     block, %a2
        lea     server_address, %a1
        move.l  %a1, (%a2)
        move.l  #16, 4(%a2)
        lea     message, %a1
        moveq   #0, %d1
        move.l  #(message_end - message), %d2
        IP_OP   IPOP_SENDTO
        SYS_DEBUGPRINT "sendto %d0"
        lea     from_address, %a1
        move.l  %a1, (%a2)
        lea     answer+2, %a1
        moveq   #0, %d1
        move.l  #100, %d2
        IP_RETRY IPOP_RECEIVEFROM
        lea     answer, %a4
        move.w  %d0, (%a4)
        move.l  4(%a2), %d5
        lea     from_address, %a1
        lea     server_address, %a3
        moveq   #0, %d4
        cmpm.l  (%a1)+, (%a3)+
        bne     differ
        cmpm.l  (%a1)+, (%a3)+
        beq     same
differ:
        moveq   #1, %d4
same:
        SYS_DEBUGPRINT "receivefrom %d0 <%sa4> length %d5 differs %d4"
        IP_CLOSE
        move.l  %a5, %a0
        IP_CLOSE
finish:
        SYS_QUIT

        IP_LIBRARY
message:
        .ascii  "datagram one"
message_end:
        .even
plain_name:
        .short  4
        .ascii  "UDP_"
        .even
block:
        .long   0, 0
server_address:
        .space  16
from_address:
        .space  16
name:
        .space  130
answer:
        .space  110
        ZEM_IMAGE_END
