| A thousand TCP connections open at once, one message each way on every one. A control
| connection to the test marks the moments at which the test counts the emulator's open
| descriptors: before, with all open, and after all are closed. Command line: the
| control channel name, then the echo server's.
        .include "ip.inc"
        .equ    CONNECTIONS, 1000

| Sends the 4-byte word at `word` on the control channel and waits for the test's byte.
        .macro  CONTROL_STEP word
        move.l  control, %a0
        lea     \word, %a1
        moveq   #0, %d1
        moveq   #4, %d2
        IP_RETRY IPOP_SENDSTRING
        IP_RETRY IPOP_FETCHBYTE
        .endm

        ZEM_IMAGE_START
start:
        lea     STACK_TOP, %sp
        bsr     args_init
        lea     control_name, %a1
        bsr     next_arg
        lea     echo_name, %a1
        bsr     next_arg

        lea     control_name, %a1
        moveq   #1, %d3
        move.l  #0xFFFF, %d1
        IP_OPEN
        SYS_DEBUGPRINT "control %d0"
        tst.l   %d0
        bne     finish
        move.l  %a0, control
        CONTROL_STEP word_start

        | Open them all; a failed open is counted and leaves a zero handle.
        moveq   #0, %d5                 | opened
        moveq   #0, %d6                 | failed opens
        lea     handles, %a4
        move.l  #CONNECTIONS - 1, %d7
open_loop:
        lea     echo_name, %a1
        moveq   #1, %d3
        move.l  #0xFFFF, %d1
        IP_OPEN
        tst.l   %d0
        beq     opened
        addq.l  #1, %d6
        clr.l   (%a4)+
        bra     open_next
opened:
        move.l  %a0, (%a4)+
        addq.l  #1, %d5
open_next:
        dbra    %d7, open_loop
        SYS_DEBUGPRINT "opened %d5 failed %d6"

        | Each connection sends its own number...
        lea     handles, %a4
        moveq   #0, %d7
send_loop:
        move.l  (%a4)+, %a0
        move.l  %d7, message
        lea     message, %a1
        moveq   #0, %d1
        moveq   #4, %d2
        IP_RETRY IPOP_SENDMULTIPLE
        addq.l  #1, %d7
        cmp.l   #CONNECTIONS, %d7
        bne     send_loop

        | ...and must get that number back.
        moveq   #0, %d4                 | lost or wrong
        lea     handles, %a4
        moveq   #0, %d7
receive_loop:
        move.l  (%a4)+, %a0
        clr.l   message
        lea     message, %a1
        moveq   #0, %d1
        moveq   #4, %d2
        IP_RETRY IPOP_FETCHMULTIPLE
        tst.l   %d0
        bne     lost
        cmp.l   message, %d7
        beq     receive_next
lost:
        addq.l  #1, %d4
receive_next:
        addq.l  #1, %d7
        cmp.l   #CONNECTIONS, %d7
        bne     receive_loop
        SYS_DEBUGPRINT "exchanged lost %d4"

        CONTROL_STEP word_peak
        lea     handles, %a4
        move.l  #CONNECTIONS - 1, %d7
        moveq   #0, %d6                 | failed closes
close_loop:
        move.l  (%a4)+, %a0
        IP_CLOSE
        tst.l   %d0
        beq     close_next
        addq.l  #1, %d6
close_next:
        dbra    %d7, close_loop
        SYS_DEBUGPRINT "closed failed %d6"
        CONTROL_STEP word_done
        move.l  control, %a0
        IP_CLOSE
finish:
        SYS_QUIT

        IP_LIBRARY
word_start:
        .ascii  "strt"
word_peak:
        .ascii  "peak"
word_done:
        .ascii  "done"
control:
        .long   0
message:
        .long   0
control_name:
        .space  130
echo_name:
        .space  130
handles:
        .space  CONNECTIONS * 4
        ZEM_IMAGE_END
