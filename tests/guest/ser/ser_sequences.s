| Open and close sequences: a port without a COM number, a second direction on an open
| port, closing both and opening again, closing one direction at a time. The test reads
| the order of these reports and the port's log lines.
        .include "zem.inc"
        .equ    STACK_TOP, 0x10000

        ZEM_IMAGE_START
        lea     STACK_TOP, %sp
        moveq   #0, %d2
        move.l  #0x0302, %d1            | port 2: its COM number is 0
        SER_OPEN 1
        SYS_DEBUGPRINT "open2 %d0"
        move.l  #0x0101, %d1            | port 1, transmit
        SER_OPEN 1
        SYS_DEBUGPRINT "open tx %d0"
        move.l  #0x0201, %d1            | port 1, receive as well
        SER_OPEN 1
        SYS_DEBUGPRINT "open rx %d0"
        moveq   #1, %d1
        SER_CLOSE 1
        SYS_DEBUGPRINT "closed"
        move.l  #0x0301, %d1
        SER_OPEN 1
        SYS_DEBUGPRINT "reopen %d0"
        move.l  #0x0101, %d1
        SER_CLOSEDIRECTIONS 1
        SYS_DEBUGPRINT "tx closed"
        move.l  #0x0201, %d1
        SER_CLOSEDIRECTIONS 1
        SYS_DEBUGPRINT "rx closed"
        SYS_QUIT

        ZEM_IMAGE_END
