| Throughput workload: sends a number of megabytes to a sink in sends of a given size.
| Command line: channel name, send size in bytes, megabytes.
        .include "../../tests/guest/ip/ip.inc"
        .equ    BUFFER, 0x100000

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        bsr     args_init
        lea     word, %a1
        bsr     next_arg                | the name, read again below
        bsr     next_arg
        bsr     parse_decimal
        move.l  %d1, %d4                | send size
        bsr     next_arg
        bsr     parse_decimal
        moveq   #20, %d0
        lsl.l   %d0, %d1
        move.l  %d1, %d5                | total bytes

        | The channel name is the first word again.
        bsr     args_init
        lea     word, %a1
        bsr     next_arg
        moveq   #1, %d3
        move.l  #0xFFFF, %d1
        IP_OPEN
        tst.l   %d0
        bne     failed

        moveq   #0, %d6                 | sent
send_loop:
        lea     BUFFER, %a1
        moveq   #0, %d1
        move.l  %d4, %d2
        IP_RETRY IPOP_SENDMULTIPLE
        tst.l   %d0
        bne     failed
        add.l   %d4, %d6
        cmp.l   %d5, %d6
        bcs     send_loop
        IP_CLOSE
        SYS_DEBUGPRINT "sent %d6"
        SYS_QUIT
failed:
        SYS_DEBUGPRINT "failed %d0 after %d6"
        SYS_QUIT

        IP_LIBRARY
word:
        .space  130
        ZEM_IMAGE_END
