| Name services through the host resolver and the address texts: localhost, the host's
| own name, an unknown name with the lookup-error cell and its text, services and
| protocols, the numeric forms, and a connection to a closed port. Command line: the
| channel name of the closed port.
        .include "ip.inc"

| The first address of the host entry at `entry` into D4.
        .macro  FIRST_ADDRESS
        move.l  entry+16, %a3
        move.l  (%a3), %a3
        move.l  (%a3), %d4
        .endm

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        bsr     args_init
        lea     closed_name, %a1
        bsr     next_arg

        lea     sck_name, %a1
        moveq   #0, %d3
        move.l  #0x00070003, %d1        | lookup cell 3 for channel tag 7
        IP_OPEN
        SYS_DEBUGPRINT "open %d0"
        move.l  %a0, %a5

        lea     localhost, %a1
        lea     entry, %a2
        IP_OP   IPOP_HOSTBYNAME
        FIRST_ADDRESS
        move.l  entry+8, %d5
        move.l  entry+12, %d6
        SYS_DEBUGPRINT "localhost %d0 address %d4 type %d5 length %d6"

        lea     own_name, %a1
        move.l  #512, %d2
        IP_OP   IPOP_HOSTNAME
        move.l  %d0, %d7
        lea     own_name, %a0
        lea     text, %a1
        bsr     c_to_qdos
        move.l  %a5, %a0
        SYS_DEBUGPRINT "hostname %d7 <%sa1>"
        lea     own_name, %a1
        lea     entry, %a2
        IP_OP   IPOP_HOSTBYNAME
        FIRST_ADDRESS
        SYS_DEBUGPRINT "own %d0 address %d4"

        lea     unknown, %a1
        IP_OP   IPOP_HOSTBYNAME
        SYS_DEBUGPRINT "unknown %d0"
        IP_OP   IPOP_LOOKUPERROR
        SYS_DEBUGPRINT "cell %d0 %d1"
        lea     own_name, %a1
        IP_OP   IPOP_LOOKUPERRORTEXT
        lea     own_name, %a0
        lea     text, %a1
        bsr     c_to_qdos
        move.l  %a5, %a0
        SYS_DEBUGPRINT "cell text <%sa1>"

        lea     http, %a1
        lea     tcp, %a3
        move.l  %a3, %d1
        lea     entry, %a2
        IP_OP   IPOP_SERVICEBYNAME
        move.l  entry+8, %d4
        SYS_DEBUGPRINT "service %d0 port %d4"
        lea     udp, %a1
        IP_OP   IPOP_PROTOCOLBYNAME
        move.l  entry+8, %d4
        SYS_DEBUGPRINT "protocol %d0 number %d4"

        lea     hex_form, %a1
        IP_OP   IPOP_PARSEADDRESS
        SYS_DEBUGPRINT "parse %d0 %d1"
        lea     too_big, %a1
        moveq   #0, %d1
        IP_OP   IPOP_PARSEADDRESS
        SYS_DEBUGPRINT "parse big %d0"
        lea     dotted, %a1
        IP_OP   IPOP_ADDRESSTOBINARY
        SYS_DEBUGPRINT "binary %d0 %d1"
        lea     dotted, %a1
        lea     stored, %a2
        IP_OP   IPOP_ADDRESSTOBINARYSTORE
        move.l  stored, %d4
        SYS_DEBUGPRINT "stored %d0 %d4"
        lea     address_bytes, %a1
        lea     own_name, %a2
        IP_OP   IPOP_BINARYTOTEXT
        lea     own_name, %a0
        lea     text, %a1
        bsr     c_to_qdos
        move.l  %a5, %a0
        SYS_DEBUGPRINT "text %d0 <%sa1>"

        lea     closed_name, %a1
        moveq   #1, %d3
        move.l  #0xFFFF, %d1
        IP_OPEN
        SYS_DEBUGPRINT "closed port %d0"
        move.l  %a5, %a0
        IP_CLOSEALL
        SYS_DEBUGPRINT "close all %d0"
        SYS_QUIT

        IP_LIBRARY
sck_name:
        .short  4
        .ascii  "SCK_"
localhost:
        .asciz  "localhost"
unknown:
        .asciz  "no-such-host.invalid"
http:
        .asciz  "http"
tcp:
        .asciz  "tcp"
udp:
        .asciz  "udp"
hex_form:
        .asciz  "0x7f.0.0.1"
too_big:
        .asciz  "256.1.1.1"
dotted:
        .asciz  "10.20.30.40"
address_bytes:
        .byte   192, 168, 1, 254
        .even
stored:
        .long   0
closed_name:
        .space  130
own_name:
        .space  512
text:
        .space  520
entry:
        .space  512
        ZEM_IMAGE_END
