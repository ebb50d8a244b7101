| Bytes both ways through a TCP echo server the test runs: all 256 byte values, then
| 1 MB each way with sending and receiving interleaved, then a line at a time and a byte
| at a time. Command line: the channel name of the server.
        .include "ip.inc"
        .equ    BIG_SIZE, 0x100000
        .equ    BIG_OUT, 0x100000
        .equ    BIG_IN, 0x200000

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        bsr     args_init
        lea     name, %a1
        bsr     next_arg
        moveq   #1, %d3                 | connect
        move.l  #0xFFFF, %d1            | no lookup cell
        IP_OPEN
        SYS_DEBUGPRINT "open %d0"
        tst.l   %d0
        bne     finish

        | All 256 byte values.
        lea     small_out, %a1
        moveq   #0, %d0
fill256:
        move.b  %d0, (%a1)+
        addq.w  #1, %d0
        cmp.w   #256, %d0
        bne     fill256
        lea     small_out, %a1
        moveq   #0, %d1
        move.l  #256, %d2
        IP_RETRY IPOP_SENDSTRING
        SYS_DEBUGPRINT "sent256 %d0 %d1"
        lea     small_in, %a1
        moveq   #0, %d1
        move.l  #256, %d2
        IP_RETRY IPOP_FETCHSTRING
        SYS_DEBUGPRINT "fetched256 %d0 %d1"
        lea     small_out, %a1
        lea     small_in, %a2
        move.l  #256, %d5
        bsr     compare
        SYS_DEBUGPRINT "bytes256 wrong %d4"

        | 1 MB each way. Byte i is (i + i / 256) AND 255, so that no stretch repeats.
        lea     BIG_OUT, %a1
        moveq   #0, %d0
fillbig:
        move.l  %d0, %d1
        lsr.l   #8, %d1
        add.l   %d0, %d1
        move.b  %d1, (%a1)+
        addq.l  #1, %d0
        cmp.l   #BIG_SIZE, %d0
        bne     fillbig

        moveq   #0, %d5                 | sent so far
        moveq   #0, %d6                 | received so far
        moveq   #0, %d7                 | the first hard failure
transfer:
        cmp.l   #BIG_SIZE, %d5
        beq     receive_part
        lea     BIG_OUT, %a1
        add.l   %d5, %a1
        move.l  %d5, %d1
        move.l  #BIG_SIZE, %d2
        IP_OP   IPOP_SENDMULTIPLE
        move.l  %d1, %d5
        cmp.l   #-1, %d0
        bge     receive_part
        move.l  %d0, %d7
        bra     transfer_end
receive_part:
        cmp.l   #BIG_SIZE, %d6
        beq     transfer_check
        lea     BIG_IN, %a1
        add.l   %d6, %a1
        move.l  %d6, %d1
        move.l  #BIG_SIZE, %d2
        IP_OP   IPOP_FETCHMULTIPLE
        move.l  %d1, %d6
        cmp.l   #-1, %d0
        bge     transfer_check
        move.l  %d0, %d7
        bra     transfer_end
transfer_check:
        cmp.l   #BIG_SIZE, %d5
        bne     transfer
        cmp.l   #BIG_SIZE, %d6
        bne     transfer
transfer_end:
        move.l  %d5, %d3
        lea     BIG_OUT, %a1
        lea     BIG_IN, %a2
        move.l  #BIG_SIZE, %d5
        bsr     compare
        SYS_DEBUGPRINT "megabyte sent %d3 received %d6 failure %d7 wrong %d4"

        | Lines: the LF ends each fetch, and D1.W counts the bytes with it.
        lea     two_lines, %a1
        moveq   #0, %d1
        move.l  #(two_lines_end - two_lines), %d2
        IP_RETRY IPOP_SENDSTRING
        lea     line, %a4
        move.l  #100, %d2
        bsr     fetch_line_q
        subq.w  #1, (%a4)               | the text without its LF
        SYS_DEBUGPRINT "line %d0 count %d1 <%sa4>"
        move.l  #100, %d2
        bsr     fetch_line_q
        subq.w  #1, (%a4)               | the text without its LF
        SYS_DEBUGPRINT "line %d0 count %d1 <%sa4>"

        | A byte each way, then the count of bytes waiting.
        moveq   #'Z', %d1
        IP_RETRY IPOP_SENDBYTE
        moveq   #'!', %d1
        IP_RETRY IPOP_SENDBYTE
        IP_RETRY IPOP_INPUTPENDING
        moveq   #0, %d1
        IP_RETRY IPOP_FETCHBYTE
        SYS_DEBUGPRINT "byte %d0 %d1"
wait_second:
        lea     count, %a1
        move.l  #0x4004667F, %d1
        IP_OP   IPOP_CONTROL
        tst.b   count
        beq     wait_second
        SYS_DEBUGPRINT "control %d0 %ma1"

        | What the channel looks like, then the end.
        lea     description, %a1
        move.l  #100, %d2
        IP_DESCRIBE
        SYS_DEBUGPRINT "describe %d0 <%sa1>"
        IP_CLOSE
        SYS_DEBUGPRINT "close %d0"
        IP_OP   IPOP_INPUTPENDING
        SYS_DEBUGPRINT "after close %d0"
finish:
        SYS_QUIT

| compare: D4 = bytes that differ between A1 and A2 over D5 bytes.
compare:
        moveq   #0, %d4
        bra     cmp_next
cmp_byte:
        cmpm.b  (%a1)+, (%a2)+
        beq     cmp_next
        addq.l  #1, %d4
cmp_next:
        subq.l  #1, %d5
        bcc     cmp_byte
        rts

        IP_LIBRARY
two_lines:
        .ascii  "first line\nsecond\n"
two_lines_end:
        .even
count:
        .long   0
name:
        .space  130
line:
        .space  110
description:
        .space  110
small_out:
        .space  256
small_in:
        .space  256
        ZEM_IMAGE_END
